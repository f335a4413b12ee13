// fuzz-deps: vexora_settings vexora_core
// Reads arbitrary bytes as a settings (INI) file. Every value read must be UTF-8 without
// line breaks or NUL and trimmed of blanks; writing a key must make it read back and leave
// every other key as it was. Anything else aborts.
//
// Build (clang only; the library itself is instrumented too through CMAKE_CXX_FLAGS, so
// libFuzzer sees coverage inside the settings layer, not only in this file):
//   CXX=clang++ CC=clang cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
//     -DVEXORA_FUZZ=ON -DVEXORA_BUILD_TESTS=OFF -DVEXORA_BUILD_BENCH=OFF
//     "-DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link,address,undefined"   (one command line)
//   cmake --build build-fuzz --target fuzz_ini
// Run:  build-fuzz/fuzz/fuzz_ini -max_total_time=60 CORPUS_DIR

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "core/codepage.h"
#include "settings/ini_file.h"
#include "settings/integer_text.h"

namespace {

using namespace vexora;
using namespace vexora::settings;

constexpr std::string_view kSections[] = {"Autoscuola", "Status", "Print", "Debug", "paths", ""};
constexpr std::string_view kKeys[] = {"Nome",          "Num. schede", "Progressivo Esa AB",
                                      "CkProgFlowLog", "k",           "X Y"};

void check(bool ok) {
    if (!ok)
        std::abort();
}

bool sane(const std::string& v) {
    std::size_t pos = 0;
    while (pos < v.size()) {
        if (decodeUtf8(v, pos) < 0)
            return false;
    }
    if (v.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos)
        return false;
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; };
    return v.empty() || (!blank(v.front()) && !blank(v.back()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 1u << 20)
        return 0;
    const IniText text(std::string(reinterpret_cast<const char*>(data), size));
    std::optional<std::string> before[6][6];
    for (int s = 0; s < 6; ++s) {
        for (int k = 0; k < 6; ++k) {
            before[s][k] = text.value(kSections[s], kKeys[k]);
            if (before[s][k]) {
                check(sane(*before[s][k]));
                (void)toIntegerOr(*before[s][k], 1);
            }
        }
    }
    // Write one key chosen by the input and check the edit property.
    const int ws = size > 0 ? data[0] % 6 : 0;
    const int wk = size > 1 ? data[1] % 6 : 0;
    const std::string value = "v\u00e8" + std::to_string(size);
    const IniText changed(text.withValue(kSections[ws], kKeys[wk], value));
    check(changed.value(kSections[ws], kKeys[wk]) == value);
    for (int s = 0; s < 6; ++s) {
        for (int k = 0; k < 6; ++k) {
            if (s == ws && k == wk)
                continue;
            check(changed.value(kSections[s], kKeys[k]) == before[s][k]);
        }
    }
    return 0;
}
