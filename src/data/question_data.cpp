#include "data/question_data.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "core/codepage.h"
#include "data/table_file.h"
#include "data/table_values.h"
#include "settings/xml_ini.h"

namespace vexora::data {
namespace {

// Topic lists of real categories hold a few dozen topics; a larger count is a
// damaged file, refused before anything is allocated for it.
constexpr int kMaxTopics = 1000;

// Fields the program reads from every master.
constexpr const char* kMasterFields[] = {"Id",     "Testo",  "Risposta", "Figura",
                                         "Libro1", "Libro2", "Blocco",   "Domanda",
                                         "Indice", "Capitolo", "Difficolta"};
// Fields of the history that loading, counting, composition and resets rely on.
constexpr const char* kHistoryFields[] = {"IdMaster", "Capitolo", "Indice",  "dtNormali",
                                          "rsNormali", "dtEsame", "rsEsame"};

std::string quoted(std::string_view s) {
    std::string out = "\"";
    out += s;
    out += '"';
    return out;
}

void requireFields(const Table& table, std::span<const char* const> names,
                   std::string_view what, const std::string& file) {
    for (const char* name : names) {
        if (!table.FindFieldIndex(name)) {
            throw TableError("Il campo " + quoted(name) + " manca nel " + std::string(what) + " " +
                             quoted(file));
        }
    }
}

// "Argomento_" + the last two characters of "00" + i.
std::string topicSection(int i) {
    const std::string n = "00" + std::to_string(i);
    return "Argomento_" + n.substr(n.size() - 2);
}

// First `count` characters (code points) of a UTF-8 text.
std::string firstChars(std::string_view text, std::size_t count) {
    std::size_t pos = 0;
    for (std::size_t n = 0; n < count && pos < text.size(); ++n) decodeUtf8(text, pos);
    return std::string(text.substr(0, pos));
}

bool textNotBlank(const Value& v) {
    if (isNull(v)) return false;
    if (const auto* s = std::get_if<std::string>(&v)) {
        return s->find_first_not_of(" \t\r\n") != std::string::npos;
    }
    return true;  // numbers, Booleans and date-times always read as some text
}

// A topic code read as its text form, whatever the field's type (a master may store the
// codes as integers): null reads as "".
std::string textOf(const FieldDef& field, const Value& v) {
    if (const auto* s = std::get_if<std::string>(&v))
        return *s;
    return valueToString(field, v);
}

bool textEquals(const FieldDef& field, const Value& v, std::string_view code) {
    if (const auto* s = std::get_if<std::string>(&v)) return *s == code;
    return textOf(field, v) == code;
}

// Runs a walk over every row of the history in its own order, without range or
// filter, and puts order, range-free state and the filter flag back afterwards.
template <typename Fn>
void walkAllRows(Table& t, Fn&& perRow) {
    const bool wasFiltered = t.Filtered();
    const std::string indexName = t.IndexName();
    const std::string indexFields = t.IndexFieldNames();
    struct Restore {
        Table& t;
        bool filtered;
        const std::string& name;
        const std::string& fields;
        ~Restore() {
            try {
                t.EnableControls();
                if (!name.empty()) {
                    t.SetIndexName(name);
                } else {
                    t.SetIndexFieldNames(fields);
                }
                t.SetFiltered(filtered);
            } catch (...) {
            }
        }
    } restore{t, wasFiltered, indexName, indexFields};
    t.SetFiltered(false);
    t.DisableControls();
    // Edits may touch fields of the current order, which would move rows under the
    // cursor: walk in the rows' own order, over all rows.
    t.CancelRange();
    t.SetIndexFieldNames("");
    t.First();
    while (!t.Eof()) {
        perRow();
        t.Next();
    }
}

}  // namespace

void TopicListModel::clear() {
    lines.clear();
    selected.clear();
}

void TopicListModel::add(std::string line) {
    lines.push_back(std::move(line));
    selected.push_back(false);
}

void TopicListModel::select(std::size_t line, bool on) {
    if (line < selected.size()) selected[line] = on;
}

std::size_t TopicListModel::selectedCount() const {
    std::size_t n = 0;
    for (bool s : selected) n += s ? 1 : 0;
    return n;
}

std::string topicListLine(std::string_view title) {
    std::string line = firstChars(title, 45);
    if (utf8Length(title) > 45) line += "...";
    line.append(70, ' ');
    return line;
}

std::string topicCountLine(int printed, int total) {
    return std::to_string(printed) + "/" + std::to_string(total);
}

std::vector<FieldDef> printHistoryFields() {
    auto f = [](const char* name, FieldType type, int size = 0) {
        FieldDef d;
        d.name = name;
        d.type = type;
        d.size = size;
        return d;
    };
    return {f("nRec", FieldType::AutoInc, 4),
            f("IdMaster", FieldType::Integer, 4),
            f("Blocco", FieldType::String, 5),
            f("Domanda", FieldType::String, 2),
            f("Risposta", FieldType::Boolean),
            f("Capitolo", FieldType::String, 2),
            f("Indice", FieldType::String, 3),
            f("Difficolta", FieldType::String, 2),
            f("Data", FieldType::String, 4),
            f("Info", FieldType::String, 20),
            f("dtNormali", FieldType::DateTime),
            f("rsNormali", FieldType::Boolean),
            f("dtDifficili", FieldType::DateTime),
            f("rsDifficili", FieldType::Boolean),
            f("dtEsame", FieldType::DateTime),
            f("rsEsame", FieldType::Boolean),
            f("dtDubbie", FieldType::DateTime),
            f("rsDubbie", FieldType::Boolean),
            f("dtErrori", FieldType::DateTime),
            f("rsErrori", FieldType::Boolean),
            f("TagSk", FieldType::String, 4)};
}

QuestionData::QuestionData(const Reporting& reporting, PlatformServices& platform,
                           const ProgramState& state)
    : rep_(reporting), platform_(platform), state_(state) {}

QuestionData::~QuestionData() = default;

void QuestionData::pumpEventsThrottled() {
    const std::uint64_t now = platform_.tickMs();
    if (now - lastPump_ >= 15) {
        lastPump_ = now;
        rep_.ui.processEvents();
    }
}

bool QuestionData::CaricaMaster(const std::string& FileName) {
    rep_.trace("UDorvel/CaricaMaster");
    bool result = false;
    try {
        // Whatever happens below, the previous category's questions must not survive.
        CdsMaster.Close();
        if (platform_.fileExists(FileName)) {
            CdsMaster.LoadFromFile(FileName);
            requireFields(CdsMaster, kMasterFields, "database master", FileName);
            CdsMaster.Open();
            result = CdsMaster.RecordCount() > 0;
        } else {
            rep_.error(1, "UDorvel/CaricaMaster - ", "",
                       "Il file database master " + quoted(FileName) + " non esiste.");
        }
    } catch (const std::exception& e) {
        try {
            CdsMaster.Close();
        } catch (...) {
        }
        rep_.error(1, "UDorvel/CaricaMaster - ", "Impossibile accedere al database master\r\nERRORE: ",
                   e.what());
        result = false;
    }
    return result;
}

int QuestionData::ContaRecordMaster(std::string_view Indice) {
    if (!CdsMaster.Active()) return 0;
    const auto idx = CdsMaster.FindFieldIndex("Indice");
    if (!idx) throw TableError("Il campo \"Indice\" manca nel database master");
    const FieldDef& field = CdsMaster.Fields()[*idx];
    int count = 0;
    for (const auto& row : CdsMaster.Data().rows) {
        if (textEquals(field, row[*idx], Indice))
            ++count;
        pumpEventsThrottled();
    }
    return count;
}

int QuestionData::ContaRecordSvolti(std::string_view Indice) {
    if (!CdsPrint || !CdsPrint->Active()) return 0;
    const auto idx = CdsPrint->FindFieldIndex("Indice");
    const auto dt = CdsPrint->FindFieldIndex("dtNormali");
    if (!idx || !dt) throw TableError("Il print database non ha i campi \"Indice\" e \"dtNormali\"");
    const FieldDef& field = CdsPrint->Fields()[*idx];
    int count = 0;
    for (const auto& row : CdsPrint->Data().rows) {
        if (textEquals(field, row[*idx], Indice) && textNotBlank(row[*dt]))
            ++count;
        pumpEventsThrottled();
    }
    return count;
}

void QuestionData::countAllTopics(bool masterToo) {
    // One walk of each table counts every topic code at once; the results are those of
    // asking ContaRecordMaster and ContaRecordSvolti for each topic in turn.
    std::unordered_map<std::string, int> totals;
    std::unordered_map<std::string, int> printed;
    for (const auto& t : Argomenti) {
        totals.emplace(t.Indice, 0);
        printed.emplace(t.Indice, 0);
    }
    if (masterToo && CdsMaster.Active()) {
        const auto idx = CdsMaster.FindFieldIndex("Indice");
        if (!idx) throw TableError("Il campo \"Indice\" manca nel database master");
        const FieldDef& field = CdsMaster.Fields()[*idx];
        std::size_t n = 0;
        for (const auto& row : CdsMaster.Data().rows) {
            if (const auto* s = std::get_if<std::string>(&row[*idx])) {
                if (auto it = totals.find(*s); it != totals.end()) ++it->second;
            } else if (auto it = totals.find(textOf(field, row[*idx])); it != totals.end()) {
                ++it->second;
            }
            if ((++n & 255) == 0) pumpEventsThrottled();
        }
    }
    if (CdsPrint && CdsPrint->Active()) {
        const auto idx = CdsPrint->FindFieldIndex("Indice");
        const auto dt = CdsPrint->FindFieldIndex("dtNormali");
        if (!idx || !dt) {
            throw TableError("Il print database non ha i campi \"Indice\" e \"dtNormali\"");
        }
        const FieldDef& field = CdsPrint->Fields()[*idx];
        std::size_t n = 0;
        for (const auto& row : CdsPrint->Data().rows) {
            if (textNotBlank(row[*dt])) {
                if (auto it = printed.find(textOf(field, row[*idx])); it != printed.end()) {
                    ++it->second;
                }
            }
            if ((++n & 255) == 0) pumpEventsThrottled();
        }
    }
    for (auto& t : Argomenti) {
        if (masterToo) t.RecordTotali = totals[t.Indice];
        t.RecordSvolti = printed[t.Indice];
    }
}

void QuestionData::fillListBoxes() {
    LbArgomenti.clear();
    LbCount.clear();
    for (const auto& t : Argomenti) {
        LbArgomenti.add(topicListLine(t.Testo));
        LbCount.add(topicCountLine(t.RecordSvolti, t.RecordTotali));
    }
}

bool QuestionData::CaricaArgomenti(const std::string& FileName, bool SoloConteggio) {
    rep_.trace(std::string("UDorvel/CaricaArgomenti (SoloConteggio: ") +
               (SoloConteggio ? "True" : "False") + ")");
    bool result = false;
    const bool previousCursor = rep_.ui.waitCursor();
    rep_.ui.setWaitCursor(true);
    struct CursorBack {
        UserInteraction& ui;
        bool previous;
        ~CursorBack() { ui.setWaitCursor(previous); }
    } cursorBack{rep_.ui, previousCursor};

    const bool exists = platform_.fileExists(FileName);
    if (exists && !SoloConteggio) {
        try {
            settings::TXmlIni list(FileName);
            const int n = list.ReadInteger("Lista_Argomenti", "Totale", -1);
            if (n <= 0) {
                rep_.ui.messageBox("La lista argomenti \u00e8 vuota.\r\nFile: " + FileName);
            } else {
                if (n > kMaxTopics) {
                    throw TableError("La lista dichiara " + std::to_string(n) +
                                     " argomenti (al massimo " + std::to_string(kMaxTopics) + ")");
                }
                Argomenti.resize(static_cast<std::size_t>(n));
                for (int i = 0; i < n; ++i) {
                    const std::string section = topicSection(i);
                    TArgomento& t = Argomenti[static_cast<std::size_t>(i)];
                    t.Testo = list.ReadString(section, "Testo0", "");
                    t.Indice = list.ReadString(section, "Indice", "");
                    t.Argomento = firstChars(list.ReadString(section, "Argomento", ""), 1);
                    t.SubArgomento = firstChars(list.ReadString(section, "SubArgomento", ""), 2);
                    t.RecordErrori = 0;
                    t.RecordTotali = 0;
                    t.RecordSvolti = 0;
                    t.Item = i + 1;
                }
                countAllTopics(true);
                result = !Argomenti.empty();
            }
        } catch (const std::exception& e) {
            rep_.error(1, "UDorvel/CaricaArgomenti1 - ",
                       "Problemi durante la lettura della lista argomenti\r\nERRORE: ", e.what());
            result = false;
        }
    } else if (SoloConteggio && !Argomenti.empty()) {
        result = true;
        try {
            countAllTopics(false);
        } catch (const std::exception& e) {
            rep_.error(1, "UDorvel/CaricaArgomenti2 - ",
                       "Problemi durante il riconteggio degli argomenti\r\nERRORE: ", e.what());
            result = false;
        }
    } else {
        rep_.ui.messageBox("La lista argomenti non esiste.\r\nFile: " + FileName);
    }

    try {
        fillListBoxes();
    } catch (const std::exception& e) {
        rep_.error(1, "UDorvel/CaricaArgomenti3 - ",
                   "Problemi durante l'assegnazione degli argomenti\r\nERRORE: ", e.what());
        result = false;
    }
    return result;
}

bool QuestionData::CaricaPrintDb(const std::string& FileName) {
    bool result = false;
    try {
        if (!CdsPrint) CdsPrint = std::make_unique<Table>();
        if (CdsPrint->Active()) CdsPrint->Close();
        if (platform_.fileExists(FileName)) {
            CdsPrint->LoadFromFile(FileName);
            requireFields(*CdsPrint, kHistoryFields, "print database", FileName);
            CdsPrint->Open();
            CdsPrint->SetOnFilterRecord(printFilter);
            CdsPrint->SetFiltered(false);
            const std::size_t count = CdsPrint->RecordCount();
            result = count > 0;
            rep_.trace("UDorvel/CaricaPrintDb - " + quoted(FileName) + " Caricato. " +
                       std::to_string(count) + " records.");
        } else {
            result = CreaNuovoPrintDb(FileName);
            if (platform_.fileExists(FileName)) {
                CaricaPrintDb(FileName);
                const std::size_t count =
                    (CdsPrint && CdsPrint->Active()) ? CdsPrint->RecordCount() : 0;
                rep_.trace("UDorvel/CaricaPrintDb - " + quoted(FileName) + " Ricreato. " +
                           std::to_string(count) + " records.");
            }
        }
    } catch (const std::exception& e) {
        if (CdsPrint) {
            try {
                CdsPrint->Close();
            } catch (...) {
            }
        }
        rep_.error(1, "UDorvel/CaricaPrintDb - ",
                   "Impossibile accedere al print database\r\nERRORE: ", e.what());
        result = false;
    }
    return result;
}

bool QuestionData::CreaNuovoPrintDb(const std::string& FileName) {
    rep_.trace("UDorvel/CreaNuovoPrintDb", 3);
    bool result = false;
    std::unique_ptr<Table> fresh;
    try {
        if (CdsPrint) {
            if (CdsPrint->Active()) CdsPrint->EmptyDataSet();
            CdsPrint->SetFileName("");
            CdsPrint->Close();
            CdsPrint.reset();
            if (platform_.fileExists(FileName)) platform_.removeFile(FileName);
        }
        fresh = std::make_unique<Table>();
        for (const FieldDef& d : printHistoryFields()) fresh->FieldDefs().push_back(d);
        fresh->CreateDataSet();
        fresh->SetLogChanges(false);

        if (CdsMaster.Active()) {
            fresh->DisableControls();
            CdsMaster.DisableControls();
            struct Enable {
                Table& a;
                Table& b;
                ~Enable() {
                    a.EnableControls();
                    b.EnableControls();
                }
            } enable{*fresh, CdsMaster};

            Field mId = CdsMaster.FieldByName("Id");
            Field mBlocco = CdsMaster.FieldByName("Blocco");
            Field mDomanda = CdsMaster.FieldByName("Domanda");
            Field mRisposta = CdsMaster.FieldByName("Risposta");
            Field mCapitolo = CdsMaster.FieldByName("Capitolo");
            Field mIndice = CdsMaster.FieldByName("Indice");
            Field mDifficolta = CdsMaster.FieldByName("Difficolta");
            Field pId = fresh->FieldByName("IdMaster");
            Field pBlocco = fresh->FieldByName("Blocco");
            Field pDomanda = fresh->FieldByName("Domanda");
            Field pRisposta = fresh->FieldByName("Risposta");
            Field pCapitolo = fresh->FieldByName("Capitolo");
            Field pIndice = fresh->FieldByName("Indice");
            Field pDifficolta = fresh->FieldByName("Difficolta");

            const std::size_t m = CdsMaster.RecordCount();
            CdsMaster.First();
            for (std::size_t i = 0; i < m; ++i) {
                fresh->Append();
                pId.SetAsInteger(mId.AsInteger());
                pBlocco.SetAsString(mBlocco.AsString());
                pDomanda.SetAsInteger(mDomanda.AsInteger());
                pRisposta.SetAsBoolean(mRisposta.AsBoolean());
                pCapitolo.SetAsString(mCapitolo.AsString());
                pIndice.SetAsString(mIndice.AsString());
                pDifficolta.SetAsString(mDifficolta.AsString());
                fresh->Post();
                CdsMaster.Next();
            }
            result = fresh->Active() && fresh->RecordCount() == m;
        }
        if (result) {
            CdsPrint = std::move(fresh);
            result = SavePrintDb(FileName);
            CdsPrint->Close();
            CdsPrint.reset();
        }
    } catch (const std::exception& e) {
        rep_.error(1, "UDorvel/CreaNuovoPrintDb - ",
                   "Impossibile creare il database allievo\r\nERRORE: ", e.what());
        result = false;
    }
    // A history that could not be built is dropped without being written anywhere:
    // an empty history on disk would never be rebuilt from the master.
    if (fresh) fresh->Close();
    if (!result && CdsPrint && !CdsPrint->Active()) CdsPrint.reset();
    return result;
}

bool QuestionData::SavePrintDb(const std::string& FileName) {
    rep_.trace("UDorvel/SavePrintDb");
    if (!CdsPrint || FileName.empty()) return false;
    try {
        CdsPrint->MergeChangeLog();
        CdsPrint->SaveToFile(FileName, formForFileName(FileName));
        return true;
    } catch (const std::exception& e) {
        rep_.error(1, "UDorvel/SavePrintDb - ",
                   "Impossibile salvare il database di stampa\r\nERRORE: ", e.what());
        return false;
    }
}

bool QuestionData::ResetArgomento(std::string_view Indice) {
    return ResetArgomento(Indice, {});
}

bool QuestionData::ResetArgomento(std::string_view Indice, const std::vector<int>& keepIdMaster) {
    rep_.trace("UDorvel/ResetArgomento (" + std::string(Indice) + ")");
    if (!CdsPrint || !CdsPrint->Active()) return false;
    bool result = false;
    try {
        Table& t = *CdsPrint;
        Field indice = t.FieldByName("Indice");
        Field id = t.FieldByName("IdMaster");
        Field dt = t.FieldByName("dtNormali");
        Field rs = t.FieldByName("rsNormali");
        const std::unordered_set<std::int64_t> keep(keepIdMaster.begin(), keepIdMaster.end());
        int count = 0;
        walkAllRows(t, [&] {
            if (indice.AsString() == Indice && (keep.empty() || !keep.count(id.AsInteger()))) {
                t.Edit();
                dt.SetAsString("");
                rs.SetAsString("");
                t.Post();
                ++count;
            }
        });
        result = count > 0;
    } catch (const std::exception& e) {
        rep_.error(0, "UDorvel/ResetArgomento - ",
                   "Impossibile resettare l'argomento " + std::string(Indice) +
                       " del print database\r\nERRORE: ",
                   e.what());
        result = false;
    }
    return result;
}

bool QuestionData::ResetEsame() {
    if (state_.currentCategory == mqNone) return false;
    rep_.trace("UDorvel/ResetEsame", 3);
    if (!CdsPrint || !CdsPrint->Active()) return false;
    bool result = false;
    try {
        Table& t = *CdsPrint;
        Field dt = t.FieldByName("dtEsame");
        Field rs = t.FieldByName("rsEsame");
        int count = 0;
        walkAllRows(t, [&] {
            t.Edit();
            dt.SetAsString("");
            rs.SetAsString("");
            t.Post();
            ++count;
        });
        result = count > 0;
    } catch (const std::exception& e) {
        rep_.error(0, "UDorvel/ResetEsame - ",
                   "Impossibile resettare le schede tipo esame del print database\r\nERRORE: ",
                   e.what());
        result = false;
    }
    return result;
}

HistoryAlignment alignHistoryWithMaster(const TableData& master, TableData& history) {
    const auto field = [](const TableData& t, const char* name, const char* what) {
        for (std::size_t i = 0; i < t.fields.size(); ++i)
            if (equalsIgnoreCase(t.fields[i].name, name))
                return i;
        throw TableError("Il campo " + quoted(name) + " manca nel " + what);
    };
    const auto optionalField = [](const TableData& t,
                                  const char* name) -> std::optional<std::size_t> {
        for (std::size_t i = 0; i < t.fields.size(); ++i)
            if (equalsIgnoreCase(t.fields[i].name, name))
                return i;
        return std::nullopt;
    };
    const auto mField = [&](const char* name) { return field(master, name, "database master"); };
    const auto hField = [&](const char* name) { return field(history, name, "print database"); };
    const auto& mf = master.fields;
    const auto& hf = history.fields;
    const std::size_t mId = mField("Id"), hId = hField("IdMaster");

    // The history's copies of the master's codes, refreshed for the questions that stay
    // (an edited list may move a question to another chapter or topic) and filled for
    // new ones.
    struct Copied {
        std::size_t m, h;
        enum Kind { Text, Integer, Boolean } kind;
    };
    const Copied copied[] = {{mField("Blocco"), hField("Blocco"), Copied::Text},
                             {mField("Domanda"), hField("Domanda"), Copied::Integer},
                             {mField("Risposta"), hField("Risposta"), Copied::Boolean},
                             {mField("Capitolo"), hField("Capitolo"), Copied::Text},
                             {mField("Indice"), hField("Indice"), Copied::Text},
                             {mField("Difficolta"), hField("Difficolta"), Copied::Text}};
    const auto copyValue = [&](const Copied& c, const std::vector<Value>& row) {
        switch (c.kind) {
            case Copied::Integer:
                return integerToValue(hf[c.h], valueToInteger(mf[c.m], row[c.m]));
            case Copied::Boolean:
                return booleanToValue(hf[c.h], valueToBoolean(mf[c.m], row[c.m]));
            case Copied::Text:
                break;
        }
        return stringToValue(hf[c.h], textOf(mf[c.m], row[c.m]));
    };

    std::unordered_map<std::int64_t, std::size_t> masterRowOf;
    masterRowOf.reserve(master.rows.size());
    for (std::size_t r = 0; r < master.rows.size(); ++r)
        masterRowOf.emplace(valueToInteger(mf[mId], master.rows[r][mId]), r);

    HistoryAlignment result;
    std::unordered_set<std::int64_t> historyIds;
    std::vector<std::vector<Value>> kept;
    kept.reserve(history.rows.size());
    for (auto& row : history.rows) {
        const std::int64_t id = valueToInteger(hf[hId], row[hId]);
        const auto at = masterRowOf.find(id);
        if (at == masterRowOf.end() || !historyIds.insert(id).second) {
            ++result.dropped;
            continue;
        }
        bool changed = false;
        for (const Copied& c : copied) {
            Value v = copyValue(c, master.rows[at->second]);
            if (v != row[c.h]) {
                row[c.h] = std::move(v);
                changed = true;
            }
        }
        result.updated += changed ? 1 : 0;
        kept.push_back(std::move(row));
    }

    // New questions get a row as a new history gives them, in master order, after the
    // rows already there.
    const auto hRec = optionalField(history, "nRec");
    std::int64_t nextRec = history.autoIncValue;
    if (hRec && nextRec < 1) {
        nextRec = 1;
        for (const auto& row : kept)
            if (!isNull(row[*hRec]))
                nextRec = std::max(nextRec, valueToInteger(hf[*hRec], row[*hRec]) + 1);
    }
    for (const auto& row : master.rows) {
        const std::int64_t id = valueToInteger(mf[mId], row[mId]);
        if (!historyIds.insert(id).second)
            continue;
        std::vector<Value> fresh(hf.size());
        if (hRec)
            fresh[*hRec] = integerToValue(hf[*hRec], nextRec++);
        fresh[hId] = integerToValue(hf[hId], id);
        for (const Copied& c : copied)
            fresh[c.h] = copyValue(c, row);
        kept.push_back(std::move(fresh));
        ++result.added;
    }
    history.rows = std::move(kept);
    if (hRec)
        history.autoIncValue = std::max(history.autoIncValue, nextRec);
    return result;
}

bool QuestionData::AllineaPrintDb(const std::string& FileName) {
    if (!CdsPrint || !CdsPrint->Active() || !CdsMaster.Active())
        return false;
    try {
        CdsPrint->MergeChangeLog();
        TableData history = CdsPrint->Data();
        const HistoryAlignment a = alignHistoryWithMaster(CdsMaster.Data(), history);
        if (!a.changed())
            return true;
        saveTableFile(FileName, history, formForFileName(FileName));
        rep_.trace("UDorvel/AllineaPrintDb - " + quoted(FileName) +
                   " allineato al master: " + std::to_string(a.added) + " record aggiunti, " +
                   std::to_string(a.dropped) + " record tolti." +
                   (a.updated ? " " + std::to_string(a.updated) + " record aggiornati." : ""));
        CdsPrint->LoadFromFile(FileName);
        CdsPrint->Open();
        CdsPrint->SetOnFilterRecord(printFilter);
        CdsPrint->SetFiltered(false);
        return true;
    } catch (const std::exception& e) {
        rep_.error(
            1, "UDorvel/AllineaPrintDb - ",
            "Impossibile allineare il print database al database master\r\nERRORE: ", e.what());
        return false;
    }
}

}  // namespace vexora::data
