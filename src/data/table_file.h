#pragma once

#include <string>
#include <string_view>

#include "data/table_data.h"

namespace vexora::data {

// The two forms a table file can take.
enum class TableFileForm { Binary, Xml };

// The form a file is written in: XML when its extension is ".XML" in any letter
// case, binary otherwise.
TableFileForm formForFileName(std::string_view path);

// Reads table-file bytes of either form: a valid binary header selects the binary
// form, anything else is read as XML. Throws TableError naming the fault.
TableData readTableBytes(std::string_view bytes);

// Reads a whole table file of either form. Throws TableError whose message names
// the file and the fault.
TableData loadTableFile(const std::string& path);

// Writes a table file in the form its name selects, through a temporary file beside
// it that is renamed over it, so a failed save leaves the old file intact. Throws
// TableError naming the file.
void saveTableFile(const std::string& path, const TableData& table);
// Same, in the given form.
void saveTableFile(const std::string& path, const TableData& table, TableFileForm form);

}  // namespace vexora::data
