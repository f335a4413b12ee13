#include "importer/question_list.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <system_error>
#include <unordered_map>

#include "compose/plans.h"
#include "core/codepage.h"
#include "core/file_util.h"
#include "data/table_file.h"
#include "data/table_values.h"
#include "settings/xml_ini.h"

namespace vexora::importer {
namespace {

namespace fs = std::filesystem;
using data::FieldDef;
using data::FieldType;
using data::Value;

// The columns a list may have; the first three are required.
enum Column : std::size_t {
    cTesto,
    cRisposta,
    cCapitolo,
    cId,
    cFigura,
    cArgomento,
    cIndice,
    cLibro1,
    cLibro2,
    cDifficolta,
    cBlocco,
    cDomanda,
    kColumnCount
};
constexpr std::array<std::string_view, kColumnCount> kColumnNames = {
    "Testo",  "Risposta", "Capitolo", "Id",         "Figura", "Argomento",
    "Indice", "Libro1",   "Libro2",   "Difficolta", "Blocco", "Domanda"};
constexpr std::size_t kRequiredColumns = 3;

// Master columns, in the order importedMasterFields() gives them.
enum MasterColumn : std::size_t {
    mId,
    mTesto,
    mRisposta,
    mFigura,
    mLibro1,
    mLibro2,
    mBlocco,
    mDomanda,
    mIndice,
    mCapitolo,
    mDifficolta,
    kMasterColumnCount
};

std::string quote(std::string_view s) {
    return "\u00ab" + std::string(s) + "\u00bb";
}

std::string asciiLower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string_view trimmed(std::string_view s) {
    const auto b = s.find_first_not_of(" \t");
    if (b == std::string_view::npos)
        return {};
    const auto e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}

// A header name as matched: trimmed, lower case, "à" read as "a" (Difficoltà).
std::string headerKey(std::string_view name) {
    std::string s = asciiLower(trimmed(name));
    for (std::size_t at; (at = s.find("\u00e0")) != std::string::npos;)
        s.replace(at, 2, "a");
    return s;
}

std::string hex4(long cp) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "U+%04lX", static_cast<unsigned long>(cp) & 0x1FFFFFul);
    return buf;
}

// The first character of a text the master's single-byte code page cannot hold, described.
std::optional<std::string> badCharacter(std::string_view s) {
    for (std::size_t pos = 0; pos < s.size();) {
        const std::size_t start = pos;
        const long cp = decodeUtf8(s, pos);
        if (cp == '\t' || (cp >= 0x20 && cp < 0x7F) || (cp >= 0xA0 && cp <= 0xFF))
            continue;
        if (cp < 0)
            return std::string("un byte non valido");
        if (cp >= 0x80 && cp <= 0x9F)
            return "il carattere di controllo " + hex4(cp) +
                   " (testo convertito con la codifica sbagliata: in Windows-1252 sarebbe " +
                   quote(cp1252ToUtf8(std::string(1, static_cast<char>(cp)))) + ")";
        if (cp < 0x20 || cp == 0x7F)
            return "il carattere di controllo " + hex4(cp);
        const std::string ch(s.substr(start, pos - start));
        if (!fitsCp1252(ch))
            return "il carattere " + quote(ch) + " (" + hex4(cp) +
                   ") che la codifica Windows-1252 del master non ha";
    }
    return std::nullopt;
}

// Line breaks become blanks; blanks at both ends and doubled blanks go. True when the
// text changed.
bool tidyText(std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < s.size() && s[i + 1] == '\n')
                ++i;
            c = ' ';
        }
        if (c == ' ' && (out.empty() || out.back() == ' '))
            continue;
        out.push_back(c);
    }
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    const bool changed = out != s;
    s = std::move(out);
    return changed;
}

std::optional<std::int64_t> parseInteger(std::string_view s, std::int64_t lo, std::int64_t hi) {
    std::int64_t v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size() || v < lo || v > hi)
        return std::nullopt;
    return v;
}

std::optional<bool> parseAnswer(std::string_view s) {
    const std::string k = asciiLower(trimmed(s));
    if (k == "v" || k == "vero" || k == "1" || k == "true")
        return true;
    if (k == "f" || k == "falso" || k == "0" || k == "false")
        return false;
    return std::nullopt;
}

std::string twoDigits(int n) {
    return n < 10 ? "0" + std::to_string(n) : std::to_string(n);
}

