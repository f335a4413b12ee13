#include "batch_options.h"

#include <charconv>
#include <stdexcept>

namespace vexora::batch {
namespace {

int parseCount(const std::string& option, const std::string& text, int min, int max) {
    int value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || ptr != text.data() + text.size() || value < min || value > max) {
        throw std::invalid_argument(option + " vuole un numero intero da " + std::to_string(min) +
                                    " a " + std::to_string(max) + ", non \"" + text + "\"");
    }
    return value;
}

std::vector<int> parseTopics(const std::string& text) {
    std::vector<int> out;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = text.find(',', start);
        const std::string item =
            text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        out.push_back(parseCount("--topics", item, 1, 1000));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return out;
}

}  // namespace

BatchOptions parseBatchOptions(const std::vector<std::string>& args) {
    BatchOptions o;
    bool haveCategory = false;
    bool haveKind = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size())
                throw std::invalid_argument(a + " vuole un valore");
            return args[++i];
        };
        if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--folder") {
            o.folder = value();
        } else if (a == "--category") {
            const std::string& code = value();
            const auto m = categoryFromCode(code);
            if (!m) {
                throw std::invalid_argument("categoria sconosciuta \"" + code +
                                            "\" (codici: AB, AM, S1..S7, C1..C5)");
            }
            o.category = *m;
            haveCategory = true;
        } else if (a == "--kind") {
            const std::string& k = value();
            if (k == "esame") {
                o.kind = tdsEsame;
            } else if (k == "argomento") {
                o.kind = tdsArgomento;
            } else {
                throw std::invalid_argument("--kind vuole esame o argomento, non \"" + k + "\"");
            }
            haveKind = true;
        } else if (a == "--topics") {
            o.topics = parseTopics(value());
        } else if (a == "--sheets") {
            o.sheets = parseCount(a, value(), 0, 600);
        } else if (a == "--copies") {
            o.copies = parseCount(a, value(), 1, 999);
        } else if (a == "--pdf") {
            o.pdf = true;
        } else if (a == "--printer") {
            o.printer = value();
        } else if (a == "--key-text") {
            o.keyText = true;
        } else if (a == "--seed") {
            o.seed = static_cast<std::uint32_t>(parseCount(a, value(), 0, 2147483647));
        } else {
            throw std::invalid_argument("opzione sconosciuta \"" + a + "\"");
        }
    }
    if (o.help)
        return o;
    if (!haveCategory)
        throw std::invalid_argument("manca --category");
    if (!haveKind)
        throw std::invalid_argument("manca --kind");
    if (o.pdf && o.printer)
        throw std::invalid_argument("--pdf e --printer si escludono");
    if (o.kind == tdsArgomento && o.topics.empty()) {
        throw std::invalid_argument("--kind argomento vuole --topics");
    }
    if (o.kind == tdsEsame && !o.topics.empty()) {
        throw std::invalid_argument("--topics vale solo con --kind argomento");
    }
    return o;
}

std::string batchUsage() {
    return R"(Uso: vexora-batch [--folder DIR] --category CODICE --kind esame|argomento
                   [--topics 1,4,5] [--sheets N] [--copies N] [--pdf | --printer NOME]
                   [--key-text] [--seed N]

Stampa schede quiz e correttori senza finestre, come il programma Vexora.

  --folder DIR       cartella del programma: impostazioni (Vexora.ini), dati, modello
                     di stampa (Vexora.rav), file PDF e di testo prodotti, ErrorLog.
                     Predefinita: la cartella di vexora-batch.
  --category CODICE  categoria: AB, AM, S1..S7 (patenti superiori), C1..C5 (CQC).
  --kind esame       schede tipo esame (piano dei capitoli fisso);
  --kind argomento   schede per argomento: richiede --topics.
  --topics LISTA     posizioni degli argomenti nella lista (da 1), separate da virgole.
  --sheets N         numero di schede (0..600, predefinito 1).
  --copies N         copie di ogni scheda (1..999, predefinito 1).
  --pdf              solo per questa esecuzione: file PDF invece della stampante.
  --printer NOME     solo per questa esecuzione: questa stampante.
                     Senza --pdf e --printer decidono le impostazioni.
  --key-text         solo per questa esecuzione: salva anche i correttori come testo.
  --seed N           seme del generatore casuale (per ripetere una scelta).
  --help             questo testo.

Le opzioni di una esecuzione non vengono mai scritte nelle impostazioni; i contatori
delle schede e lo storico delle stampe si aggiornano come nel programma.
Ctrl+C interrompe come il pulsante "Interrompi".

Uscita: 0 tutte le schede stampate; 3 alcune schede non stampate, esecuzione
interrotta, o storico delle stampe o contatori (Vexora.ini) non salvati; 1 nessuna
scheda stampata o categoria non apribile; 2 errore d'uso.

Esempio:
  vexora-batch --folder /srv/vexora --category AB --kind esame --sheets 8 --pdf --key-text
  vexora-batch --category C1 --kind argomento --topics 1,2,3,4 --sheets 4 --copies 2
)";
}

}  // namespace vexora::batch
