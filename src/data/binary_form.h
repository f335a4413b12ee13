#pragma once

#include <string>
#include <string_view>

#include "data/table_data.h"

namespace vexora::data {

// True when the bytes start with a binary table header this reader accepts
// (magic 0xBDE01996 or 0xABCD, both versions at most 3).
bool looksLikeBinaryTable(std::string_view bytes);

// Reads the binary form. Throws TableError with a message naming the fault (not the
// file: the caller adds it). Never allocates more than the input can justify.
TableData readBinaryTable(std::string_view bytes);

// Writes the binary form (version 1.0, header length 24, row state 0).
std::string writeBinaryTable(const TableData& table);

}  // namespace vexora::data