bool validFigureName(std::string_view f) {
    if (f == "." || f == "..")
        return false;
    return f.find_first_of("/\\:*?\"<>|") == std::string_view::npos;
}

// "righe 5, 17, 230 e altre 4"
std::string lineList(const std::vector<int>& lines) {
    std::string s = lines.size() == 1 ? "riga " : "righe ";
    const std::size_t shown = std::min<std::size_t>(lines.size(), 5);
    for (std::size_t i = 0; i < shown; ++i)
        s += (i ? ", " : "") + std::to_string(lines[i]);
    if (lines.size() > shown)
        s += " e altre " + std::to_string(lines.size() - shown);
    return s;
}

FieldDef stringField(std::string name, int width, int prefix = 0) {
    FieldDef f;
    f.name = std::move(name);
    f.type = FieldType::String;
    f.size = width;
    f.prefixSize = prefix;
    return f;
}

// Which figure files a figure name has: the name, and for S1..C5 from 800 up the "n"
// variant the renderers prefer.
std::vector<std::string> figureStems(TModalitaQuiz m, const std::string& figure) {
    std::vector<std::string> stems{figure};
    if (m != mqAB && m != mqAM) {
        int number = 0;
        const auto [end, ec] =
            std::from_chars(figure.data(), figure.data() + figure.size(), number);
        if (ec == std::errc() && end == figure.data() + figure.size() && number >= 800)
            stems.insert(stems.begin(), figure + "n");
    }
    return stems;
}

class ListReader {
public:
    ListReader(QuestionList& out, const FigureSources& sources) : out_(out), sources_(sources) {}

    void read(std::string_view bytes) {
        std::string why;
        const auto text = decodeListBytes(bytes, &why);
        if (!text) {
            error(0, -1, why);
            return;
        }
        out_.encoding = text->encoding;
        const CsvText csv = parseCsv(text->utf8);
        out_.separator = csv.separator;
        if (csv.header.fields.empty() && !csv.fault) {
            error(0, -1, "il file non contiene righe");
            return;
        }
        if (!readHeader(csv.header))
            return;
        out_.idsAssigned = !has(cId);
        for (const CsvRecord& r : csv.records)
            readRecord(r);
        if (csv.fault)
            error(csv.faultLine, -1, *csv.fault + "; il resto del file non è stato letto");
        if (csv.records.empty() && !csv.fault)
            error(0, -1, "il file non contiene domande (solo l'intestazione)");
        finish();
    }

private:
    void error(int line, int column, std::string text) {
        push(out_.errors, line, column, std::move(text));
    }
    void warning(int line, int column, std::string text) {
        push(out_.warnings, line, column, std::move(text));
    }
    void push(std::vector<Issue>& to, int line, int column, std::string text) {
        Issue i;
        i.line = line;
        if (column >= 0) {
            i.column = static_cast<int>(columnIndex_[static_cast<std::size_t>(column)]) + 1;
            i.columnName = std::string(kColumnNames[static_cast<std::size_t>(column)]);
        }
        i.text = std::move(text);
        to.push_back(std::move(i));
    }

    bool readHeader(const CsvRecord& header) {
        columnIndex_.fill(kAbsent);
        headerSize_ = header.fieldCount;
        if (header.fieldCount > kMaxColumns) {
            error(header.line, -1,
                  "l'intestazione ha " + std::to_string(header.fieldCount) +
                      " colonne: non sembra l'intestazione di un elenco di domande");
            return false;
        }
        for (std::size_t j = 0; j < header.fields.size(); ++j) {
            const std::string key = headerKey(header.fields[j]);
            std::size_t c = 0;
            while (c < kColumnCount && asciiLower(kColumnNames[c]) != key)
                ++c;
            if (c == kColumnCount) {
                if (!key.empty())
                    warning(header.line, -1,
                            "la colonna " + std::to_string(j + 1) + " " +
                                quote(std::string(trimmed(header.fields[j]))) +
                                " non è tra quelle conosciute ed è ignorata");
                continue;
            }
            if (columnIndex_[c] != kAbsent) {
                error(header.line, -1,
                      "la colonna " + std::string(kColumnNames[c]) +
                          " compare due volte (colonne " + std::to_string(columnIndex_[c] + 1) +
                          " e " + std::to_string(j + 1) + ")");
                continue;
            }
            columnIndex_[c] = j;
        }
        std::string missing;
        for (std::size_t c = 0; c < kRequiredColumns; ++c)
            if (columnIndex_[c] == kAbsent)
                missing += (missing.empty() ? "" : ", ") + std::string(kColumnNames[c]);
        if (!missing.empty()) {
            error(header.line, -1,
                  "l'intestazione non ha le colonne richieste: " + missing +
                      " (servono Testo, Risposta e Capitolo; separatore \";\" o \",\")");
            return false;
        }
        return out_.errors.empty();
    }

