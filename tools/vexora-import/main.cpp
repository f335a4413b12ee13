// vexora-import: turns a CSV question list into a category's master file and topic list
// (and, with --export, a category's data into such a list).

#include <QGuiApplication>

#include <cstdio>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/catalogue.h"
#include "core/file_util.h"
#include "core/folder_lock.h"
#include "core/platform.h"
#include "print/question_import.h"

namespace {

using namespace vexora;
namespace fs = std::filesystem;

enum ExitCode { kDone = 0, kFailed = 1, kUsage = 2 };

constexpr const char* kUsageText =
    "uso: vexora-import --folder CARTELLA --category CAT FILE.csv [--figures IMMAGINI] [--check]\n"
    "     vexora-import --export --folder CARTELLA --category CAT FILE.csv\n"
    "\n"
    "Importa un elenco di domande vero/falso (CSV con intestazione: Testo, Risposta,\n"
    "Capitolo; facoltative Id, Figura, Argomento, Indice, Libro1, Libro2, Difficolta,\n"
    "Blocco, Domanda) nel master e nella lista argomenti della categoria CAT (AB, AM,\n"
    "S1..S7, C1..C5) della cartella del programma. Si scrive solo se l'intero file è\n"
    "valido; ogni file è sostituito in modo atomico e lo storico di stampa è allineato\n"
    "al nuovo master (le marcature delle domande rimaste si conservano per Id).\n"
    "\n"
    "  --folder CARTELLA   cartella del programma (Vexora.ini, file delle categorie)\n"
    "  --category CAT      categoria da importare o esportare\n"
    "  --figures IMMAGINI  copia le figure nominate (BMP, PNG, GIF, JPEG) nella\n"
    "                      cartella delle figure (Paths/Figure di Vexora.ini) come BMP\n"
    "  --check             controlla e riferisce senza scrivere nulla\n"
    "  --export            scrive FILE.csv dal master e dalla lista argomenti\n"
    "\n"
    "Uscita: 0 fatto (o file valido con --check), 1 file con errori o non scritto,\n"
    "cartella in uso da un altro programma Vexora, 2 errore d'uso.\n";

struct Options {
    std::string folder;
    std::optional<TModalitaQuiz> category;
    std::string csvFile;
    std::string pictures;
    bool check = false;
    bool exportList = false;
    bool help = false;
};

std::optional<Options> parse(const std::vector<std::string>& args, std::string& why) {
    Options o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const auto value = [&](const char* name) -> std::optional<std::string> {
            if (i + 1 >= args.size()) {
                why = std::string(name) + " vuole un valore";
                return std::nullopt;
            }
            return args[++i];
        };
        if (a == "-h" || a == "--help") {
            o.help = true;
        } else if (a == "--folder") {
            const auto v = value("--folder");
            if (!v)
                return std::nullopt;
            o.folder = *v;
        } else if (a == "--category") {
            const auto v = value("--category");
            if (!v)
                return std::nullopt;
            o.category = categoryFromCode(*v);
            if (!o.category) {
                why = "categoria sconosciuta: " + *v + " (AB, AM, S1..S7, C1..C5)";
                return std::nullopt;
            }
        } else if (a == "--figures") {
            const auto v = value("--figures");
            if (!v)
                return std::nullopt;
            o.pictures = *v;
        } else if (a == "--check") {
            o.check = true;
        } else if (a == "--export") {
            o.exportList = true;
        } else if (a.starts_with("-") && a != "-") {
            why = "opzione sconosciuta: " + a;
            return std::nullopt;
        } else if (o.csvFile.empty()) {
            o.csvFile = a;
        } else {
            why = "un solo file CSV, non anche " + a;
            return std::nullopt;
        }
    }
    if (o.help)
        return o;
    if (o.folder.empty() || !o.category || o.csvFile.empty()) {
        why = "servono --folder, --category e il file CSV";
        return std::nullopt;
    }
    if (o.exportList && (o.check || !o.pictures.empty())) {
        why = "--export non si combina con --check o --figures";
        return std::nullopt;
    }
    return o;
}

int run(const Options& opt, int argc, char** argv) {
    const std::string folder = withTrailingSeparator(fs::absolute(opt.folder).string());
    if (!fs::is_directory(pathFromUtf8(folder))) {
        std::fprintf(stderr, "vexora-import: la cartella %s non esiste\n", folder.c_str());
        return kUsage;
    }
    if (opt.exportList) {
        const std::size_t n = importer::exportQuestionList(folder, *opt.category, opt.csvFile);
        std::printf("Esportate %zu domande della categoria %s in %s\n", n,
                    std::string(displayName(*opt.category)).c_str(), opt.csvFile.c_str());
        return kDone;
    }

    // The lock first: a program running on the folder may be about to save the history.
    std::optional<FolderLock> lock;
    if (!opt.check) {
        lock.emplace(folder);
        if (lock->state() == FolderLock::State::InUse) {
            std::fprintf(stderr, "vexora-import: %s\n", lock->refusalMessage().c_str());
            return kFailed;
        }
        if (lock->state() == FolderLock::State::Unavailable) {
            std::fprintf(stderr,
                         "vexora-import: impossibile scrivere nella cartella %s (%s); non è "
                         "stato scritto nulla\n",
                         folder.c_str(), lock->detail().c_str());
            return kFailed;
        }
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    print::ImportRequest request;
    request.folder = folder;
    request.category = *opt.category;
    request.csvFile = opt.csvFile;
    request.picturesFolder = opt.pictures;
    request.figuresFolder = print::figuresFolderOf(folder);
    const importer::QuestionList list = print::prepareImport(request);
    std::fputs(importer::formatReport(list).c_str(), stdout);
    if (!list.ok())
        return kFailed;
    if (opt.check)
        return kDone;
    const print::ImportOutcome outcome = print::commitImport(request, list);
    std::printf("%s\n", print::outcomeSummary(list, outcome).c_str());
    return kDone;
}

}  // namespace

int main(int argc, char** argv) {
    std::string why;
    const auto opt = parse(std::vector<std::string>(argv + 1, argv + argc), why);
    if (!opt) {
        std::fprintf(stderr, "vexora-import: %s\n\n%s", why.c_str(), kUsageText);
        return kUsage;
    }
    if (opt->help) {
        std::fputs(kUsageText, stdout);
        return kDone;
    }
    try {
        return run(*opt, argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "vexora-import: %s\n", e.what());
        return kFailed;
    }
}
