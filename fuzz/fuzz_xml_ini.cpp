// fuzz-deps: vexora_settings vexora_core
// Opens arbitrary bytes as a TXmlIni backing file. The constructor either fails with
// XmlIniError naming the file, or the store reads (ReadInteger failing only with
// ConvertError), takes a write, and serializes into bytes that open again with the same
// values. Anything else aborts or escapes and is reported.
//
// Build (clang only; the library itself is instrumented too through CMAKE_CXX_FLAGS, so
// libFuzzer sees coverage inside the settings layer, not only in this file):
//   CXX=clang++ CC=clang cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
//     -DVEXORA_FUZZ=ON -DVEXORA_BUILD_TESTS=OFF -DVEXORA_BUILD_BENCH=OFF
//     "-DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link,address,undefined"   (one command line)
//   cmake --build build-fuzz --target fuzz_xml_ini
// Run:  build-fuzz/fuzz/fuzz_xml_ini -max_total_time=60 CORPUS_DIR

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "settings/integer_text.h"
#include "settings/xml_ini.h"

namespace {

using namespace vexora::settings;

void check(bool ok) {
    if (!ok)
        std::abort();
}

std::string tempPath(const char* tag) {
    const std::filesystem::path dir =
        std::filesystem::exists("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
    return (dir / ("vexora-fuzz-xml-" + std::to_string(::getpid()) + tag)).string();
}

// The two scratch files of this process, removed when it ends.
struct ScratchFiles {
    std::string input = tempPath(".xml");
    std::string again = tempPath("-again.xml");
    ~ScratchFiles() {
        std::error_code ec;
        std::filesystem::remove(input, ec);
        std::filesystem::remove(again, ec);
        std::filesystem::remove(input.substr(0, input.size() - 4) + ".xmb", ec);
    }
};

void writeFile(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const ScratchFiles scratch;
    const std::string& input = scratch.input;
    const std::string& again = scratch.again;
    writeFile(input, std::string_view(reinterpret_cast<const char*>(data), size));

    std::string serialized;
    std::string totale;
    std::string topic;
    try {
        TXmlIni ini(input);
        ini.setBackup(false);
        totale = ini.ReadString("Lista_Argomenti", "Totale", "<none>");
        try {
            (void)ini.ReadInteger("Lista_Argomenti", "Totale", -1);
        } catch (const ConvertError& e) {
            check(std::string(e.what()) == "'" + totale + "' is not a valid integer value");
        }
        (void)ini.CheckSection("Argomento_00");
        ini.WriteString("Argomento_00", "Testo0", "Pericolo & <curva> \"stretta\" \u00e8");
        topic = ini.ReadString("Argomento_00", "Testo0", "");
        serialized = ini.serialize();
    } catch (const XmlIniError& e) {
        check(e.fileName() == input);
        return 0;
    }
    writeFile(again, serialized);
    try {
        const TXmlIni reopened(again);
        check(reopened.ReadString("Lista_Argomenti", "Totale", "<none>") == totale);
        check(reopened.ReadString("Argomento_00", "Testo0", "") == topic);
    } catch (const XmlIniError&) {
        std::abort();  // the store wrote something it cannot read
    }
    return 0;
}