    bool has(Column c) const { return columnIndex_[c] != kAbsent; }
    std::string cell(const CsvRecord& r, Column c) const {
        return has(c) ? r.fields[columnIndex_[c]] : std::string();
    }

    // A short code or reference: trimmed, within its width, in the code page.
    bool codeCell(const CsvRecord& r, Column c, int width, std::string& value) {
        value = std::string(trimmed(cell(r, c)));
        const std::string name(kColumnNames[c]);
        if (const auto bad = badCharacter(value)) {
            error(r.line, c, "contiene " + *bad);
            return false;
        }
        if (utf8Length(value) > static_cast<std::size_t>(width)) {
            error(r.line, c,
                  quote(value) + " è lungo " + std::to_string(utf8Length(value)) +
                      " caratteri: la colonna " + name + " del master ne contiene al massimo " +
                      std::to_string(width));
            return false;
        }
        return true;
    }

    void readRecord(const CsvRecord& r) {
        if (r.fieldCount != headerSize_) {
            error(
                r.line, -1,
                "la riga ha " + std::to_string(r.fieldCount) + " campi, l'intestazione " +
                    std::to_string(headerSize_) +
                    (r.fieldCount > headerSize_ ? " (un testo con il separatore va tra virgolette)"
                                                : ""));
            return;
        }
        bool good = true;
        Row row;
        row.line = r.line;

        row.testo = cell(r, cTesto);
        if (tidyText(row.testo))
            ++out_.textsTidied;
        if (row.testo.empty()) {
            error(r.line, cTesto, "il testo è vuoto");
            good = false;
        } else if (const auto bad = badCharacter(row.testo)) {
            error(r.line, cTesto, "il testo contiene " + *bad);
            good = false;
        } else if (utf8Length(row.testo) > static_cast<std::size_t>(kTestoWidth)) {
            error(r.line, cTesto,
                  "il testo è lungo " + std::to_string(utf8Length(row.testo)) +
                      " caratteri: la colonna Testo del master ne contiene al massimo " +
                      std::to_string(kTestoWidth));
            good = false;
        }

        const std::string answer = cell(r, cRisposta);
        if (const auto a = parseAnswer(answer)) {
            row.risposta = *a;
        } else {
            error(r.line, cRisposta,
                  "la risposta " + quote(std::string(trimmed(answer))) +
                      " non è riconosciuta (V/F, Vero/Falso, 1/0, true/false)");
            good = false;
        }

        row.capitolo = std::string(trimmed(cell(r, cCapitolo)));
        if (row.capitolo.size() == 1 && row.capitolo[0] >= '0' && row.capitolo[0] <= '9')
            row.capitolo = "0" + row.capitolo;  // "5" as the spreadsheet shows 05
        if (!slotsOfChapter_.count(row.capitolo)) {
            error(
                r.line, cCapitolo,
                "il capitolo " + quote(row.capitolo) + " non è nel piano d'esame della categoria " +
                    std::string(displayName(out_.category)) + " (capitoli " + planChapters_ + ")");
            good = false;
        }

        if (has(cId)) {
            const std::string id(trimmed(cell(r, cId)));
            if (const auto v = parseInteger(id, 1, 2147483647)) {
                row.id = *v;
                const auto [at, fresh] = idLine_.emplace(*v, r.line);
                if (!fresh) {
                    error(r.line, cId,
                          "l'Id " + id + " è già usato alla riga " + std::to_string(at->second));
                    good = false;
                }
            } else {
                error(r.line, cId, "l'Id " + quote(id) + " non è un numero intero positivo");
                good = false;
            }
        } else {
            row.id = static_cast<std::int64_t>(rows_.size()) + 1;
        }

        good &= codeCell(r, cFigura, kFiguraWidth, row.figura);
        if (!row.figura.empty() && !validFigureName(row.figura)) {
            error(r.line, cFigura,
                  "il nome di figura " + quote(row.figura) + " non è un nome di file");
            good = false;
        }
        good &= codeCell(r, cLibro1, kLibroWidth, row.libro1);
        good &= codeCell(r, cLibro2, kLibroWidth, row.libro2);
        good &= codeCell(r, cDifficolta, kDifficoltaWidth, row.difficolta);
        good &= codeCell(r, cBlocco, kBloccoWidth, row.blocco);
        good &= codeCell(r, cIndice, kIndiceWidth, row.indice);
        if (has(cDomanda)) {
            const std::string d(trimmed(cell(r, cDomanda)));
            if (const auto v = parseInteger(d, 0, kMaxDomanda)) {
                row.domanda = *v;
            } else if (!d.empty()) {
                error(r.line, cDomanda,
                      "il numero di domanda " + quote(d) + " non è un intero da 0 a " +
                          std::to_string(kMaxDomanda));
                good = false;
            }
        }
        row.argomento = cell(r, cArgomento);
        tidyText(row.argomento);
        if (const auto bad = badCharacter(row.argomento)) {
            error(r.line, cArgomento, "il titolo dell'argomento contiene " + *bad);
            good = false;
        }
        if (good)
            rows_.push_back(std::move(row));
    }

