// Any bytes as a word list, read as the window and quillar-check read it: encoding detection and
// decoding, then either lines or a table (CSV, TSV, semicolons), under each name that decides how
// a file is taken. A file gives items, or is refused with a reason, never both.

#include "fuzz_support.h"
#include "items/item_file.h"
#include "items/text_encoding.h"

using namespace quillar;
using fuzz::check;

namespace {

void checkContent(const ItemFileContent& content) {
    if (!content.refusal.isEmpty() || content.notText) {
        check(content.items.isEmpty(), "a refused file has no items");
        return;
    }
    if (content.table.table) {
        check(std::size_t(content.items.size()) == content.table.rows.size(), "a row per item");
        for (qsizetype i = 0; i < content.items.size(); ++i) {
            const ItemEntry& row = content.table.rows[std::size_t(i)];
            check(content.items[i] == row.item, "items are the rows' items");
            check(row.extra.size() == content.table.extraColumns.size(), "extra cells aligned");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes = fuzz::bytesOf(data, size);
    const int encoding = DetectTextEncodingOf(bytes);
    check(encoding >= kEncodingUtf8 && encoding <= kEncodingAnsi, "an encoding class");
    const QString text = DecodeText(bytes, encoding);
    // Every byte decodes to at most one character (a signature to none).
    check(text.size() <= bytes.size(), "no more characters than bytes");

    for (const char* name : {"list.txt", "list.csv", "list.tsv"}) {
        const QString path = fuzz::scratch().filePath(QString::fromLatin1(name));
        fuzz::writeFile(path, bytes);
        checkContent(ReadItemFileContent(path));
    }
    return 0;
}
