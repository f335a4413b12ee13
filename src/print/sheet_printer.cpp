#include "print/sheet_printer.h"

#include <QFontDatabase>
#include <QImage>

#include <algorithm>
#include <array>
#include <stdexcept>
#include <utility>
#include <vector>

#include "core/codepage.h"
#include "core/file_util.h"
#include "print/figure_files.h"
#include "print/text_util.h"
#include "report/template_model.h"

namespace vexora::print {
namespace {

using report::Component;
using report::Page;
using report::Report;

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString numbered(const char* stem, int n) {
    return QLatin1String(stem) + QString::number(n);
}

// Questions longer than this (in characters) take the long-question font: with a figure,
// and without one.
constexpr std::size_t kLongWithFigure = 200;
constexpr std::size_t kLongWithoutFigure = 265;

// Most " (k)" names tried before giving up.
constexpr int kMaxOutputVariants = 9999;

}  // namespace

std::string freeOutputPath(PlatformServices& platform, const std::string& stem,
                           std::string_view extension) {
    std::string path = stem + std::string(extension);
    for (int k = 2; platform.fileExists(path); ++k) {
        if (k > kMaxOutputVariants)
            throw std::runtime_error("Nessun nome libero per il file \"" + stem +
                                     std::string(extension) + "\"");
        path = stem + " (" + std::to_string(k) + ")" + std::string(extension);
    }
    return path;
}

SheetPrinter::SheetPrinter(const ProgramState& state, const Reporting& reporting,
                           PlatformServices& platform, ProgressReporter& progress,
                           compose::SheetComposer& composer, report::ReportProject& project,
                           report::ReportOutput& output)
    : state_(state),
      rep_(reporting),
      platform_(platform),
      progress_(progress),
      composer_(composer),
      project_(project),
      output_(output) {
    // The engine pumps events before every page, so "Interrompi" can cancel a running job.
    output_.SetEventPump([this] { rep_.ui.processEvents(); });
}

SheetPrinter::~SheetPrinter() {
    output_.SetEventPump({});
    if (printer_ && output_.Printer() == printer_.get())
        output_.SetPrinter(nullptr);
}

void SheetPrinter::selectPrinter(const QString& printerName) {
    if (printer_) {
        printer_->SetPrinterName(printerName);
    } else {
        printer_ = std::make_unique<report::PrinterDevice>(printerName);
    }
    output_.SetPrinter(printer_.get());
}

void SheetPrinter::setPrintSetupHook(report::PrintSetupHook hook) {
    output_.SetSetupDialog(std::move(hook));
}

std::string SheetPrinter::templatePath() const {
    return state_.programFolder + std::string(kTemplateFileName);
}

std::string SheetPrinter::GetFiguraSUP(std::string_view figura) {
    return print::GetFiguraSUP(figura, state_.currentCategory, state_.figuresFolder, platform_,
                               rep_.log);
}

std::string SheetPrinter::outputPath(const std::string& stem, std::string_view extension,
                                     const std::string& routine) {
    const std::string plain = stem + std::string(extension);
    const std::string path = freeOutputPath(platform_, stem, extension);
    if (path != plain) {
        // Sheet numbers repeat after a counter restarts: an earlier file is never replaced.
        rep_.log.ScriviErrorLog(
            "", 2,
            routine + " - Il file \"" + plain + "\" esiste gi\u00e0: scritto \"" + path + "\"");
    }
    return path;
}

void SheetPrinter::setUpOutput(const std::string& outputName, int copies, bool twoSided,
                               const std::string& routine) {
    const Switches& sw = rep_.switches;
    if (sw.CkStampaSuPdf) {
        output_.SetDefaultDest(report::Destination::File);
        output_.SetDoNativeOutput(false);
        output_.SetRenderObject(report::Renderer::Pdf);
    } else {
        output_.SetDefaultDest(report::Destination::Printer);
        output_.SetDoNativeOutput(true);
        output_.SetRenderObject(report::Renderer::None);
    }
    if (sw.CkNoPrntSetup)
        output_.RemoveSystemSetup(report::ssAllowSetup);
    if (output_.RenderObject() == report::Renderer::Pdf)
        output_.SetOutputFileName(
            qs(outputPath(state_.programFolder + outputName, ".pdf", routine)));

    copies = std::clamp(copies, 1, report::limits::kMaxCopies);
    if (!printer_ && !sw.CkStampaSuPdf)
        selectPrinter({});
    if (printer_) {
        printer_->SetCopies(copies);
        printer_->SelectPaper(QStringLiteral("A4"));
        printer_->SetDuplex(twoSided);
        output_.SetCopies(printer_->Copies());
        output_.SetDuplex(printer_->Duplex());
    } else {
        // A PDF run before any printer was chosen: nothing to ask a printer about.
        output_.SetCopies(copies);
        output_.SetDuplex(twoSided);
    }
}

const Report* SheetPrinter::openTemplate(const std::string& reportName, bool twoSided) {
    const std::string path = templatePath();
    if (platform_.fileExists(path)) {
        project_.SetProjectFile(qs(path));
    } else if (project_.ProjectFile().isEmpty()) {
        // The engine alone would not say which file it is missing.
        throw std::runtime_error("Nessun file di template impostato: il file \"" + path +
                                 "\" non esiste");
    }
    project_.Open();
    const QString name = qs(reportName);
    project_.SelectReport(name);
    project_.SetUnits(report::DisplayUnit::Millimetre);
    project_.SetUnitsFactor(25.4);
    project_.SetEngine(&output_);
    const Report* report = project_.FindReport(name);
    if (report) {
        report::RunValues& values = project_.Values();
        values.SetCopies(printer_ ? std::clamp(printer_->Copies(), 1, report::limits::kMaxCopies)
                                  : output_.Copies());
        values.SetDuplex(twoSided);
    }
    return report;
}

void SheetPrinter::closeTemplate() noexcept {
    try {
        project_.Close();
    } catch (...) {
        // Closing only drops the working copy; nothing to report.
    }
}

bool SheetPrinter::runAndClose(std::function<void(const std::string&)> reportFailure,
                               OutputQueue::Role role, std::vector<OutputQueue::ExtraFile> before) {
    if (pipelined_ && output_.DefaultDest() == report::Destination::File) {
        // "Interrompi" while the sheet was filled: nothing is written, as in a run here.
        if (output_.Aborted()) {
            closeTemplate();
            return false;
        }
        report::ReportOutput::FileRun run = project_.ExecuteLater();
        if (!queue_)
            queue_ = std::make_unique<OutputQueue>(outputWorkerCount());
        queue_->submit(std::move(run), role, std::move(before));
        pendingReports_.push_back(std::move(reportFailure));
        return true;
    }
    for (const OutputQueue::ExtraFile& file : before) {
        std::string error;
        if (!writeFileAtomically(file.path, file.bytes, &error))
            throw std::runtime_error(error);
    }
    // False when the job was cancelled ("Interrompi"): nothing was printed.
    const bool complete = project_.Execute();
    closeTemplate();
    return complete;
}

void SheetPrinter::outputFailed(const std::string& what, const std::string& error) {
    notices_.failedOutputs.push_back(what + ": " + error);
    // Told in its place on the progress window too, whatever CkNoExceptMsg says.
    progress_.setInfo("ERRORE - " + what + ": " + error);
    platform_.beep(440, 10);
    progress_.Delay(500);
}

RunNotices SheetPrinter::takeRunNotices() {
    return std::exchange(notices_, {});
}

std::size_t SheetPrinter::beginRun() {
    figures_.clear();
    notices_ = {};
    inRun_ = true;
    const int workers = outputWorkerCount();
    // One worker would only add hand-overs. The font database is loaded here, on the
    // owner's thread, before any worker draws text.
    pipelined_ = workers > 1 && !QFontDatabase::families().isEmpty();
    // One pending more than workers: none waits while the next sheet is composed.
    return pipelined_ ? static_cast<std::size_t>(workers) + 1 : 0;
}

bool SheetPrinter::settleOldest() {
    if (pendingReports_.empty() || !queue_)
        return true;
    const OutputQueue::Outcome outcome = queue_->takeOldest([this] { rep_.ui.processEvents(); });
    auto reportFailure = std::move(pendingReports_.front());
    pendingReports_.pop_front();
    if (!outcome.written && !outcome.error.empty() && reportFailure)
        reportFailure(outcome.error);
    return outcome.written;
}

void SheetPrinter::endRun() {
    while (!pendingReports_.empty())
        settleOldest();
    pipelined_ = false;
    inRun_ = false;
    figures_.clear();
}

void SheetPrinter::missingFigureWarning(const SheetLayout& layout, const std::string& path) {
    if (layout.logMissingFigure) {
        rep_.log.ScriviErrorLog(
            "", 1, "FormStampe.StampaSchedaS1 - Compnente figura non in pagina e figura assente!");
    }
    if (std::find(notices_.missingFigures.begin(), notices_.missingFigures.end(), path) ==
        notices_.missingFigures.end())
        notices_.missingFigures.push_back(path);
    progress_.setInfo("Attenzione! Impossibile trovare la figura: " + path);
    if (!layout.logMissingFigure)
        platform_.beep(900, 40);
    progress_.Delay(1000);
}

void SheetPrinter::placeFigure(TModalitaQuiz m, const SheetLayout& layout,
                               const compose::TDomandaPrint& slot, const Component& image) {
    const std::string path =
        usesPlainFigurePath(layout.family)
            ? plainFigurePath(state_.figuresFolder, slot.Figura)
            : print::GetFiguraSUP(slot.Figura, m, state_.figuresFolder, platform_, rep_.log);
    if (!platform_.fileExists(path)) {
        missingFigureWarning(layout, path);
        return;
    }
    // A picture that cannot be read is reported once a run; the component keeps the
    // template's picture, as for a missing file.
    if (const auto picture = figures_.fitted(path, kPlacedFigureSide, platform_, rep_))
        project_.Values().Edit(image).SetImage(*picture);
}

bool SheetPrinter::StampaScheda(TTipoDiStampa kind, std::string_view label, int copies) {
    return StampaScheda(state_.currentCategory, kind, label, copies);
}

bool SheetPrinter::StampaScheda(TModalitaQuiz m, TTipoDiStampa kind, std::string_view label,
                                int copies) {
    if (!isWorkingCategory(m)) {
        rep_.error(1, "FormStampe.StampaScheda - ", "Problema di stampa della scheda\r\nERRORE: ",
                   "nessuna categoria di quiz scelta");
        return false;
    }
    const SheetLayout& layout = sheetLayout(m);
    const std::string code(categoryCode(m));
    rep_.trace("TFormStampe.StampaScheda" + code + " (" + std::string(valueName(kind)) + ")");
    if (!inRun_)
        figures_.clear();

    const Switches& sw = rep_.switches;
    const std::string L(label);
    std::string R;
    // Every way out closes the template, so no change survives into the next sheet.
    struct CloseOnExit {
        SheetPrinter& printer;
        ~CloseOnExit() { printer.closeTemplate(); }
    } closeOnExit{*this};
    try {
        setUpOutput(pdfPrefix(m, kind) + L, copies, sw.CkSkedaDuplex,
                    "TFormStampe.StampaScheda" + code);
        R = sheetReportName(m);
        if (!openTemplate(R, sw.CkSkedaDuplex)) {
            rep_.ui.messageBox(std::string(layout.sheetMessagePrefix) + L + ", report: " + R +
                               " non disponibile.");
            outputFailed("Scheda " + L, "report " + R + " non disponibile nel template \"" +
                                            project_.ProjectFile().toStdString() + "\"");
            return false;
        }
        project_.SetParam(QStringLiteral("NomeAutoscuola"), qs(state_.schoolName));
        project_.SetParam(QStringLiteral("IndirizzoAutoscuola"), qs(state_.schoolAddress));

        const int pageCount = reportPages(m);
        report::RunValues& values = project_.Values();
        std::array<const Page*, 4> pages{};
        const Component* master = nullptr;
        const Component* masterX = nullptr;
        bool allPages = true;
        for (int p = 1; p <= pageCount; ++p) {
            const Page* page = project_.FindPage(qs(sheetPageName(m, p)));
            pages[static_cast<std::size_t>(p - 1)] = page;
            if (!page) {
                allPages = false;
                continue;
            }
            values.SetGotoMode(*page, 1);
            if (const Component* name = page->FindComponent(qs(sheetLabelComponent(p)))) {
                std::string text = L;
                if (suffixedSheetLabels(layout.family)) {
                    text += '/';
                    text += static_cast<char>('a' + (p - 1));
                }
                values.Edit(*name).SetText(qs(text));
            }
            if (p == 1) {
                master = page->FindComponent(QStringLiteral("FontMasterDom"));
                masterX = page->FindComponent(QStringLiteral("FontMasterDomX"));
            }
        }
        if (pagesRequired(layout.family) && !allPages) {
            rep_.log.ScriviErrorLog("", 1, layout.missingPagesLog);
            outputFailed("Scheda " + L, "pagine del report " + R + " mancanti nel template \"" +
                                            project_.ProjectFile().toStdString() + "\"");
            return false;
        }
        // Widening and answer marks search every page; they need the whole report.
        const bool wholeReport = allPages;
        const auto findOnPages = [&](const QString& name) -> const Component* {
            for (int p = 0; p < pageCount; ++p) {
                if (const Page* page = pages[static_cast<std::size_t>(p)]) {
                    if (const Component* c = page->FindComponent(name))
                        return c;
                }
            }
            return nullptr;
        };
        const bool plain = usesPlainFigurePath(layout.family);
        const WideningOrder order = wideningOrder(layout.family);
        const QColor red = report::colorFromWindowsRgb(kHighlightRgb);

        const auto sheet = composer_.sheet(m);
        const int n_max = std::min(questionsPerSheet(m), static_cast<int>(sheet.size()));
        for (int n = 1; n <= n_max; ++n) {
            const compose::TDomandaPrint& slot = sheet[static_cast<std::size_t>(n - 1)];
            const Page* slotPage = pages[static_cast<std::size_t>(pageOfSlot(m, n) - 1)];
            const QString domanda = numbered("Domanda", n);
            const bool hasFigureName = !slot.Figura.empty();
            const bool figureNameBlank = trimBlanks(slot.Figura).empty();

            if (slotPage) {
                if (const Component* text = slotPage->FindComponent(domanda)) {
                    const std::size_t length = utf8Length(slot.Testo);
                    const bool longText =
                        hasFigureName ? length > kLongWithFigure : length > kLongWithoutFigure;
                    values.Edit(*text).SetFontMirror(longText ? masterX : master);
                }
            }

            project_.SetParam(domanda,
                              qs(layout.removeFirstTab ? withoutFirstTab(slot.Testo) : slot.Testo));
            project_.SetParam(numbered("Figura", n), qs(slot.Figura));
            project_.SetParam(numbered("Libro", n),
                              plain && !figureNameBlank ? qs("Figura " + slot.Figura) : QString());
            project_.SetParam(numbered("Risposta", n), qs(slot.Risposta));
            project_.SetParam(numbered("Blk_Dom_Arg", n), qs(slot.BlkDom + "/" + slot.Indice));

            if (plain && slotPage) {
                if (const Component* frame = slotPage->FindComponent(numbered("Rectangle", n)))
                    values.Edit(*frame).SetVisible(!figureNameBlank);
            }

            if (slotPage) {
                if (const Component* image = slotPage->FindComponent(numbered("Figura", n))) {
                    if (hasFigureName) {
                        placeFigure(m, layout, slot, *image);
                    } else {
                        values.Edit(*image).SetVisible(false);
                        const Component* stored = wholeReport ? findOnPages(domanda) : nullptr;
                        if (stored) {
                            Component& text = values.Edit(*stored);
                            const bool odd = n % 2 == 1;
                            if (odd && order == WideningOrder::LeftThenWidth)
                                text.SetLeft(kWidenedLeftInch);
                            text.SetWidth(text.Width() + kWideningInch);
                            if (odd && order == WideningOrder::WidthThenLeft)
                                text.SetLeft(kWidenedLeftInch);
                        }
                    }
                }
            }

            if (wholeReport) {
                const Component* mark = findOnPages(numbered("Risp", n));
                if (mark)
                    values.Edit(*mark).SetVisible(false);
                const bool isFalse = slot.Risposta == "F";
                if (sw.CkAddRispText && isFalse) {
                    if (const Component* stored = findOnPages(domanda)) {
                        project_.SetParam(domanda, qs(slot.Testo + " F"));
                        Component& text = values.Edit(*stored);
                        text.SetFontColor(red);
                        text.SetForeColor(red);
                    }
                }
                if (sw.CkRispVisible && isFalse && mark)
                    values.Edit(*mark).SetVisible(true);
            }
        }
        const auto reportFailure = [this, code, L, R, &layout](const std::string& error) {
            rep_.error(
                1, "FormStampe.StampaScheda" + code + " - ",
                std::string(layout.sheetMessagePrefix) + L + " (report: " + R + ")\r\nERRORE: ",
                error);
            outputFailed("Scheda " + L, error);
        };
        return runAndClose(reportFailure);
    } catch (const std::exception& e) {
        rep_.error(1, "FormStampe.StampaScheda" + code + " - ",
                   std::string(layout.sheetMessagePrefix) + L + " (report: " + R + ")\r\nERRORE: ",
                   e.what());
        outputFailed("Scheda " + L, e.what());
        return false;
    }
}

bool SheetPrinter::StampaCorrettore(int numCorr, int copies) {
    return StampaCorrettore(state_.currentCategory, numCorr, copies);
}

bool SheetPrinter::StampaCorrettore(TModalitaQuiz m, int numCorr, int copies) {
    if (!isWorkingCategory(m)) {
        rep_.error(
            1, "FormStampe.StampaCorrettore - ",
            "Problema di stampa del correttore\r\nERRORE: ", "nessuna categoria di quiz scelta");
        return false;
    }
    const SheetLayout& layout = sheetLayout(m);
    const std::string code(categoryCode(m));
    rep_.trace("TFormStampe.StampaCorrettore" + code + " (NumCorr " + std::to_string(numCorr) +
               ")");

    const Switches& sw = rep_.switches;
    std::string Q;
    std::string R;
    struct CloseOnExit {
        SheetPrinter& printer;
        ~CloseOnExit() { printer.closeTemplate(); }
    } closeOnExit{*this};
    try {
        std::vector<std::string> lines;
        std::vector<OutputQueue::ExtraFile> textFiles;
        const auto accumulator = composer_.keyAccumulator(m);
        Q = keyName(m, accumulator, numCorr);
        const std::string routine = "TFormStampe.StampaCorrettore" + code;
        setUpOutput(Q, sw.CkUnSoloCorrettore ? 1 : copies, false, routine);
        R = answerKeyReportName(m);
        if (!openTemplate(R, false)) {
            // Without its report no key is printed: say so, as for a sheet.
            const std::string file = project_.ProjectFile().toStdString();
            rep_.log.ScriviErrorLog(
                "", 1,
                routine + " - report " + R + " non disponibile nel template \"" + file + "\"");
            rep_.ui.messageBox(std::string(layout.keyMessagePrefix) + Q + ", report: " + R +
                               " non disponibile.\r\nFile: " + file);
            outputFailed("Correttore " + Q,
                         "report " + R + " non disponibile nel template \"" + file + "\"");
            return false;
        }

        const int K = sheetsPerKey(m);
        const std::size_t N = static_cast<std::size_t>(questionsPerSheet(m));
        report::RunValues& values = project_.Values();
        const Page* page = project_.FindPage(qs(R + ".Page1"));
        if (numCorr <= K && page) {
            const std::string_view partLetters = keyParts(m);
            const std::vector<char> parts =
                partLetters.empty() ? std::vector<char>{0}
                                    : std::vector<char>(partLetters.begin(), partLetters.end());
            for (int j = 1; j <= K; ++j) {
                if (j > numCorr) {
                    for (char p : parts) {
                        if (const Component* block =
                                page->FindComponent(qs(keyBlockComponent(j, p))))
                            values.Edit(*block).SetVisible(false);
                    }
                    continue;
                }
                const std::size_t base = static_cast<std::size_t>(j - 1) * N;
                if (base + N > accumulator.size())
                    break;
                const std::string& blockLabel = accumulator[base].Scheda;
                for (char p : parts) {
                    const Component* block = page->FindComponent(qs(keyBlockComponent(j, p)));
                    if (!block)
                        continue;
                    values.Edit(*block).SetVisible(true);
                    if (const Component* name = page->FindComponent(qs(keyLabelComponent(j, p)))) {
                        std::string text = blockLabel;
                        if (p != 0) {
                            text += '/';
                            text += p;
                        }
                        values.Edit(*name).SetText(qs(text));
                    }
                }
                for (std::size_t i = 1; i <= N; ++i) {
                    const compose::TCorrettPrint& entry = accumulator[base + i - 1];
                    lines.push_back(keyTextLine(entry, static_cast<int>(i)));
                    if (const Component* mark =
                            page->FindComponent(qs(keyMarkComponent(j, static_cast<int>(i))))) {
                        values.Edit(*mark).SetVisible(trimBlanks(entry.Risposta) == "F");
                    }
                }
                lines.emplace_back(kKeyBlockSeparator);
            }
            if (sw.CkSaveCorrTxt) {
                textFiles.push_back({outputPath(state_.programFolder + Q, ".txt", routine),
                                     keyTextFileBytes(lines)});
            }
        }
        const auto reportFailure = [this, code, Q, R, &layout](const std::string& error) {
            rep_.error(
                1, "FormStampe.StampaCorrettore" + code + " - ",
                std::string(layout.keyMessagePrefix) + Q + " (report: " + R + ")\r\nERRORE: ",
                error);
            outputFailed("Correttore " + Q, error);
        };
        return runAndClose(reportFailure, OutputQueue::Role::AnswerKey, std::move(textFiles));
    } catch (const std::exception& e) {
        rep_.error(1, "FormStampe.StampaCorrettore" + code + " - ",
                   std::string(layout.keyMessagePrefix) + Q + " (report: " + R + ")\r\nERRORE: ",
                   e.what());
        outputFailed("Correttore " + Q, e.what());
        return false;
    }
}

}  // namespace vexora::print