    // Topic of every row, the topic list, generated codes, blocks, and the checks that
    // need the whole list.
    void finish() {
        assignTopics();
        checkChapters();
        findFigures();
        if (!out_.ok())
            return;
        assignBlocks();
        out_.master.fields = importedMasterFields();
        out_.master.rows.reserve(rows_.size());
        for (const Row& r : rows_) {
            std::vector<Value> v(kMasterColumnCount);
            v[mId] = r.id;
            v[mTesto] = r.testo;
            v[mRisposta] = r.risposta;
            v[mFigura] = r.figura;
            v[mLibro1] = r.libro1;
            v[mLibro2] = r.libro2;
            v[mBlocco] = r.blocco;
            v[mDomanda] = r.domanda;
            v[mIndice] = r.indice;
            v[mCapitolo] = r.capitolo;
            v[mDifficolta] = r.difficolta;
            out_.master.rows.push_back(std::move(v));
        }
    }

    void assignTopics() {
        auto& topics = out_.topics;
        std::unordered_map<std::string, std::size_t> byIndice, byTitle;
        std::set<std::string> givenCodes;
        for (const Row& r : rows_)
            if (!r.indice.empty())
                givenCodes.insert(r.indice);
        int nextCode = 0;
        const auto newCode = [&](char letter) {
            std::string code;
            do {
                ++nextCode;
                code = std::string(1, letter) + twoDigits(nextCode);
            } while (givenCodes.count(code));
            return code;
        };
        const auto addTopic = [&](std::string title, std::string code) {
            TopicEntry t;
            t.Testo = std::move(title);
            t.Indice = std::move(code);
            t.Argomento = t.Indice.substr(0, 1);
            t.SubArgomento = t.Indice.size() > 1 ? t.Indice.substr(1, 2) : std::string();
            byIndice[t.Indice] = topics.size();
            topics.push_back(std::move(t));
            return topics.size() - 1;
        };
        out_.topicsFromChapters = !has(cArgomento) && !has(cIndice);
        std::vector<int> withoutTopic;
        for (Row& r : rows_) {
            std::size_t t = 0;
            if (out_.topicsFromChapters) {
                r.indice = "C" + r.capitolo;
                const auto at = byIndice.find(r.indice);
                t = at != byIndice.end() ? at->second
                                         : addTopic("Capitolo " + r.capitolo, r.indice);
            } else if (!r.indice.empty()) {
                const auto at = byIndice.find(r.indice);
                if (at == byIndice.end()) {
                    t = addTopic(r.argomento.empty() ? r.indice : r.argomento, r.indice);
                    if (!r.argomento.empty())
                        byTitle.emplace(r.argomento, t);
                } else {
                    t = at->second;
                    if (!r.argomento.empty() && topics[t].Testo != r.argomento) {
                        error(r.line, cArgomento,
                              "l'argomento " + r.indice + " ha qui il titolo " +
                                  quote(r.argomento) + ", prima " + quote(topics[t].Testo));
                        continue;
                    }
                }
            } else if (!r.argomento.empty()) {
                const auto at = byTitle.find(r.argomento);
                if (at == byTitle.end()) {
                    t = addTopic(r.argomento, newCode('A'));
                    byTitle.emplace(r.argomento, t);
                } else {
                    t = at->second;
                }
                r.indice = topics[t].Indice;
            } else {
                withoutTopic.push_back(r.line);
                continue;
            }
            ++topics[t].questions;
        }
        if (!withoutTopic.empty())
            warning(withoutTopic.front(), -1,
                    std::to_string(withoutTopic.size()) +
                        " domande senza argomento: non compariranno nelle schede per argomento (" +
                        lineList(withoutTopic) + ")");
        if (topics.empty() && !rows_.empty())
            error(0, -1, "nessuna domanda ha un argomento: la lista argomenti sarebbe vuota");
        const int maxTopics = compose::kMaxTopicNumber;
        if (static_cast<int>(topics.size()) > maxTopics)
            error(
                0, -1,
                "il file ha " + std::to_string(topics.size()) +
                    " argomenti: la tabella degli argomenti e la lista argomenti della categoria " +
                    std::string(displayName(out_.category)) + " ne ammettono al massimo " +
                    std::to_string(maxTopics));
    }

