#include "print/template_contract.h"

#include "print/sheet_layout.h"

namespace vexora::print {
namespace {

using report::ComponentKind;
using report::Page;

enum class Need { Any, Text, Image, FontMaster };

std::string_view needWord(Need need) {
    switch (need) {
        case Need::Text:
            return "il testo";
        case Need::Image:
            return "l'immagine";
        case Need::FontMaster:
            return "il font master";
        case Need::Any:
            break;
    }
    return "il componente";
}

bool kindFits(ComponentKind kind, Need need) {
    switch (need) {
        case Need::Text:
            return kind == ComponentKind::Text;
        case Need::Image:
            return kind == ComponentKind::Image;
        case Need::FontMaster:
            return kind == ComponentKind::FontMaster;
        case Need::Any:
            break;
    }
    return true;
}

struct Checker {
    std::vector<std::string>& faults;

    const report::Component* need(const Page& page, const std::string& where,
                                  const std::string& name, Need what) {
        const report::Component* c = page.FindComponent(QString::fromStdString(name));
        if (!c) {
            faults.push_back(where + ": manca " + std::string(needWord(what)) + " " + name);
            return nullptr;
        }
        if (!kindFits(c->Kind(), what)) {
            faults.push_back(where + ": " + name + " non è " + std::string(needWord(what)));
            return nullptr;
        }
        return c;
    }
};

void checkSheet(const report::ReportTemplate& t, TModalitaQuiz m, Checker& check) {
    const std::string r = sheetReportName(m);
    if (!t.FindReport(QString::fromStdString(r))) {
        check.faults.push_back("manca il report " + r);
        return;
    }
    const int pages = reportPages(m);
    for (int p = 1; p <= pages; ++p) {
        const std::string where = sheetPageName(m, p);
        const Page* page = t.FindPage(QString::fromStdString(where));
        if (!page) {
            check.faults.push_back("manca la pagina " + where);
            continue;
        }
        check.need(*page, where, sheetLabelComponent(p), Need::Text);
        if (p == 1) {
            check.need(*page, where, "FontMasterDom", Need::FontMaster);
            check.need(*page, where, "FontMasterDomX", Need::FontMaster);
        }
        const auto [first, last] = slotRangeOfPage(m, p);
        for (int n = first; n <= last; ++n) {
            const std::string num = std::to_string(n);
            if (const auto* text = check.need(*page, where, "Domanda" + num, Need::Text)) {
                const QString shown = QStringLiteral("{Domanda%1}").arg(n);
                if (!text->Text().contains(shown)) {
                    check.faults.push_back(where + ": Domanda" + num +
                                           " non mostra il parametro Domanda" + num);
                }
            }
            check.need(*page, where, "Figura" + num, Need::Image);
            check.need(*page, where, "Risp" + num, Need::Any);
            if (usesPlainFigurePath(sheetLayout(m).family))
                check.need(*page, where, "Rectangle" + num, Need::Any);
        }
    }
    const auto needParam = [&](const std::string& name) {
        if (!t.Param(QString::fromStdString(name)))
            check.faults.push_back("manca il parametro " + name);
    };
    needParam("NomeAutoscuola");
    needParam("IndirizzoAutoscuola");
    for (int n = 1; n <= questionsPerSheet(m); ++n) {
        for (const char* stem : {"Domanda", "Figura", "Libro", "Risposta", "Blk_Dom_Arg"})
            needParam(stem + std::to_string(n));
    }
}

void checkKey(const report::ReportTemplate& t, TModalitaQuiz m, Checker& check) {
    const std::string r = answerKeyReportName(m);
    if (!t.FindReport(QString::fromStdString(r))) {
        check.faults.push_back("manca il report " + r);
        return;
    }
    const std::string where = r + ".Page1";
    const Page* page = t.FindPage(QString::fromStdString(where));
    if (!page) {
        check.faults.push_back("manca la pagina " + where);
        return;
    }
    const std::string_view parts = keyParts(m);
    for (int j = 1; j <= sheetsPerKey(m); ++j) {
        if (parts.empty()) {
            check.need(*page, where, keyBlockComponent(j, 0), Need::Any);
            check.need(*page, where, keyLabelComponent(j, 0), Need::Text);
        }
        for (char p : parts) {
            check.need(*page, where, keyBlockComponent(j, p), Need::Any);
            check.need(*page, where, keyLabelComponent(j, p), Need::Text);
        }
        for (int i = 1; i <= questionsPerSheet(m); ++i)
            check.need(*page, where, keyMarkComponent(j, i), Need::Any);
    }
}

}  // namespace

std::vector<std::string> templateContractFaults(const report::ReportTemplate& t, TModalitaQuiz m) {
    std::vector<std::string> faults;
    Checker check{faults};
    checkSheet(t, m, check);
    checkKey(t, m, check);
    return faults;
}

}  // namespace vexora::print
