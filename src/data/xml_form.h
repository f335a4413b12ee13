#pragma once

#include <string>
#include <string_view>

#include "data/table_data.h"

namespace vexora::data {

// Reads the XML form (root DATAPACKET). A declaration without encoding means
// Windows-1252 text; encoding="UTF-8" means UTF-8. Throws TableError naming the fault.
TableData readXmlTable(std::string_view bytes);

// Writes the XML form: declaration without encoding, string bytes in Windows-1252.
std::string writeXmlTable(const TableData& table);

}  // namespace vexora::data
