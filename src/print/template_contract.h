#pragma once

#include <string>
#include <vector>

#include "core/catalogue.h"
#include "report/template_model.h"

namespace vexora::print {

// Checks that template t holds everything category m's sheet and answer-key renderers
// look for: both reports, every page, every named component with the kind the program
// needs, and every parameter. One Italian text per fault ("SchedaAB.Page2: manca il
// testo Domanda17"); empty when nothing is missing.
std::vector<std::string> templateContractFaults(const report::ReportTemplate& t, TModalitaQuiz m);

}  // namespace vexora::print
