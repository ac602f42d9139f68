// Any bytes as an .xlsx word list: the zip, its XML parts and the first sheet's cells.
#include "items/xlsx_reader.h"
#include "sheet_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    quillar::fuzz::readSheet(data, size, "list.xlsx", &quillar::ReadXlsxSheet);
    return 0;
}
