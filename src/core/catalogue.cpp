#include "core/catalogue.h"

#include <stdexcept>

namespace vexora {
namespace {

constexpr std::array<std::string_view, kCategoryValueCount> kValueNames = {
    "mqNone",    "mqAB",      "mqAM",     "mqSuperC1", "mqSuperC0", "mqSuperC",
    "mqSuperCx", "mqSuperD1", "mqSuperD", "mqSuperDx", "mqCqc1M",   "mqCqc2P",
    "mqCqc3M",   "mqCqc4P",   "mqCqc5B",  "mqAdr",     "mqCapB"};

constexpr std::array<std::string_view, kCategoryValueCount> kDisplayNames = {
    "",     "AB",   "AM",        "C1-C1E",     "C1-C1E NP",  "C-CE",       "Est. C-CE",
    "D1-D1E", "D-DE", "Est. D-DE", "CQC M",    "CQC P",      "Est. CQC M", "Est. CQC P",
    "CQC da APC", "ADR", "CAP B"};

constexpr std::array<CategoryRow, kWorkingCategoryCount> kRows = {{
    {mqAB, "AB", "NQM2016.QXD", "NQP2016.QXD", "ARG2013.XML", 600, 30, 4, 2},
    {mqAM, "AM", "CQM2015.QXD", "CQP2015.QXD", "ARGCIGC.XML", 100, 30, 4, 2},
    {mqSuperC1, "S1", "SQM2014.1.QXD", "SQP2014.1.QXD", "ARGCDE1.XML", 140, 20, 8, 1},
    {mqSuperC0, "S2", "SQM2014.2.QXD", "SQP2014.2.QXD", "ARGCDE2.XML", 80, 10, 8, 1},
    {mqSuperC, "S3", "SQM2014.3.QXD", "SQP2014.3.QXD", "ARGCDE3.XML", 200, 40, 4, 2},
    {mqSuperCx, "S4", "SQM2014.4.QXD", "SQP2014.4.QXD", "ARGCDE4.XML", 170, 20, 8, 1},
    {mqSuperD1, "S5", "SQM2014.5.QXD", "SQP2014.5.QXD", "ARGCDE5.XML", 120, 20, 8, 1},
    {mqSuperD, "S6", "SQM2014.6.QXD", "SQP2014.6.QXD", "ARGCDE6.XML", 200, 40, 4, 2},
    {mqSuperDx, "S7", "SQM2014.7.QXD", "SQP2014.7.QXD", "ARGCDE7.XML", 150, 20, 8, 1},
    {mqCqc1M, "C1", "QQM2021.1.QXD", "QQP2021.1.QXD", "ARGCQC1.XML", 120, 70, 2, 4},
    {mqCqc2P, "C2", "QQM2021.2.QXD", "QQP2021.2.QXD", "ARGCQC2.XML", 120, 70, 2, 4},
    {mqCqc3M, "C3", "QQM2021.3.QXD", "QQP2021.3.QXD", "ARGCQC3.XML", 80, 30, 4, 2},
    {mqCqc4P, "C4", "QQM2021.4.QXD", "QQP2021.4.QXD", "ARGCQC4.XML", 80, 30, 4, 2},
    {mqCqc5B, "C5", "QQM2021.5.QXD", "QQP2021.5.QXD", "ARGCQC5.XML", 90, 40, 4, 2},
}};

constexpr std::array<TModalitaQuiz, kWorkingCategoryCount> kWorking = {
    mqAB,     mqAM,      mqSuperC1, mqSuperC0, mqSuperC, mqSuperCx, mqSuperD1,
    mqSuperD, mqSuperDx, mqCqc1M,   mqCqc2P,   mqCqc3M,  mqCqc4P,   mqCqc5B};

constexpr std::array<std::string_view, 7> kSupListato = {
    "C1-C1E", "C1-C1E Non Professionale", "C-CE", "Estensione C-CE",
    "D1-D1E", "D-DE",                     "Estensione D-DE"};
constexpr std::array<std::string_view, 5> kCqcListato = {
    "CQC Merci", "CQC Persone", "Estensione CQC Merci", "Estensione CQC Persone", "CQC da APC"};

std::string code(TModalitaQuiz m) { return std::string(categoryRow(m).code); }
std::string name(TModalitaQuiz m) { return std::string(displayName(m)); }

}  // namespace

std::string_view valueName(TModalitaQuiz m) {
    return m < kCategoryValueCount ? kValueNames[m] : std::string_view{};
}

std::string_view valueName(TTipoDiStampa kind) {
    return kind == tdsEsame ? "tdsEsame" : "tdsArgomento";
}

std::string_view displayName(TModalitaQuiz m) {
    return m < kCategoryValueCount ? kDisplayNames[m] : std::string_view{};
}

bool isWorkingCategory(TModalitaQuiz m) { return m >= mqAB && m <= mqCqc5B; }

std::span<const TModalitaQuiz, kWorkingCategoryCount> workingCategories() { return kWorking; }

const CategoryRow& categoryRow(TModalitaQuiz m) {
    if (!isWorkingCategory(m)) {
        throw std::out_of_range("not a working quiz category: " + std::to_string(int{m}));
    }
    return kRows[m - 1];
}

std::string_view categoryCode(TModalitaQuiz m) { return categoryRow(m).code; }
std::string_view masterFile(TModalitaQuiz m) { return categoryRow(m).masterFile; }
std::string_view printHistoryFile(TModalitaQuiz m) { return categoryRow(m).printHistoryFile; }
std::string_view topicListFile(TModalitaQuiz m) { return categoryRow(m).topicListFile; }
int examResetThreshold(TModalitaQuiz m) { return categoryRow(m).examResetThreshold; }
int questionsPerSheet(TModalitaQuiz m) { return categoryRow(m).n; }
int sheetsPerKey(TModalitaQuiz m) { return categoryRow(m).k; }
int keyAccumulatorSize(TModalitaQuiz m) { return categoryRow(m).k * categoryRow(m).n; }
int reportPages(TModalitaQuiz m) { return categoryRow(m).pages; }

std::optional<TModalitaQuiz> categoryFromCode(std::string_view c) {
    if (c.size() != 2) return std::nullopt;
    auto up = [](char ch) { return (ch >= 'a' && ch <= 'z') ? static_cast<char>(ch - 32) : ch; };
    for (const auto& row : kRows) {
        if (row.code[0] == up(c[0]) && row.code[1] == up(c[1])) return row.value;
    }
    return std::nullopt;
}

CategoryGroup groupOf(TModalitaQuiz m) {
    if (!isWorkingCategory(m)) {
        throw std::out_of_range("not a working quiz category: " + std::to_string(int{m}));
    }
    if (m == mqAB) return CategoryGroup::AB;
    if (m == mqAM) return CategoryGroup::AM;
    if (m <= mqSuperDx) return CategoryGroup::SUP;
    return CategoryGroup::CQC;
}

TModalitaQuiz firstCategoryOfGroup(CategoryGroup g) {
    switch (g) {
        case CategoryGroup::AB: return mqAB;
        case CategoryGroup::AM: return mqAM;
        case CategoryGroup::SUP: return mqSuperC1;
        case CategoryGroup::CQC: return mqCqc1M;
    }
    return mqNone;
}

std::string_view groupCaption(CategoryGroup g) {
    switch (g) {
        case CategoryGroup::AB: return "Schede quiz per la patente A, B e BE";
        case CategoryGroup::AM: return "Schede quiz per la patente AM";
        case CategoryGroup::SUP: return "Schede quiz per le patenti superiori C-CE e D-DE";
        case CategoryGroup::CQC: return "Schede quiz per l'abilitazione CQC";
    }
    return {};
}

std::string_view groupButtonName(CategoryGroup g) {
    switch (g) {
        case CategoryGroup::AB: return "BtQuizModeAB";
        case CategoryGroup::AM: return "BtQuizModeAM";
        case CategoryGroup::SUP: return "BtQuizModeSUP";
        case CategoryGroup::CQC: return "BtQuizModeCQC";
    }
    return {};
}

int groupButtonTag(CategoryGroup g) { return static_cast<int>(g); }

std::string_view noGroupCaption() { return "Selezionare prima la categoria AB, AM, CDE o CQC"; }

std::span<const std::string_view> listatoEntries(CategoryGroup g) {
    if (g == CategoryGroup::SUP) return kSupListato;
    if (g == CategoryGroup::CQC) return kCqcListato;
    return {};
}

std::optional<TModalitaQuiz> categoryFromListato(CategoryGroup g, int position) {
    const auto entries = listatoEntries(g);
    if (position < 0 || static_cast<std::size_t>(position) >= entries.size()) return std::nullopt;
    return static_cast<TModalitaQuiz>(firstCategoryOfGroup(g) + position);
}

std::optional<int> listatoPosition(TModalitaQuiz m) {
    if (!isWorkingCategory(m)) return std::nullopt;
    const CategoryGroup g = groupOf(m);
    if (g != CategoryGroup::SUP && g != CategoryGroup::CQC) return std::nullopt;
    return m - firstCategoryOfGroup(g);
}

int counterIndex(TModalitaQuiz m, TTipoDiStampa kind) {
    categoryRow(m);  // rejects non-working categories
    return 2 * (m - 1) + (kind == tdsArgomento ? 1 : 0);
}

std::string examCounterKey(TModalitaQuiz m) { return "Progressivo Esa " + code(m); }
std::string topicCounterKey(TModalitaQuiz m) { return "Progressivo Arg " + code(m); }
std::string counterKey(TModalitaQuiz m, TTipoDiStampa kind) {
    return kind == tdsEsame ? examCounterKey(m) : topicCounterKey(m);
}

std::string sheetReportName(TModalitaQuiz m) { return "Scheda" + code(m); }
std::string answerKeyReportName(TModalitaQuiz m) { return "Correttore" + code(m); }
std::string answerKeyTitle(TModalitaQuiz m) { return "Correttore " + code(m) + " "; }
std::string pdfPrefix(TModalitaQuiz m, TTipoDiStampa kind) {
    return code(m) + (kind == tdsEsame ? "_ESA" : "_ARG");
}
std::string shuffleRoutineName(TModalitaQuiz m) { return "MischiaScheda" + code(m); }
std::string sheetRendererName(TModalitaQuiz m) { return "StampaScheda" + code(m); }
std::string answerKeyRendererName(TModalitaQuiz m) { return "StampaCorrettore" + code(m); }
std::string examResetLogLine(TModalitaQuiz m) {
    return "TFormStampe.InitAndCountDb (ResetEsame " + code(m) + ")";
}

std::string examButtonCaption(TModalitaQuiz m) { return "Schede tipo ESAME " + name(m); }
std::string topicButtonCaption(TModalitaQuiz m) { return "Schede tipo ARGOMENTO " + name(m); }
std::string printButtonCaption(TModalitaQuiz m, TTipoDiStampa kind) {
    return std::string(kind == tdsEsame ? "Stampa schede tipo Esame" : "Stampa schede per Argomento") +
           " " + name(m);
}
std::string progressTitle(TModalitaQuiz m, TTipoDiStampa kind) {
    return std::string("Stampa schede ") +
           (kind == tdsEsame ? "tipo esame" : "per blocchi di argomenti") + " " + name(m);
}

}  // namespace vexora