    void checkChapters() {
        std::map<std::string, int> count;
        for (const Row& r : rows_)
            ++count[r.capitolo];
        if (rows_.empty())
            return;
        for (const auto& [chapter, slots] : slotsOfChapter_) {
            const int have = count.count(chapter) ? count[chapter] : 0;
            if (have < slots)
                error(0, -1,
                      "il capitolo " + chapter + " ha " + std::to_string(have) +
                          (have == 1 ? " domanda" : " domande") +
                          ": una scheda d'esame ne richiede almeno " + std::to_string(slots));
        }
    }

    void findFigures() {
        std::map<std::string, std::vector<int>> lines;  // figure -> lines
        std::vector<std::string> order;
        for (const Row& r : rows_) {
            if (r.figura.empty())
                continue;
            auto& l = lines[r.figura];
            if (l.empty())
                order.push_back(r.figura);
            l.push_back(r.line);
        }
        if (order.empty())
            return;
        if (!sources_.picturesFolder.empty()) {
            // One listing of the pictures folder, matched without regard to case.
            std::unordered_map<std::string, std::string> files;
            std::error_code ec;
            const fs::path folder = pathFromUtf8(sources_.picturesFolder);
            fs::directory_iterator it(folder, ec);
            for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
                std::error_code fileEc;
                if (it->is_regular_file(fileEc))
                    files.emplace(asciiLower(utf8FromPath(it->path().filename())),
                                  utf8FromPath(it->path()));
            }
            if (ec) {
                error(0, -1,
                      "la cartella delle figure " + sources_.picturesFolder +
                          " non si può leggere: " + ec.message());
                return;
            }
            static constexpr std::array<std::string_view, 5> kExtensions = {".bmp", ".png", ".gif",
                                                                            ".jpg", ".jpeg"};
            for (const std::string& f : order) {
                bool found = false;
                for (const std::string& stem : figureStems(out_.category, f)) {
                    for (std::string_view ext : kExtensions) {
                        const auto at = files.find(asciiLower(stem) + std::string(ext));
                        if (at != files.end()) {
                            out_.figures.push_back({f, at->second, stem + ".bmp"});
                            found = true;
                            break;
                        }
                    }
                }
                // A figure the program's figures folder already has is not missing.
                for (const std::string& stem : figureStems(out_.category, f))
                    found = found ||
                            (!sources_.figuresFolder.empty() &&
                             fs::exists(pathFromUtf8(sources_.figuresFolder + stem + ".bmp"), ec));
                if (!found)
                    warning(lines[f].front(), -1,
                            "la figura " + quote(f) + " non si trova in " +
                                sources_.picturesFolder + " (" + lineList(lines[f]) + ")");
            }
        } else if (!sources_.figuresFolder.empty()) {
            std::error_code ec;
            if (!fs::is_directory(pathFromUtf8(sources_.figuresFolder), ec)) {
                warning(0, -1,
                        "la cartella delle figure " + sources_.figuresFolder +
                            " non esiste: nessuna delle " + std::to_string(order.size()) +
                            " figure nominate si troverà in stampa");
                return;
            }
            for (const std::string& f : order) {
                bool found = false;
                for (const std::string& stem : figureStems(out_.category, f))
                    found = found ||
                            fs::exists(pathFromUtf8(sources_.figuresFolder + stem + ".bmp"), ec);
                if (!found)
                    warning(lines[f].front(), -1,
                            "la figura " + quote(f) + " non si trova nella cartella delle figure " +
                                sources_.figuresFolder + " (" + lineList(lines[f]) + ")");
            }
        }
    }

    // Blocks of ten questions per chapter, numbered in list order, for lists without
    // Blocco or Domanda.
    void assignBlocks() {
        std::map<std::string, int> perChapter;
        for (Row& r : rows_) {
            const int k = perChapter[r.capitolo]++;
            if (!has(cBlocco))
                r.blocco = r.capitolo + twoDigits(k / kQuestionsPerBlock + 1);
            if (!has(cDomanda))
                r.domanda = k % kQuestionsPerBlock + 1;
        }
    }

    static constexpr std::size_t kAbsent = static_cast<std::size_t>(-1);

    struct Row {
        int line = 0;
        std::int64_t id = 0;
        std::string testo;
        bool risposta = false;
        std::string capitolo, figura, libro1, libro2, difficolta, blocco, indice, argomento;
        std::int64_t domanda = 0;
    };

