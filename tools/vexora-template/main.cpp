// vexora-template: writes the default report template "Vexora.rav".
//
//   vexora-template OUTPUT
//
// Builds the fourteen sheet reports and fourteen answer-key reports, checks that each
// category finds every name its renderers look for, and writes the file atomically.
// Exit status 0 on success, 1 when the template is incomplete or cannot be written.

#include <QString>

#include <cstdio>
#include <exception>

#include "print/template_contract.h"
#include "report/template_file.h"
#include "template_builder.h"

int main(int argc, char** argv) {
    using namespace vexora;
    if (argc != 2) {
        std::fprintf(stderr, "uso: vexora-template FILE\n");
        return 2;
    }
    try {
        const report::ReportTemplate t = templategen::buildDefaultTemplate();
        int faults = 0;
        for (TModalitaQuiz m : workingCategories()) {
            for (const std::string& fault : print::templateContractFaults(t, m)) {
                std::fprintf(stderr, "vexora-template: %s\n", fault.c_str());
                ++faults;
            }
        }
        if (faults > 0)
            return 1;
        report::writeTemplateFile(t, QString::fromLocal8Bit(argv[1]));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vexora-template: %s\n", e.what());
        return 1;
    }
    return 0;
}
