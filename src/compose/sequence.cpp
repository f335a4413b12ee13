#include "compose/sequence.h"

#include <array>

namespace vexora::compose {
namespace {

constexpr std::array<std::string_view, 7> kKindNames = {
    "tsNulla", "tsNormale", "tsCustom", "tsEsame", "tsDifficile", "tsDubbia", "tsErrore"};
constexpr std::array<std::string_view, 7> kPairWords = {"",          "Normali", "",      "Esame",
                                                        "Difficili", "Dubbie",  "Errori"};
constexpr std::array<std::string_view, 4> kOrderNames = {"toNulla", "toArgomentoMista",
                                                         "toArgSequenziale", "toMista"};

std::string prefixed(std::string_view prefix, std::string_view word) {
    if (word.empty())
        return {};
    std::string name(prefix);
    name += word;
    return name;
}

}  // namespace

std::string_view valueName(TTipoSequenza kind) {
    return kind < kKindNames.size() ? kKindNames[kind] : std::string_view{};
}

std::string_view valueName(TTipoOrdineSq order) {
    return order < kOrderNames.size() ? kOrderNames[order] : std::string_view{};
}

std::string_view fieldPairWord(TTipoSequenza kind) {
    return kind < kPairWords.size() ? kPairWords[kind] : std::string_view{};
}

std::string dtFieldName(TTipoSequenza kind) {
    return prefixed("dt", fieldPairWord(kind));
}

std::string rsFieldName(TTipoSequenza kind) {
    return prefixed("rs", fieldPairWord(kind));
}

}  // namespace vexora::compose