public:
    void setPlan(TModalitaQuiz m) {
        for (const std::string& c : compose::examChapters(m))
            ++slotsOfChapter_[c];
        for (const auto& [c, n] : slotsOfChapter_)
            planChapters_ += (planChapters_.empty() ? "" : ", ") + c;
    }

private:
    QuestionList& out_;
    const FigureSources& sources_;
    std::array<std::size_t, kColumnCount> columnIndex_{};
    std::size_t headerSize_ = 0;
    std::map<std::string, int> slotsOfChapter_;
    std::string planChapters_;
    std::unordered_map<std::int64_t, int> idLine_;
    std::vector<Row> rows_;
};

std::size_t fieldIndex(const data::TableData& t, std::string_view name, const std::string& file) {
    for (std::size_t i = 0; i < t.fields.size(); ++i)
        if (data::equalsIgnoreCase(t.fields[i].name, name))
            return i;
    throw ImportError("Il master " + file + " non ha il campo " + std::string(name));
}

std::string topicSection(std::size_t i) {
    const std::string digits = "00" + std::to_string(i);
    return "Argomento_" + digits.substr(digits.size() - 2);
}

void writeTopicListFile(const std::string& file, const std::vector<TopicEntry>& topics) {
    // A fresh document (a name that does not exist), saved under the real name: the store
    // replaces the file atomically and no section of the older list survives.
    std::string fresh = file + ".import";
    for (int i = 0; fs::exists(pathFromUtf8(fresh)); ++i)
        fresh = file + ".import" + std::to_string(i);
    try {
        settings::TXmlIni store(fresh);
        store.setBackup(false);
        store.WriteInteger("Lista_Argomenti", "Totale", static_cast<int>(topics.size()));
        for (std::size_t i = 0; i < topics.size(); ++i) {
            const std::string section = topicSection(i);
            store.WriteString(section, "Testo0", topics[i].Testo);
            store.WriteString(section, "Indice", topics[i].Indice);
            store.WriteString(section, "Argomento", topics[i].Argomento);
            store.WriteString(section, "SubArgomento", topics[i].SubArgomento);
        }
        store.Save(file);
    } catch (const std::exception& e) {
        throw ImportError("Impossibile scrivere la lista argomenti " + file + ": " + e.what());
    }
}

}  // namespace

std::vector<data::FieldDef> importedMasterFields() {
    FieldDef id;
    id.name = "Id";
    id.type = FieldType::Integer;
    id.size = 4;
    FieldDef risposta;
    risposta.name = "Risposta";
    risposta.type = FieldType::Boolean;
    risposta.size = 2;
    FieldDef domanda = id;
    domanda.name = "Domanda";
    return {id,
            stringField("Testo", kTestoWidth, 2),
            risposta,
            stringField("Figura", kFiguraWidth),
            stringField("Libro1", kLibroWidth),
            stringField("Libro2", kLibroWidth),
            stringField("Blocco", kBloccoWidth),
            domanda,
            stringField("Indice", kIndiceWidth),
            stringField("Capitolo", 2),
            stringField("Difficolta", kDifficoltaWidth)};
}

