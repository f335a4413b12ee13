#include "print/question_import.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QString>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <filesystem>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "core/file_util.h"
#include "core/program_state.h"
#include "data/table_file.h"
#include "settings/ini_file.h"
#include "settings/settings_keys.h"

namespace vexora::print {
namespace {

namespace fs = std::filesystem;

QString qPath(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

bool isBmpName(const std::string& path) {
    std::string ext = fs::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".bmp";
}

// Larger pictures are refused: a figure is printed at 256 x 256 pixels.
constexpr int kMaxPictureSide = 8192;

// Why a picture cannot be read, or empty when it can.
std::string pictureProblem(const std::string& source) {
    QImageReader reader(qPath(source));
    reader.setDecideFormatFromContent(true);
    if (!reader.canRead())
        return "non è un'immagine BMP, PNG, GIF o JPEG leggibile";
    const QSize size = reader.size();
    if (size.isValid() && (size.width() > kMaxPictureSide || size.height() > kMaxPictureSide))
        return "è troppo grande (" + std::to_string(size.width()) + " x " +
               std::to_string(size.height()) + " pixel)";
    return {};
}

void writeFigures(const ImportRequest& request, const importer::QuestionList& list,
                  ImportOutcome& outcome) {
    if (list.figures.empty())
        return;
    {
        std::error_code ec;
        fs::create_directories(pathFromUtf8(request.figuresFolder), ec);
        if (!fs::is_directory(pathFromUtf8(request.figuresFolder)))
            throw importer::ImportError("Impossibile creare la cartella delle figure " +
                                        request.figuresFolder +
                                        (ec ? ": " + ec.message() : std::string()));
        std::atomic<std::size_t> next{0};
        std::atomic<std::size_t> written{0};
        std::mutex failureMutex;
        std::string failure;
        const auto work = [&] {
            for (std::size_t i; (i = next++) < list.figures.size();) {
                {
                    const std::lock_guard lock(failureMutex);
                    if (!failure.empty())
                        return;
                }
                const importer::FigureCopy& f = list.figures[i];
                std::string why;
                if (writeFigureAsBmp(f.source, request.figuresFolder + f.target, &why)) {
                    ++written;
                } else {
                    const std::lock_guard lock(failureMutex);
                    if (failure.empty())
                        failure = why;
                }
            }
        };
        // Each figure waits for its own sync to disk: more workers than cores keep the
        // disk busy while others decode.
        std::vector<std::thread> helpers;
        const std::size_t workers = std::min<std::size_t>(7, list.figures.size() - 1);
        for (std::size_t w = 0; w < workers; ++w)
            helpers.emplace_back(work);
        work();
        for (std::thread& t : helpers)
            t.join();
        outcome.figuresWritten = written;
        if (!failure.empty())
            throw importer::ImportError("Impossibile scrivere una figura: " + failure);
    }
}

}  // namespace

std::string figuresFolderOf(const std::string& programFolder) {
    const settings::IniFile ini(programFolder + "Vexora.ini");
    const settings::SettingKey& key = settings::settingsTable().figuresFolder;
    return ini.readString(key.section, key.key, defaultFiguresFolder());
}

bool writeFigureAsBmp(const std::string& source, const std::string& target, std::string* why) {
    QImageReader reader(qPath(source));
    reader.setDecideFormatFromContent(true);
    if (isBmpName(source) && reader.format() == "bmp") {
        if (copyFileReplacing(source, target))
            return true;
        if (why)
            *why = "impossibile copiare " + source + " in " + target;
        return false;
    }
    QImage image;
    if (!reader.read(&image)) {
        if (why)
            *why = source + ": " + reader.errorString().toStdString();
        return false;
    }
    QImage rgb(image.size(), QImage::Format_RGB888);
    if (image.hasAlphaChannel()) {
        rgb.fill(Qt::white);
        QPainter p(&rgb);
        p.drawImage(0, 0, image);
    } else {
        rgb = image.convertToFormat(QImage::Format_RGB888);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!rgb.save(&buffer, "BMP")) {
        if (why)
            *why = "impossibile convertire " + source + " in BMP";
        return false;
    }
    return writeFileAtomically(
        target, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())), why);
}

importer::QuestionList prepareImport(const ImportRequest& request) {
    importer::FigureSources sources;
    sources.picturesFolder = request.picturesFolder;
    sources.figuresFolder = request.figuresFolder;
    importer::QuestionList list =
        importer::readQuestionListFile(request.csvFile, request.category, sources);
    for (const importer::FigureCopy& f : list.figures) {
        const std::string problem = pictureProblem(f.source);
        if (!problem.empty())
            list.errors.push_back(
                {0, 0, {}, "la figura " + f.figure + " (" + f.source + ") " + problem});
    }
    if (!list.ok()) {
        list.master.rows.clear();
        list.figures.clear();
    }
    return list;
}

ImportOutcome commitImport(const ImportRequest& request, const importer::QuestionList& list) {
    if (!list.ok())
        throw importer::ImportError("L'elenco " + list.fileName +
                                    " ha errori: non si scrive nulla");
    ImportOutcome outcome;
    // The history is read before anything is written, so that a history that cannot be
    // read leaves it alone rather than half an import behind.
    const std::string historyFile = request.folder + std::string(printHistoryFile(list.category));
    std::optional<data::TableData> history;
    if (fs::exists(pathFromUtf8(historyFile))) {
        try {
            history = data::loadTableFile(historyFile);
            outcome.history = data::alignHistoryWithMaster(list.master, *history);
        } catch (const std::exception& e) {
            history.reset();
            outcome.history = {};
            outcome.historyProblem = e.what();
        }
    }
    writeFigures(request, list, outcome);
    importer::writeCategoryData(request.folder, list);
    if (history && outcome.history.changed()) {
        try {
            data::saveTableFile(historyFile, *history);
        } catch (const std::exception& e) {
            outcome.historyProblem = e.what();
        }
    }
    return outcome;
}

std::string outcomeSummary(const importer::QuestionList& list, const ImportOutcome& outcome) {
    std::string s = "Importate " + std::to_string(list.master.rows.size()) + " domande e " +
                    std::to_string(list.topics.size()) + " argomenti nella categoria " +
                    std::string(displayName(list.category));
    if (outcome.figuresWritten > 0)
        s += "; " + std::to_string(outcome.figuresWritten) + " figure scritte";
    s += ".";
    if (outcome.history.changed())
        s += " Storico di stampa: " + std::to_string(outcome.history.added) + " domande nuove, " +
             std::to_string(outcome.history.dropped) + " tolte, " +
             std::to_string(outcome.history.updated) +
             " aggiornate (le marcature delle domande rimaste sono conservate).";
    if (!outcome.historyProblem.empty())
        s += " Lo storico di stampa non è stato toccato: " + outcome.historyProblem;
    return s;
}

}  // namespace vexora::print
