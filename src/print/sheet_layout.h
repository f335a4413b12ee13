#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "core/catalogue.h"

namespace vexora::print {

// The five layouts the sheet reports come in. Members of a family differ only in their
// category's names, N and message texts.
enum class LayoutFamily : std::uint8_t {
    TwoPage15,       // AB, AM: 15 slots per page, pages not required
    OnePage,         // S1, S2, S4, S5, S7
    TwoPage20,       // S3, S6: both pages required
    FourPage,        // C1, C2: all four pages required
    TwoPage20First,  // C3, C4, C5: 20 slots on page 1, pages not required
};

// Fixed amounts (inches) by which a question text without figure is widened, and the left
// edge an odd slot's text moves to.
inline constexpr double kWideningInch = 0.8;
inline constexpr double kWidenedLeftInch = 0.35;

// Order of the two changes that widen an odd slot's question text.
enum class WideningOrder : std::uint8_t { LeftThenWidth, WidthThenLeft };

// What one category's sheet and answer-key renderers need beyond the catalogue.
struct SheetLayout {
    TModalitaQuiz category;
    LayoutFamily family;
    // Message prefix of the sheet renderer; the sheet label follows.
    std::string_view sheetMessagePrefix;
    // Log text when a required page is missing; empty where pages are not required.
    std::string_view missingPagesLog;
    // Message prefix of the answer-key renderer; the key name follows.
    std::string_view keyMessagePrefix;
    // The first tab character of a question text is dropped (S1, S3).
    bool removeFirstTab;
    // A missing figure is logged instead of beeping (S1).
    bool logMissingFigure;
};

// Row of a working category; throws std::out_of_range for any other value.
const SheetLayout& sheetLayout(TModalitaQuiz m);

// Slots on every page but the last of the family (15 or 20).
int slotsPerPage(LayoutFamily family);
// Page (1-based) that holds slot n (1-based) of category m.
int pageOfSlot(TModalitaQuiz m, int n);
// First and last slot (1-based) on page p (1-based); {0, -1} for a page the category lacks.
std::pair<int, int> slotRangeOfPage(TModalitaQuiz m, int page);
// True when every page of the sheet report must exist (otherwise the sheet prints with
// whatever pages there are, and widening and answer marks need all of them).
bool pagesRequired(LayoutFamily family);
// True for AB and AM: plain figure path, "Libro" + n and the figure frame.
bool usesPlainFigurePath(LayoutFamily family);
// Page suffixes on the sheet labels ("/a", "/b", ...).
bool suffixedSheetLabels(LayoutFamily family);
WideningOrder wideningOrder(LayoutFamily family);

// Block parts of an answer-key block: "ab", "abcd", or "" for categories without parts.
// Part p stands for sheet page p.
std::string_view keyParts(TModalitaQuiz m);

// Names built from the category, as the template knows them.
std::string sheetPageName(TModalitaQuiz m, int page);  // "SchedaAB.Page2"
// "NomeSchedaA" .. "NomeSchedaD" for pages 1 to 4.
std::string sheetLabelComponent(int page);
// "S_Corr3b" or "S_Corr3" (part 0 for categories without parts).
std::string keyBlockComponent(int block, char part);
// "NomeSchedaB3" or "NomeScheda3".
std::string keyLabelComponent(int block, char part);
// "Corr3_17".
std::string keyMarkComponent(int block, int answer);

}  // namespace vexora::print
