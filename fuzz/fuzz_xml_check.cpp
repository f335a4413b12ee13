// fuzz-deps: vexora_core
// libFuzzer target for the one-pass XML check: it must give expat's verdict. Names
// outside ASCII are judged by different editions of XML 1.0 (expat keeps the first
// edition's name characters), so only ASCII inputs are compared; every input is checked.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/strict_xml.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const bool fast = vexora::findUtf8XmlFault(text).has_value();
    const bool full = vexora::findXmlFaultWithExpat(text, "UTF-8").has_value();
    const bool ascii = std::all_of(text.begin(), text.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii && fast != full)
        std::abort();
    return 0;
}
