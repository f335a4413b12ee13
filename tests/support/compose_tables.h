#pragma once

// The exam chapter plans written out slot by slot, as the tests expect them; kept apart
// from the composer's own construction of the same plans.

#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "core/catalogue.h"

namespace vexora::test {

inline std::string_view expectedExamPlanText(TModalitaQuiz m) {
    switch (m) {
        case mqAB:
            return "01 02 03 04 05 06 07 08 09 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 "
                   "05 12 13 17 22";
        case mqAM:
            return "01 02 03 04 05 06 07 08 09 10 01 02 03 04 05 06 07 08 09 10 "
                   "01 02 03 04 05 06 07 08 09 10";
        case mqSuperC1:
            return "01 01 02 02 02 03 03 03 04 05 05 05 06 07 07 07 08 09 10 10";
        case mqSuperC0:
            return "05 05 06 07 07 07 08 09 10 10";
        case mqSuperC:
            return "01 01 02 02 02 03 03 03 03 04 05 05 06 07 07 07 08 09 10 10 11 11 11 11 11 12 "
                   "13 13 13 13 14 14 14 15 15 15 16 16 16 17";
        case mqSuperCx:
            return "11 11 11 11 11 12 13 13 13 13 14 14 14 15 15 15 16 16 16 17";
        case mqSuperD1:
            return "01 01 02 02 02 03 03 04 05 05 06 06 07 07 07 08 09 09 10 10";
        case mqSuperD:
            return "01 01 02 02 02 03 03 03 04 05 05 05 06 06 07 07 07 08 09 09 10 10 11 11 11 11 "
                   "11 12 13 13 13 13 14 14 15 15 15 16 16 16";
        case mqSuperDx:
            return "11 11 11 11 11 12 12 13 13 13 13 14 14 14 15 15 15 16 16 16";
        case mqCqc1M:
            return "11 12 13 "
                   "01 02 03 04 05 06 07 08 09 10 11 12 13 11 12 13 "
                   "01 02 03 04 05 06 07 08 09 10 11 12 13 11 12 13 "
                   "01 02 03 04 05 06 07 08 09 10 11 12 13 11 12 13 "
                   "01 02 03 04 05 06 07 08 09 10 11 12 13 11 12 13 11 12 13";
        case mqCqc2P:
            return "14 15 16 "
                   "01 02 03 04 05 06 07 08 09 10 14 15 16 14 15 16 "
                   "01 02 03 04 05 06 07 08 09 10 14 15 16 14 15 16 "
                   "01 02 03 04 05 06 07 08 09 10 14 15 16 14 15 16 "
                   "01 02 03 04 05 06 07 08 09 10 14 15 16 14 15 16 14 15 16";
        case mqCqc3M:
            return "11 12 13 11 12 13 11 12 13 11 12 13 11 12 13 11 12 13 11 12 13 11 12 13 11 12 "
                   "13 11 12 13";
        case mqCqc4P:
            return "14 15 16 14 15 16 14 15 16 14 15 16 14 15 16 14 15 16 14 15 16 14 15 16 14 15 "
                   "16 14 15 16";
        case mqCqc5B:
            return "01 02 03 04 05 06 07 08 09 10 01 02 03 04 05 06 07 08 09 10 "
                   "01 02 03 04 05 06 07 08 09 10 01 02 03 04 05 06 07 08 09 10";
        default:
            return "";
    }
}

inline std::vector<std::string> expectedExamPlan(TModalitaQuiz m) {
    std::vector<std::string> codes;
    std::istringstream in{std::string(expectedExamPlanText(m))};
    for (std::string code; in >> code;)
        codes.push_back(code);
    return codes;
}

}  // namespace vexora::test
