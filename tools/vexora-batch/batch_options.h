#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/catalogue.h"

namespace vexora::batch {

// The command line of vexora-batch.
struct BatchOptions {
    std::string folder;  // program folder; empty: the executable's folder
    TModalitaQuiz category = mqNone;
    TTipoDiStampa kind = tdsEsame;
    std::vector<int> topics;  // one-based topic positions
    int sheets = 1;
    int copies = 1;
    bool pdf = false;
    std::optional<std::string> printer;
    bool keyText = false;
    std::optional<std::uint32_t> seed;
    bool help = false;
};

// Parses the arguments (without the program name). Throws std::invalid_argument with
// a message for the user on a usage error.
BatchOptions parseBatchOptions(const std::vector<std::string>& args);

// The --help text.
std::string batchUsage();

}  // namespace vexora::batch
