// fuzz-deps: vexora_data vexora_core
// libFuzzer target for the XML table form: any input either reads as a table or
// fails with TableError; a table that reads must write and read back unchanged.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "data/table_data.h"
#include "data/table_file.h"
#include "data/xml_form.h"

namespace {

bool sameValue(const vexora::data::Value& a, const vexora::data::Value& b) {
    const auto* x = std::get_if<double>(&a);
    const auto* y = std::get_if<double>(&b);
    if (x != nullptr && y != nullptr && std::isnan(*x) && std::isnan(*y))
        return true;
    return a == b;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vexora::data;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    TableData table;
    try {
        table = readXmlTable(bytes);
    } catch (const TableError&) {
        return 0;
    }
    // Also through the dispatcher, which may pick the binary form by the header.
    try {
        readTableBytes(bytes);
    } catch (const TableError&) {
    }
    std::string written;
    try {
        written = writeXmlTable(table);
    } catch (const TableError&) {
        return 0;  // values the form cannot hold (a year past 9999) are refused, not mangled
    }
    const TableData again = readXmlTable(written);
    // A missing counter is written as the next value after the rows' largest.
    if (again.fields.size() != table.fields.size() || again.rows.size() != table.rows.size() ||
        (table.autoIncValue >= 0 && again.autoIncValue != table.autoIncValue)) {
        std::abort();
    }
    for (std::size_t j = 0; j < table.fields.size(); ++j) {
        if (again.fields[j].name != table.fields[j].name ||
            again.fields[j].type != table.fields[j].type ||
            again.fields[j].size != table.fields[j].size)
            std::abort();
    }
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
        for (std::size_t j = 0; j < table.fields.size(); ++j) {
            if (!sameValue(again.rows[r][j], table.rows[r][j]))
                std::abort();
        }
    }
    return 0;
}