QuestionList readQuestionList(std::string_view bytes, const std::string& fileName,
                              TModalitaQuiz category, const FigureSources& figures) {
    QuestionList out;
    out.fileName = fileName;
    out.category = category;
    ListReader reader(out, figures);
    reader.setPlan(category);
    reader.read(bytes);
    if (!out.errors.empty()) {
        out.master.rows.clear();
        out.figures.clear();
    }
    return out;
}

QuestionList readQuestionListFile(const std::string& fileName, TModalitaQuiz category,
                                  const FigureSources& figures) {
    std::error_code ec;
    const auto size = fs::file_size(pathFromUtf8(fileName), ec);
    QuestionList refused;
    refused.fileName = fileName;
    refused.category = category;
    if (!ec && size > kMaxListFileBytes) {
        char mb[32];
        std::snprintf(mb, sizeof mb, "%.1f", static_cast<double>(size) / (1024.0 * 1024.0));
        refused.errors.push_back({0,
                                  0,
                                  {},
                                  std::string("il file è troppo grande (") + mb +
                                      " MB): un elenco di domande ne occupa al massimo " +
                                      std::to_string(kMaxListFileBytes / (1024 * 1024))});
        return refused;
    }
    std::string why;
    const auto bytes = readWholeFile(fileName, kMaxListFileBytes, &why);
    if (!bytes) {
        refused.errors.push_back({0, 0, {}, "il file non si può leggere: " + why});
        return refused;
    }
    return readQuestionList(*bytes, fileName, category, figures);
}

std::string formatReport(const QuestionList& list, std::size_t maxLines) {
    std::string s = "File: " + list.fileName;
    if (list.errors.empty() || !list.topics.empty())
        s += std::string(" (") + std::string(encodingName(list.encoding)) + ", separatore \"" +
             list.separator + "\")";
    s += "\n";
    const std::string name(displayName(list.category));
    if (list.ok()) {
        std::set<std::string> chapters;
        for (const auto& row : list.master.rows)
            chapters.insert(std::get<std::string>(row[mCapitolo]));
        s += "Categoria " + name + ": " + std::to_string(list.master.rows.size()) + " domande, " +
             std::to_string(chapters.size()) + " capitoli, " + std::to_string(list.topics.size()) +
             " argomenti" +
             (list.figures.empty()
                  ? std::string()
                  : ", " + std::to_string(list.figures.size()) + " file di figure da copiare") +
             ".\n";
        if (list.idsAssigned)
            s += "Il file non ha la colonna Id: Id assegnati in ordine di riga (1, 2, 3 ...).\n";
        if (list.topicsFromChapters)
            s += "Il file non ha le colonne Argomento e Indice: un argomento per capitolo.\n";
    }
    if (list.textsTidied > 0)
        s += "Spazi iniziali, finali o doppi tolti in " + std::to_string(list.textsTidied) +
             (list.textsTidied == 1 ? " testo.\n" : " testi.\n");
    std::size_t lines = 0;
    const auto section = [&](const char* title, const std::vector<Issue>& issues) {
        if (issues.empty())
            return;
        s += std::string(title) + " (" + std::to_string(issues.size()) + "):\n";
        for (const Issue& i : issues) {
            if (lines++ >= maxLines) {
                s += "  ... e altri " + std::to_string(issues.size() - (lines - 1)) + "\n";
                lines = maxLines;
                break;
            }
            s += "  ";
            if (i.line > 0)
                s += "riga " + std::to_string(i.line);
            if (i.column > 0)
                s += ", colonna " + std::to_string(i.column) + " (" + i.columnName + ")";
            s += (i.line > 0 ? ": " : "") + i.text + "\n";
        }
    };
    section("Errori", list.errors);
    section("Avvisi", list.warnings);
    if (list.ok())
        s += "Nessun errore: il file si può importare.\n";
    else
        s += "Il file non si può importare: non è stato scritto nulla.\n";
    return s;
}

void writeCategoryData(const std::string& folder, const QuestionList& list) {
    if (!list.ok() || list.master.rows.empty())
        throw ImportError("L'elenco " + list.fileName + " ha errori: non si scrive nulla");
    const std::string master = folder + std::string(masterFile(list.category));
    const std::string topics = folder + std::string(topicListFile(list.category));
    // The old master, to put back if the topic list cannot follow it.
    std::optional<std::string> oldMaster;
    if (fs::exists(pathFromUtf8(master)))
        oldMaster = readWholeFile(master, std::size_t{1} << 28);
    try {
        data::saveTableFile(master, list.master);
    } catch (const std::exception& e) {
        throw ImportError(std::string("Impossibile scrivere il master: ") + e.what());
    }
    try {
        writeTopicListFile(topics, list.topics);
    } catch (const ImportError&) {
        if (oldMaster)
            writeFileAtomically(master, *oldMaster);
        else
            fs::remove(pathFromUtf8(master));
        throw;
    }
}

