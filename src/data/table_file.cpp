#include "data/table_file.h"

#include <cstddef>
#include <filesystem>

#include "core/file_util.h"
#include "data/binary_form.h"
#include "data/xml_form.h"

namespace vexora::data {
namespace {

// No table file the program meets comes near this; a larger file is refused before
// it is read rather than filling memory.
constexpr std::size_t kMaxTableFileBytes = std::size_t{1} << 30;

std::string fileLabel(const std::string& path) {
    return "table file \"" + path + "\"";
}

}  // namespace

TableFileForm formForFileName(std::string_view path) {
    const std::string_view ext = path.size() >= 4 ? path.substr(path.size() - 4) : "";
    if (ext.size() == 4 && ext[0] == '.') {
        auto up = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
        if (up(ext[1]) == 'X' && up(ext[2]) == 'M' && up(ext[3]) == 'L')
            return TableFileForm::Xml;
    }
    return TableFileForm::Binary;
}

TableData readTableBytes(std::string_view bytes) {
    if (looksLikeBinaryTable(bytes))
        return readBinaryTable(bytes);
    return readXmlTable(bytes);
}

TableData loadTableFile(const std::string& path) {
    std::string error;
    const auto bytes = readWholeFile(path, kMaxTableFileBytes, &error);
    if (!bytes)
        throw TableError(fileLabel(path) + ": " + error);
    try {
        return readTableBytes(*bytes);
    } catch (const TableError& e) {
        throw TableError(fileLabel(path) + ": " + e.what());
    } catch (const std::bad_alloc&) {
        throw TableError(fileLabel(path) + ": not enough memory to read it");
    }
}

void saveTableFile(const std::string& path, const TableData& table) {
    saveTableFile(path, table, formForFileName(path));
}

void saveTableFile(const std::string& path, const TableData& table, TableFileForm form) {
    std::string bytes;
    try {
        bytes = form == TableFileForm::Xml ? writeXmlTable(table) : writeBinaryTable(table);
    } catch (const TableError& e) {
        throw TableError(fileLabel(path) + " cannot be written: " + e.what());
    }
    std::string error;
    if (!writeFileAtomically(path, bytes, &error))
        throw TableError(fileLabel(path) + " cannot be written: " + error);
}

}  // namespace vexora::data
