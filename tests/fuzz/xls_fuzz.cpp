// Any bytes as an .xls word list: the binary workbook through libfreexl, then its first sheet.
#include "items/xls_reader.h"
#include "sheet_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quillar::fuzz::readSheet(data, size, "list.xls", &quillar::ReadXlsSheet);
    return 0;
}