std::vector<TopicEntry> readTopicListFile(const std::string& file) {
    if (!fs::exists(pathFromUtf8(file)))
        throw ImportError("La lista argomenti " + file + " non esiste");
    try {
        const settings::TXmlIni store(file);
        const int n = store.ReadInteger("Lista_Argomenti", "Totale", 0);
        if (n < 0 || n > 100)
            throw ImportError("La lista argomenti " + file + " dichiara " + std::to_string(n) +
                              " argomenti");
        std::vector<TopicEntry> topics(static_cast<std::size_t>(n));
        for (std::size_t i = 0; i < topics.size(); ++i) {
            const std::string section = topicSection(i);
            topics[i].Testo = store.ReadString(section, "Testo0", "");
            topics[i].Indice = store.ReadString(section, "Indice", "");
            topics[i].Argomento = store.ReadString(section, "Argomento", "");
            topics[i].SubArgomento = store.ReadString(section, "SubArgomento", "");
        }
        return topics;
    } catch (const ImportError&) {
        throw;
    } catch (const std::exception& e) {
        throw ImportError("Impossibile leggere la lista argomenti " + file + ": " + e.what());
    }
}

std::string questionListCsv(const data::TableData& master, const std::vector<TopicEntry>& topics) {
    constexpr char sep = ';';
    static constexpr std::array<Column, kColumnCount> order = {
        cId,     cTesto,  cRisposta, cCapitolo,   cArgomento, cIndice,
        cFigura, cLibro1, cLibro2,   cDifficolta, cBlocco,    cDomanda};
    const auto col = [&](Column c) { return fieldIndex(master, kColumnNames[c], "da esportare"); };
    std::array<std::size_t, kColumnCount> at{};
    for (Column c : order)
        if (c != cArgomento)
            at[c] = col(c);
    std::unordered_map<std::string, std::string> titleOf;
    for (const TopicEntry& t : topics)
        titleOf.emplace(t.Indice, t.Testo);

    std::string out = "\xEF\xBB\xBF";
    for (std::size_t i = 0; i < order.size(); ++i)
        out += (i ? ";" : "") + std::string(kColumnNames[order[i]]);
    out += "\r\n";
    const auto& f = master.fields;
    for (const auto& row : master.rows) {
        for (std::size_t i = 0; i < order.size(); ++i) {
            const Column c = order[i];
            std::string text;
            if (c == cArgomento) {
                const auto t = titleOf.find(data::valueToString(f[at[cIndice]], row[at[cIndice]]));
                text = t != titleOf.end() ? t->second : std::string();
            } else if (data::isNull(row[at[c]])) {
                text.clear();
            } else if (c == cRisposta) {
                text = data::valueToBoolean(f[at[c]], row[at[c]]) ? "V" : "F";
            } else if (c == cId || c == cDomanda) {
                text = std::to_string(data::valueToInteger(f[at[c]], row[at[c]]));
            } else {
                text = data::valueToString(f[at[c]], row[at[c]]);
            }
            if (i)
                out.push_back(sep);
            out += csvField(text, sep);
        }
        out += "\r\n";
    }
    return out;
}

std::size_t exportQuestionList(const std::string& folder, TModalitaQuiz category,
                               const std::string& csvFile) {
    const std::string masterPath = folder + std::string(masterFile(category));
    data::TableData master;
    try {
        master = data::loadTableFile(masterPath);
    } catch (const std::exception& e) {
        throw ImportError(std::string("Impossibile leggere il master: ") + e.what());
    }
    const std::vector<TopicEntry> topics =
        readTopicListFile(folder + std::string(topicListFile(category)));
    const std::string csv = questionListCsv(master, topics);
    std::string why;
    if (!writeFileAtomically(csvFile, csv, &why))
        throw ImportError("Impossibile scrivere " + csvFile + ": " + why);
    return master.rows.size();
}

}  // namespace vexora::importer
