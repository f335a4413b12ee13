#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vexora {

// Quiz category, stored in one byte. 1..14 are the working categories.
enum TModalitaQuiz : std::uint8_t {
    mqNone = 0,
    mqAB,
    mqAM,
    mqSuperC1,
    mqSuperC0,
    mqSuperC,
    mqSuperCx,
    mqSuperD1,
    mqSuperD,
    mqSuperDx,
    mqCqc1M,
    mqCqc2P,
    mqCqc3M,
    mqCqc4P,
    mqCqc5B,
    mqAdr,
    mqCapB,
};

inline constexpr int kCategoryValueCount = 17;
inline constexpr int kWorkingCategoryCount = 14;
inline constexpr int kCounterCount = 2 * kWorkingCategoryCount;

// Sheet kind: exam-like or built from topics.
enum TTipoDiStampa : std::uint8_t { tdsEsame = 0, tdsArgomento = 1 };

// The four category groups of the first wizard page.
enum class CategoryGroup : std::uint8_t { AB = 0, AM = 1, SUP = 2, CQC = 3 };

// One row of the per-category constants.
struct CategoryRow {
    TModalitaQuiz value;
    std::string_view code;
    std::string_view masterFile;
    std::string_view printHistoryFile;
    std::string_view topicListFile;
    int examResetThreshold;
    int n;      // questions per sheet
    int k;      // sheets gathered by one answer key
    int pages;  // pages of the sheet report
};

// The enumerator's own name ("mqSuperC0"), as the run log prints it.
std::string_view valueName(TModalitaQuiz m);
// Enumerator name of a sheet kind ("tdsEsame").
std::string_view valueName(TTipoDiStampa kind);
// Display name; "" for mqNone and for values outside the enumeration.
std::string_view displayName(TModalitaQuiz m);
// True for 1..14.
bool isWorkingCategory(TModalitaQuiz m);
// The 14 working categories in catalogue order.
std::span<const TModalitaQuiz, kWorkingCategoryCount> workingCategories();

// Row of a working category; throws std::out_of_range for any other value.
const CategoryRow& categoryRow(TModalitaQuiz m);
std::string_view categoryCode(TModalitaQuiz m);
std::string_view masterFile(TModalitaQuiz m);
std::string_view printHistoryFile(TModalitaQuiz m);
std::string_view topicListFile(TModalitaQuiz m);
int examResetThreshold(TModalitaQuiz m);
int questionsPerSheet(TModalitaQuiz m);      // N
int sheetsPerKey(TModalitaQuiz m);           // K
int keyAccumulatorSize(TModalitaQuiz m);     // K x N
int reportPages(TModalitaQuiz m);
// Working category from its two-character code ("S4"), case-insensitive.
std::optional<TModalitaQuiz> categoryFromCode(std::string_view code);

// Groups.
CategoryGroup groupOf(TModalitaQuiz m);
TModalitaQuiz firstCategoryOfGroup(CategoryGroup g);
std::string_view groupCaption(CategoryGroup g);
std::string_view groupButtonName(CategoryGroup g);  // "BtQuizModeAB"
int groupButtonTag(CategoryGroup g);
// Caption shown when no group is chosen.
std::string_view noGroupCaption();

// Listato lists (SUP and CQC only; AB and AM have none).
std::span<const std::string_view> listatoEntries(CategoryGroup g);
std::optional<TModalitaQuiz> categoryFromListato(CategoryGroup g, int position);
std::optional<int> listatoPosition(TModalitaQuiz m);

// Counters: 28 in the order AB exam, AB topic, AM exam, ... C5 topic.
int counterIndex(TModalitaQuiz m, TTipoDiStampa kind);
std::string examCounterKey(TModalitaQuiz m);
std::string topicCounterKey(TModalitaQuiz m);
std::string counterKey(TModalitaQuiz m, TTipoDiStampa kind);
inline constexpr std::string_view kCounterSection = "Status";

// Names built from the category code.
std::string sheetReportName(TModalitaQuiz m);      // "SchedaS4"
std::string answerKeyReportName(TModalitaQuiz m);  // "CorrettoreS4"
std::string answerKeyTitle(TModalitaQuiz m);       // "Correttore S4 "
std::string pdfPrefix(TModalitaQuiz m, TTipoDiStampa kind);  // "S4_ESA" / "S4_ARG"
std::string shuffleRoutineName(TModalitaQuiz m);             // "MischiaSchedaS4"
std::string sheetRendererName(TModalitaQuiz m);              // "StampaSchedaS4"
std::string answerKeyRendererName(TModalitaQuiz m);          // "StampaCorrettoreS4"
std::string examResetLogLine(TModalitaQuiz m);

// Captions built from the display name.
std::string examButtonCaption(TModalitaQuiz m);   // "Schede tipo ESAME " + name
std::string topicButtonCaption(TModalitaQuiz m);  // "Schede tipo ARGOMENTO " + name
std::string printButtonCaption(TModalitaQuiz m, TTipoDiStampa kind);
std::string progressTitle(TModalitaQuiz m, TTipoDiStampa kind);

}  // namespace vexora
