#!/usr/bin/env python3
"""Writes the workbooks the item-table tests read, with writers that share nothing with Quillar:
openpyxl for .xlsx, xlwt for .xls, and the zip module for .xlsx parts written by hand where a
case needs what openpyxl never writes (inline strings, rich text, phonetic runs, cells without
references, a far cell, a part that unpacks to more than Quillar reads).

usage: write_sheets.py OUT_DIR
"""
import datetime
import os
import sys
import zipfile

import openpyxl
import xlwt


def openpyxl_books(out):
    book = openpyxl.Workbook()
    sheet = book.active
    sheet.title = "词表"
    sheet.append(["编号", "条目", "释义", "数"])
    sheet.append(["0001", "爸爸", "father", 1])
    sheet.append(["0002", "妈妈", None, 1.5])
    sheet.append([])  # a wholly empty row
    sheet.append(["0003", "太阳", "sun", True])
    other = book.create_sheet("其他")
    other.append(["item"])
    other.append(["not this sheet"])
    book.save(os.path.join(out, "header.xlsx"))

    book = openpyxl.Workbook()
    sheet = book.active
    sheet.append([1, "一", "one", None, "x"])
    sheet.append([2, "二", "two"])
    sheet.append([10, "十", "ten"])
    book.save(os.path.join(out, "headerless.xlsx"))


CONTENT_TYPES = """<?xml version="1.0" encoding="UTF-8"?>
<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types">
<Default Extension="rels" ContentType="application/vnd.openxmlformats-package.relationships+xml"/>
<Default Extension="xml" ContentType="application/xml"/>
</Types>"""

WORKBOOK = """<?xml version="1.0" encoding="UTF-8"?>
<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"
 xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">
<sheets><sheet name="first" sheetId="2" r:id="rId2"/><sheet name="second" sheetId="1" r:id="rId1"/></sheets>
</workbook>"""

RELS = """<?xml version="1.0" encoding="UTF-8"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">
<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="worksheets/sheet1.xml"/>
<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/worksheet" Target="/xl/worksheets/sheet2.xml"/>
<Relationship Id="rId3" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings" Target="strings.xml"/>
</Relationships>"""

MAIN = 'xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"'


def sheet(rows):
    return f'<?xml version="1.0" encoding="UTF-8"?>\n<worksheet {MAIN}><sheetData>{rows}</sheetData></worksheet>'


def raw_book(path, first_sheet, strings="", compress=zipfile.ZIP_DEFLATED):
    with zipfile.ZipFile(path, "w", compress) as z:
        z.writestr("[Content_Types].xml", CONTENT_TYPES)
        z.writestr("xl/workbook.xml", WORKBOOK)
        z.writestr("xl/_rels/workbook.xml.rels", RELS)
        z.writestr("xl/strings.xml",
                   f'<?xml version="1.0" encoding="UTF-8"?>\n<sst {MAIN}>{strings}</sst>')
        z.writestr("xl/worksheets/sheet1.xml", sheet('<row r="1"><c r="A1" t="inlineStr"><is><t>item</t></is></c></row>'
                                                     '<row r="2"><c r="A2" t="inlineStr"><is><t>wrong sheet</t></is></c></row>'))
        z.writestr("xl/worksheets/sheet2.xml", first_sheet)


def hand_written_books(out):
    strings = ('<si><r><rPr><b/></rPr><t>爸</t></r><r><t xml:space="preserve">爸 </t></r>'
               '<rPh sb="0" eb="1"><t>ba</t></rPh></si>'
               '<si><t>0001</t></si>')
    rows = ('<row r="1"><c r="A1" t="inlineStr"><is><t>Item</t></is></c>'
            '<c r="B1" t="inlineStr"><is><r><t>Glo</t></r><r><t>ss</t></r></is></c></row>'
            '<row r="3"><c r="A3" t="s"><v>0</v></c><c r="C3"><v>0.1</v></c><c><v>1.0</v></c></row>'
            '<row><c t="inlineStr"><is><t>妈</t></is></c><c t="s"><v>1</v></c><c r="C4"/>'
            '<c r="D4" t="b"><v>0</v></c></row>'
            '<row r="7"><c r="A7" t="str"><f>A1</f><v>Item</v></c><c r="B7" t="e"><v>#N/A</v></c>'
            '<c r="C7"><v>1E+20</v></c></row>'
            '<row r="9"><c r="A9" t="inlineStr"><is><t>   </t></is></c></row>')
    raw_book(os.path.join(out, "hand.xlsx"), sheet(rows), strings)
    far = ('<row r="1"><c r="A1" t="inlineStr"><is><t>item</t></is></c></row>'
           '<row r="1048576"><c r="A1048576" t="inlineStr"><is><t>last</t></is></c>'
           '<c r="XFD1048576"><v>7</v></c></row>')
    raw_book(os.path.join(out, "far.xlsx"), sheet(far))
    many = "".join(f'<row r="{n}"><c r="A{n}" t="inlineStr"><is><t>w{n}</t></is></c>'
                   f'<c r="XFD{n}"><v>{n}</v></c></row>' for n in range(1, 301))
    raw_book(os.path.join(out, "wide.xlsx"), sheet(many))
    # 70 MB of blanks inside the sheet: a few hundred kilobytes packed.
    raw_book(os.path.join(out, "bomb.xlsx"), sheet(" " * (70 * 1024 * 1024)))
    # A shared string index that is not there.
    raw_book(os.path.join(out, "bad_index.xlsx"),
             sheet('<row r="1"><c r="A1" t="s"><v>5</v></c></row>'), "<si><t>a</t></si>")


def xlwt_books(out):
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("词表")
    date = xlwt.easyxf(num_format_str="YYYY-MM-DD")
    rows = [["编号", "条目", "释义", "数"],
            ["0001", "爸爸", "father", 1],
            ["0002", "妈妈", "", 1.5],
            [],
            ["0003", "太阳", "sun", datetime.date(2024, 3, 5)]]
    for r, row in enumerate(rows):
        for c, value in enumerate(row):
            if isinstance(value, datetime.date):
                sheet.write(r, c, value, date)
            elif value != "":
                sheet.write(r, c, value)
    other = book.add_sheet("其他")
    other.write(0, 0, "item")
    other.write(1, 0, "not this sheet")
    book.save(os.path.join(out, "header.xls"))

    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("Sheet1")
    for r, row in enumerate([[1, "一", "one", None, "x"], [2, "二", "two"], [10, "十", "ten"]]):
        for c, value in enumerate(row):
            if value is not None:
                sheet.write(r, c, value)
    book.save(os.path.join(out, "headerless.xls"))


def main():
    out = sys.argv[1]
    openpyxl_books(out)
    hand_written_books(out)
    xlwt_books(out)


if __name__ == "__main__":
    main()
