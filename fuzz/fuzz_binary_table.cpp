// fuzz-deps: vexora_data vexora_core
// Reads arbitrary bytes as a binary table file. A file that reads must write, read
// back to the same table, and write again to the same bytes; a file that does not
// read must fail with TableError (anything else escapes and is reported).

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "data/binary_form.h"

namespace {

using namespace vexora::data;

bool sameValue(const Value& a, const Value& b) {
    const auto* x = std::get_if<double>(&a);
    const auto* y = std::get_if<double>(&b);
    if (x != nullptr && y != nullptr && std::isnan(*x) && std::isnan(*y))
        return true;
    return a == b;
}

bool sameProperties(const std::vector<ExtraProperty>& a, const std::vector<ExtraProperty>& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].name != b[i].name || !sameValue(a[i].value, b[i].value))
            return false;
    }
    return true;
}

bool sameTable(const TableData& a, const TableData& b) {
    if (a.fields.size() != b.fields.size() || a.rows.size() != b.rows.size() ||
        a.autoIncValue != b.autoIncValue || !sameProperties(a.tableProperties, b.tableProperties)) {
        return false;
    }
    for (std::size_t j = 0; j < a.fields.size(); ++j) {
        const FieldDef& f = a.fields[j];
        const FieldDef& g = b.fields[j];
        if (f.name != g.name || f.type != g.type || f.size != g.size ||
            f.prefixSize != g.prefixSize || f.decimals != g.decimals || f.readOnly != g.readOnly ||
            f.required != g.required || f.hidden != g.hidden || f.linkField != g.linkField ||
            !sameProperties(f.extra, g.extra)) {
            return false;
        }
    }
    for (std::size_t r = 0; r < a.rows.size(); ++r) {
        if (a.rows[r].size() != b.rows[r].size())
            return false;
        for (std::size_t j = 0; j < a.rows[r].size(); ++j) {
            if (!sameValue(a.rows[r][j], b.rows[r][j]))
                return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    TableData table;
    try {
        table = readBinaryTable(bytes);
    } catch (const TableError&) {
        return 0;
    }
    const std::string once = writeBinaryTable(table);
    const TableData again = readBinaryTable(once);
    if (!sameTable(table, again))
        std::abort();
    if (writeBinaryTable(again) != once)
        std::abort();
    return 0;
}
