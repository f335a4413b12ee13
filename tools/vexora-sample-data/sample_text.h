#pragma once

// Italian quiz statements and topic titles for the sample data.

#include <string>
#include <vector>

#include "sample_data.h"

namespace vexora::sampledata {

// Vocabulary family of a category.
enum class TextFlavour : std::uint8_t {
    Licence,       // AB, AM
    Heavy,         // S1..S7: lorries and buses
    Professional,  // C1..C5: professional qualification
};

// A true/false statement of at most maxChars characters and, when the vocabulary allows,
// close below targetChars (never fewer than 40). aboutFigure starts it from a picture
// ("Il segnale raffigurato ...").
std::string questionStatement(SampleRng& rng, TextFlavour flavour, bool aboutFigure,
                              int targetChars, int maxChars);

// count distinct topic titles of varied length, in a seed-dependent order.
std::vector<std::string> topicTitles(SampleRng& rng, TextFlavour flavour, int count);

}  // namespace vexora::sampledata
