#pragma once

// A question list shaped like the ministerial AB list, made by the tests and the
// benchmark: Italian accents, quotes and both separators inside texts, doubled blanks,
// figures named on some rows and written as PNG files.

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QString>

#include <filesystem>
#include <string>
#include <vector>

#include "compose/plans.h"
#include "importer/csv_file.h"

namespace vexora::test {

struct RealisticList {
    std::string csv;
    std::vector<std::string> figures;  // distinct figure names, in first use
    int rows = 0;
    int tidiedTexts = 0;  // texts the import must tidy
};

inline RealisticList makeRealisticList(int rows, int figureCount, char sep = ';') {
    static const char* const kPhrases[] = {
        "Il segnale raffigurato è posto in prossimità di un incrocio",
        "Si può sorpassare a destra, se il veicolo che precede segnala di voltare a sinistra",
        "È vietato fermarsi sulle strisce pedonali; è consentito però scendere dal veicolo",
        "Il conducente deve dare la precedenza ai veicoli che provengono da destra",
        "La velocità massima consentita è di 130 km/h, salvo diversa indicazione",
        "Il cartello \"STOP\" obbliga a fermarsi e a dare la precedenza",
        "Con l'asfalto bagnato lo spazio di frenatura aumenta: più attenzione alle curve",
        "In caso di nebbia fitta è opportuno accendere i proiettori fendinebbia, ove presenti",
    };
    const auto chapters = compose::examChapters(mqAB);
    std::vector<std::string> distinct(chapters.begin(), chapters.end());
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());

    RealisticList out;
    out.rows = rows;
    for (int f = 1; f <= figureCount; ++f)
        out.figures.push_back(std::to_string(100 + f));
    const auto field = [&](const std::string& s) { return importer::csvField(s, sep); };
    out.csv = "\xEF\xBB\xBF";
    out.csv += std::string("Id") + sep + "Testo" + sep + "Risposta" + sep + "Capitolo" + sep +
               "Argomento" + sep + "Figura" + sep + "Libro1" + sep + "Difficolta\r\n";
    std::size_t nextFigure = 0;
    for (int i = 0; i < rows; ++i) {
        const std::string& chapter = distinct[static_cast<std::size_t>(i) % distinct.size()];
        std::string text = kPhrases[i % 8];
        text += i % 3 ? ", domanda n° " : "; quesito «";
        text += std::to_string(i + 1) + (i % 3 ? "" : "»") + ".";
        if (i % 97 == 0) {
            text = "  " + text + "  fine ";  // blanks the import removes
            ++out.tidiedTexts;
        }
        if (i % 211 == 0)
            text.insert(text.find(' '), "\n");  // a cell with a line break
        if (i % 211 == 0 && i % 97 != 0)
            ++out.tidiedTexts;
        const int topic = (i / 7) % 31;
        const std::string title = "Argomento " + std::to_string(topic + 1) + ": segnali, " +
                                  "precedenze; \"norme\" di comportamento e velocità";
        std::string figure;
        if (figureCount > 0 && i % 17 == 0)
            figure = out.figures[nextFigure++ % out.figures.size()];
        out.csv += std::to_string(i + 1) + sep + field(text) + sep + (i % 2 ? "Vero" : "f") + sep +
                   chapter + sep + field(title) + sep + figure + sep +
                   field("pag. " + std::to_string(i % 300)) + sep + std::to_string(1 + i % 3) +
                   "\r\n";
    }
    return out;
}

// One PNG per figure name, with transparency and a drawn shape.
inline void writePngFigures(const std::filesystem::path& folder,
                            const std::vector<std::string>& names, int side = 160) {
    std::filesystem::create_directories(folder);
    for (std::size_t i = 0; i < names.size(); ++i) {
        QImage img(side, side * 3 / 4, QImage::Format_ARGB32);
        img.fill(Qt::transparent);
        QPainter p(&img);
        p.setBrush(QColor::fromHsv(static_cast<int>(i * 37 % 360), 200, 220));
        p.drawEllipse(8, 8, side - 16, side * 3 / 4 - 16);
        p.end();
        img.save(QString::fromStdString((folder / (names[i] + ".png")).string()), "PNG");
    }
}

}  // namespace vexora::test
