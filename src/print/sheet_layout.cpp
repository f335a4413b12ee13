#include "print/sheet_layout.h"

#include <array>
#include <stdexcept>

namespace vexora::print {
namespace {

using F = LayoutFamily;

constexpr std::array<SheetLayout, kWorkingCategoryCount> kLayouts = {{
    {mqAB, F::TwoPage15, "Problema di stampa della scheda AB ", "",
     "Problema di stampa del correttore AB ", false, false},
    {mqAM, F::TwoPage15, "Problema di stampa della scheda AM ", "",
     "Problema di stampa del correttore AM ", false, false},
    {mqSuperC1, F::OnePage, "Problema di stampa della scheda C1-C1E ",
     "TFormStampe.StampaSchedaS1 - pagina non disponibile",
     "Problema di stampa del correttore C1-C1E ", true, true},
    {mqSuperC0, F::OnePage, "Problema di stampa della scheda C1-C1E NP ",
     "TFormStampe.StampaSchedaS2 - pagina non disponibile",
     "Problema di stampa del correttore C1-C1E NP ", false, false},
    {mqSuperC, F::TwoPage20, "Problema di stampa della scheda C-CE ",
     "TFormStampe.StampaSchedaS3 - pagine non disponibili",
     "Problema di stampa del correttore C-CE", true, false},
    {mqSuperCx, F::OnePage, "Problema di stampa della scheda Est. C1-C1E ",
     "TFormStampe.StampaSchedaS4 - pagina non disponibile",
     "Problema di stampa del correttore Est. C1-C1E ", false, false},
    {mqSuperD1, F::OnePage, "Problema di stampa della scheda D1-D1E ",
     "TFormStampe.StampaSchedaS5 - pagina non disponibile",
     "Problema di stampa del correttore D1-D1E ", false, false},
    {mqSuperD, F::TwoPage20, "Problema di stampa della scheda D-DE ",
     "TFormStampe.StampaSchedaS6 - pagine non disponibili",
     "Problema di stampa del correttore D-DE", false, false},
    {mqSuperDx, F::OnePage, "Problema di stampa della scheda Est. D-DE ",
     "TFormStampe.StampaSchedaS7 - pagina non disponibile",
     "Problema di stampa del correttore Est. D-DE ", false, false},
    {mqCqc1M, F::FourPage, "Problema di stampa della scheda CQC M ",
     "TFormStampe.StampaSchedaC1 - 4 pagine non tutte disponibili",
     "Problema di stampa del correttore CQC M ", false, false},
    {mqCqc2P, F::FourPage, "Problema di stampa della scheda CQC P ",
     "TFormStampe.StampaSchedaC2 - 4 pagine non tutte disponibili",
     "Problema di stampa del correttore CQC P ", false, false},
    {mqCqc3M, F::TwoPage20First, "Problema di stampa della scheda Estensione CQC M ", "",
     "Problema di stampa del correttore Estensione CQC M ", false, false},
    {mqCqc4P, F::TwoPage20First, "Problema di stampa della scheda Estensione CQC P ", "",
     "Problema di stampa del correttore Estensione CQC P ", false, false},
    {mqCqc5B, F::TwoPage20First, "Problema di stampa della scheda CQC da APC ", "",
     "Problema di stampa del correttore CQC da APC ", false, false},
}};

}  // namespace

const SheetLayout& sheetLayout(TModalitaQuiz m) {
    if (!isWorkingCategory(m))
        throw std::out_of_range("sheetLayout: not a working category");
    return kLayouts[static_cast<std::size_t>(m - mqAB)];
}

int slotsPerPage(LayoutFamily family) {
    return family == LayoutFamily::TwoPage15 ? 15 : 20;
}

int pageOfSlot(TModalitaQuiz m, int n) {
    const int pages = reportPages(m);
    const int page = (n - 1) / slotsPerPage(sheetLayout(m).family) + 1;
    return page < 1 ? 1 : (page > pages ? pages : page);
}

std::pair<int, int> slotRangeOfPage(TModalitaQuiz m, int page) {
    const int pages = reportPages(m);
    if (page < 1 || page > pages)
        return {0, -1};
    const int per = slotsPerPage(sheetLayout(m).family);
    const int first = (page - 1) * per + 1;
    const int last = page == pages ? questionsPerSheet(m) : page * per;
    return {first, last};
}

bool pagesRequired(LayoutFamily family) {
    return family == LayoutFamily::OnePage || family == LayoutFamily::TwoPage20 ||
           family == LayoutFamily::FourPage;
}

bool usesPlainFigurePath(LayoutFamily family) {
    return family == LayoutFamily::TwoPage15;
}

bool suffixedSheetLabels(LayoutFamily family) {
    return family != LayoutFamily::OnePage;
}

WideningOrder wideningOrder(LayoutFamily family) {
    return family == LayoutFamily::TwoPage15 || family == LayoutFamily::TwoPage20First
               ? WideningOrder::LeftThenWidth
               : WideningOrder::WidthThenLeft;
}

std::string_view keyParts(TModalitaQuiz m) {
    // One part per sheet page; one-page sheets have blocks without parts.
    constexpr std::string_view kLetters = "abcd";
    const int pages = reportPages(m);
    return pages > 1 ? kLetters.substr(0, static_cast<std::size_t>(pages)) : std::string_view{};
}

std::string sheetPageName(TModalitaQuiz m, int page) {
    return sheetReportName(m) + ".Page" + std::to_string(page);
}

std::string sheetLabelComponent(int page) {
    return std::string("NomeScheda") + static_cast<char>('A' + (page - 1));
}

std::string keyBlockComponent(int block, char part) {
    std::string name = "S_Corr" + std::to_string(block);
    if (part != 0)
        name += part;
    return name;
}

std::string keyLabelComponent(int block, char part) {
    std::string name = "NomeScheda";
    if (part != 0)
        name += static_cast<char>(part - 'a' + 'A');
    return name + std::to_string(block);
}

std::string keyMarkComponent(int block, int answer) {
    return "Corr" + std::to_string(block) + "_" + std::to_string(answer);
}

}  // namespace vexora::print
