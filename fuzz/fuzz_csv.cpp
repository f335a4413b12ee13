// fuzz-deps: vexora_importer vexora_compose vexora_data vexora_settings vexora_core
// Reads arbitrary bytes as a question-list file: decoding, CSV records, then the checks of
// a list for category AB. Decoded text must be valid UTF-8; no record may keep more fields
// than the header allows; records written again with csvField must read back to the same
// fields; reading the list must report, never throw. Anything else aborts.
//
// Build (clang only; the library itself is instrumented too through CMAKE_CXX_FLAGS, so
// libFuzzer sees coverage inside the importer, not only in this file):
//   CXX=clang++ CC=clang cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
//     -DVEXORA_FUZZ=ON -DVEXORA_BUILD_TESTS=OFF -DVEXORA_BUILD_BENCH=OFF
//     "-DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link,address,undefined"   (one command line)
//   cmake --build build-fuzz --target fuzz_csv
// Run:  build-fuzz/fuzz/fuzz_csv -max_total_time=60 CORPUS_DIR fuzz/corpus/fuzz_csv

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/catalogue.h"
#include "core/codepage.h"
#include "importer/csv_file.h"
#include "importer/question_list.h"

namespace {

using namespace vexora;
using namespace vexora::importer;

void check(bool ok) {
    if (!ok)
        std::abort();
}

bool validUtf8(std::string_view s) {
    for (std::size_t pos = 0; pos < s.size();)
        if (decodeUtf8(s, pos) < 0)
            return false;
    return true;
}

// Every field quoted: the header line written so that only the separator splits it.
std::string quotedLine(const std::vector<std::string>& fields, char sep) {
    std::string out;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i)
            out.push_back(sep);
        out.push_back('"');
        for (char c : fields[i]) {
            if (c == '"')
                out.push_back('"');
            out.push_back(c);
        }
        out.push_back('"');
    }
    return out;
}

void checkStructure(const CsvText& t) {
    check(t.header.fields.size() <= kMaxColumns);
    check(t.header.fields.size() <= t.header.fieldCount);
    check(t.records.size() <= kMaxRecords);
    check(!t.fault || t.faultLine >= 1);
    int line = t.header.line;
    for (const CsvRecord& r : t.records) {
        check(r.line > line);
        line = r.line;
        check(r.fields.size() <= r.fieldCount);
        check(r.fields.size() <= t.header.fields.size() + 1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 1u << 18)
        return 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::string why;
    const auto decoded = decodeListBytes(bytes, &why);
    check(decoded.has_value() || !why.empty());
    if (!decoded)
        return 0;
    check(validUtf8(decoded->utf8));

    const CsvText text = parseCsv(decoded->utf8);
    checkStructure(text);
    if (text.header.fields.size() >= 2) {
        // The records read, written again, read back to the same fields. (A header of one
        // field leaves the separator open, so the records may read otherwise.)
        std::string again = quotedLine(text.header.fields, text.separator) + "\r\n";
        for (const CsvRecord& r : text.records) {
            for (std::size_t i = 0; i < r.fields.size(); ++i) {
                if (i)
                    again.push_back(text.separator);
                again += csvField(r.fields[i], text.separator);
            }
            again += "\r\n";
        }
        const CsvText back = parseCsv(again);
        check(!back.fault);
        check(back.separator == text.separator);
        check(back.header.fields == text.header.fields);
        check(back.records.size() == text.records.size());
        for (std::size_t i = 0; i < back.records.size(); ++i)
            check(back.records[i].fields == text.records[i].fields);
    }

    try {
        const QuestionList list = readQuestionList(bytes, "fuzz.csv", mqAB, FigureSources{});
        check(!list.ok() || list.master.rows.size() == text.records.size());
        (void)formatReport(list);
    } catch (...) {
        std::abort();
    }
    return 0;
}
