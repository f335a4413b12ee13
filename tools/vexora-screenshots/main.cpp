// vexora-screenshots FOLDER OUTDIR: starts the window program on FOLDER (a program folder
// with sample data and the template), walks the wizard as a user would and writes
// page1.png, page2.png, page3.png, progress.png, the options window's three tabs
// (options-*.png) and page 1 of a category whose master is missing (page1-problem.png)
// into OUTDIR.
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QTimer>

#include <cstdio>
#include <string>

#include "app/program.h"
#include "core/platform.h"

namespace {

bool save(QWidget& w, const QString& path) {
    QCoreApplication::processEvents();
    const bool ok = w.grab().save(path);
    std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(path));
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "uso: vexora-screenshots CARTELLA CARTELLA_IMMAGINI\n");
        return 2;
    }
    vexora::app::VexoraApplication app(argc, argv);
    const QString out = QString::fromLocal8Bit(argv[2]);
    QDir().mkpath(out);
    vexora::app::Program program(vexora::withTrailingSeparator(argv[1]), 2016u);
    program.interaction().setAnswerer([](bool, const std::string& text) {
        std::fprintf(stderr, "messaggio: %s\n", text.c_str());
        return true;
    });
    auto& w = program.mainWindow();
    w.show();
    QCoreApplication::processEvents();
    bool ok = true;

    // Page 1 with a higher-licence category chosen from the listato.
    w.groupButton(vexora::CategoryGroup::SUP)->click();
    w.CbListatiQuiz()->setCurrentIndex(2);
    w.CbListatiQuizChange();
    ok = save(w, out + "/page1.png") && ok;

    w.groupButton(vexora::CategoryGroup::AB)->click();
    w.BtTipoArgom()->click();
    for (int row : {0, 3, 4, 9})
        w.LbArgomenti()->item(row)->setSelected(true);
    ok = save(w, out + "/page2.png") && ok;
    w.BtAvanti()->click();
    w.SeSchede()->setText(QStringLiteral("3"));
    w.SeCopie()->setText(QStringLiteral("2"));
    ok = save(w, out + "/page3.png") && ok;

    // The progress window, caught in the middle of a run to PDF.
    program.switches().CkStampaSuPdf = true;
    bool progressSaved = false;
    QTimer grabber;
    grabber.setInterval(50);
    QObject::connect(&grabber, &QTimer::timeout, [&] {
        auto& p = program.progressWindow();
        if (!progressSaved && p.isVisible() && p.ProgressBarTot()->value() >= 15) {
            progressSaved = save(p, out + "/progress.png");
        }
    });
    grabber.start();
    w.BtPrint()->click();
    grabber.stop();
    ok = progressSaved && ok;
    // The three tabs of the options window.
    program.switches().CkStampaSuPdf = false;
    w.LOpzioniClick();
    auto& o = program.optionsWindow();
    const char* names[] = {"options-programma.png", "options-schede.png", "options-avanzate.png"};
    for (int tab = 0; tab < 3; ++tab) {
        o.PcOpzioni()->setCurrentIndex(tab);
        ok = save(o, out + "/" + names[tab]) && ok;
    }
    o.BtAnnullaClick();

    // Page 1 when a category's data is missing: the line that says which file and where.
    QFile::remove(QDir(QString::fromLocal8Bit(argv[1])).filePath(QStringLiteral("CQM2015.QXD")));
    w.groupButton(vexora::CategoryGroup::AM)->click();
    ok = save(w, out + "/page1-problem.png") && ok;
    w.close();
    return ok ? 0 : 1;
}
