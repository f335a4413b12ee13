// fuzz-deps: vexora_core Qt6::Gui pugixml::pugixml
// fuzz-sources: src/report/template_file.cpp src/report/template_model.cpp
// Reads arbitrary bytes as a report template. A template that reads must write, read
// back to the same template and write again to the same bytes; one that does not read
// must fail with ReportError naming the file (anything else escapes and is reported).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "report/report_error.h"
#include "report/template_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vexora::report;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const QString name = QStringLiteral("fuzz.rav");
    ReportTemplate t;
    try {
        t = parseTemplate(bytes, name);
    } catch (const ReportError& e) {
        if (!e.message().contains(name))
            std::abort();
        return 0;
    }
    const std::string once = serializeTemplate(t);
    const ReportTemplate again = parseTemplate(once, name);
    if (!(again == t))
        std::abort();
    if (serializeTemplate(again) != once)
        std::abort();
    return 0;
}
