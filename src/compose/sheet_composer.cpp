#include "compose/sheet_composer.h"

#include <bit>
#include <cstdlib>
#include <exception>
#include <string>
#include <unordered_map>

#include "compose/compose_internal.h"
#include "compose/plans.h"
#include "data/table_values.h"

namespace vexora::compose {

using detail::ControlsOff;

namespace {

// Positions of the fields the record filter reads, in the filter-field cache.
enum FilterFieldSlot : std::size_t {
    ffIndice,
    ffDtNormali,
    ffDtDifficili,
    ffDtDubbie,
    ffRsDubbie,
    ffDtErrori,
    ffRsErrori,
};

bool isTopicOrder(TTipoOrdineSq o) {
    return o == toArgomentoMista || o == toArgSequenziale;
}

}  // namespace

SheetComposer::SheetComposer(data::QuestionData& qd, const Reporting& reporting,
                             ProgressReporter& progress, std::uint32_t seed)
    : qd_(qd), rep_(reporting), progress_(progress), random_(seed) {
    for (TModalitaQuiz m : workingCategories()) {
        CategoryArrays& a = arrays_[m - 1];
        a.sheet.resize(static_cast<std::size_t>(questionsPerSheet(m)));
        a.keys.resize(static_cast<std::size_t>(questionsPerSheet(m)));
        a.accumulator.resize(static_cast<std::size_t>(keyAccumulatorSize(m)));
    }
    qd_.printFilter = [this](data::Table& table, bool& accept) {
        OnFilterRecordPrint(table, accept);
    };
    if (qd_.CdsPrint)
        qd_.CdsPrint->SetOnFilterRecord(qd_.printFilter);
}

SheetComposer::~SheetComposer() {
    qd_.printFilter = nullptr;
    if (qd_.CdsPrint) {
        try {
            qd_.CdsPrint->SetOnFilterRecord(nullptr);
        } catch (...) {
        }
    }
}

// ------------------------------------------------------------------ arrays

SheetComposer::CategoryArrays* SheetComposer::arraysOf(TModalitaQuiz m) {
    return isWorkingCategory(m) ? &arrays_[m - 1] : nullptr;
}

std::span<TDomandaPrint> SheetComposer::sheet(TModalitaQuiz m) {
    CategoryArrays* a = arraysOf(m);
    return a ? std::span<TDomandaPrint>(a->sheet) : std::span<TDomandaPrint>();
}

std::span<TCorrettPrint> SheetComposer::sheetKeys(TModalitaQuiz m) {
    CategoryArrays* a = arraysOf(m);
    return a ? std::span<TCorrettPrint>(a->keys) : std::span<TCorrettPrint>();
}

std::span<TCorrettPrint> SheetComposer::keyAccumulator(TModalitaQuiz m) {
    CategoryArrays* a = arraysOf(m);
    return a ? std::span<TCorrettPrint>(a->accumulator) : std::span<TCorrettPrint>();
}

void SheetComposer::clearSheet(TModalitaQuiz m) {
    CategoryArrays* a = arraysOf(m);
    if (!a)
        return;
    for (TDomandaPrint& slot : a->sheet)
        slot = TDomandaPrint{};
    for (TCorrettPrint& key : a->keys)
        key = TCorrettPrint{};
}

void SheetComposer::clearKeyAccumulator(TModalitaQuiz m) {
    CategoryArrays* a = arraysOf(m);
    if (!a)
        return;
    for (TCorrettPrint& key : a->accumulator)
        key = TCorrettPrint{};
}

// ------------------------------------------------------------------ entry and dispatch

bool SheetComposer::CaricaArrayScheda(TTipoSequenza tipoSequenza, TTipoOrdineSq ordinamento) {
    clearSheet(qd_.state().currentCategory);
    journal_.clear();
    journalTable_ = qd_.CdsPrint.get();
    TipoSequenza = tipoSequenza;
    Ordinamento = ordinamento;
    rep_.trace("UDorvel/CaricaArrayScheda (TipoSequenza: " + std::string(valueName(tipoSequenza)) +
               " - Ordinamento: " + std::string(valueName(ordinamento)) + ")");
    return PredisponiFiltriForPrint();
}

bool SheetComposer::PredisponiFiltriForPrint() {
    constexpr std::string_view kName = "UDorvel/PredisponiFiltriForPrint - ";
    bool result = false;
    try {
        if (!qd_.CdsPrint) {
            rep_.log.ScriviErrorLog("", 1, std::string(kName) + "CdsPrint non accessibile!");
            return false;
        }
        data::Table& print = *qd_.CdsPrint;
        print.SetFiltered(false);
        rep_.trace(std::string(kName) + "CdsPrint.Filter OFF");
        if (TipoSequenza != tsEsame && isTopicOrder(Ordinamento))
            SceltaArgomentiForPrint();
        rep_.ui.processEvents();
        if (TipoSequenza == tsNulla) {
            rep_.log.ScriviErrorLog("", 1, std::string(kName) + "TipoSequenza nulla!");
            return false;
        }
        print.SetFiltered(true);
        rep_.trace(std::string(kName) + "CdsPrint.Filter ON");

        const TModalitaQuiz m = qd_.state().currentCategory;
        if (!isWorkingCategory(m)) {
            rep_.log.ScriviErrorLog(
                "", 1,
                std::string(kName) + "ModoQuiz non compatibile: " + std::string(valueName(m)));
            return false;
        }
        if (TipoSequenza == tsEsame) {
            result = composeExam(m);
        } else if (TipoSequenza == tsNormale) {
            result = composeTopics(m);
        }
    } catch (const std::exception& e) {
        rep_.error(1, std::string(kName) + "Impossibile filtrare il print database! - Eccezione: ",
                   "Impossibile filtrare il print database\r\nERRORE: ", e.what());
        result = false;
    }
    return result;
}

TopicSet SheetComposer::SceltaArgomentiForPrint() {
    TopicSet set;
    const data::TopicListModel& box = qd_.LbArgomenti;
    const std::size_t lines = box.count();
    const std::size_t topics = qd_.Argomenti.size();
    if (lines == topics) {
        std::size_t selected = 0;
        for (std::size_t k = 0; k < lines; ++k) {
            if (k >= box.selected.size() || !box.selected[k])
                continue;
            ++selected;
            // The set holds the numbers 1 to 31; later lines cannot be told apart in it.
            if (k + 1 <= static_cast<std::size_t>(kMaxTopicNumber))
                set.set(k + 1);
        }
        rep_.trace("UDorvel/SceltaArgomentiForPrint - " + std::to_string(selected) +
                   " argomenti selezionati");
        return set;
    }
    const std::string text = "Numero di argomenti non corrispondente. " +
                             std::to_string(static_cast<long long>(lines) - 1) + " <> " +
                             std::to_string(static_cast<long long>(topics) - 1);
    rep_.error(1, "UDorvel/SceltaArgomentiForPrint - ", "", text);
    return {};
}

// ------------------------------------------------------------------ record filter

std::size_t SheetComposer::filterField(const data::Table& t, CachedField& cache,
                                       std::string_view name) {
    // The filter runs for every row the table considers: the position found once is
    // kept while the table still has that field there (a reload may move it).
    const auto& fields = t.Fields();
    if (cache.known && cache.index < fields.size() &&
        (fields[cache.index].name == name ||
         data::equalsIgnoreCase(fields[cache.index].name, name))) {
        return cache.index;
    }
    const auto found = t.FindFieldIndex(name);
    if (!found)
        throw data::TableError("field \"" + std::string(name) + "\" not found");
    cache.index = *found;
    cache.known = true;
    return *found;
}

bool SheetComposer::topicAccepted(const data::Value& indice) const {
    const auto* code = std::get_if<std::string>(&indice);
    std::string text;
    if (code == nullptr) {
        if (data::isNull(indice))
            return false;  // a null Indice equals no topic code
        // Topic codes are compared as text whatever the field's type.
        text = data::valueToString(data::FieldDef{}, indice);
        code = &text;
    }
    // Only topic positions the array has, and at most the first 31, are compared.
    const std::size_t count = qd_.Argomenti.size();
    for (unsigned long bits = ArgomentiSlot.to_ulong() & ~1ul; bits != 0; bits &= bits - 1) {
        const auto k = static_cast<std::size_t>(std::countr_zero(bits)) - 1;
        if (k < count && qd_.Argomenti[k].Indice == *code)
            return true;
    }
    return false;
}

void SheetComposer::OnFilterRecordPrint(data::Table& table, bool& accept) {
    auto value = [&](FilterFieldSlot slot, std::string_view name) -> const data::Value& {
        return table.FieldByIndex(filterField(table, filterFields_[slot], name)).AsVariant();
    };
    switch (TipoSequenza) {
        case tsNormale:
            accept = !detail::isValidDate(value(ffDtNormali, "dtNormali"));
            break;
        case tsEsame:
            accept = true;
            break;
        case tsDifficile:
            accept = !detail::isValidDate(value(ffDtDifficili, "dtDifficili"));
            break;
        case tsDubbia:
            accept = detail::isValidDate(value(ffDtDubbie, "dtDubbie")) &&
                     detail::isBooleanFalse(value(ffRsDubbie, "rsDubbie"));
            break;
        case tsErrore:
            accept = detail::isValidDate(value(ffDtErrori, "dtErrori")) &&
                     detail::isBooleanFalse(value(ffRsErrori, "rsErrori"));
            break;
        default:
            break;
    }
    if (accept && isTopicOrder(Ordinamento) && TipoSequenza != tsEsame) {
        accept = topicAccepted(value(ffIndice, "Indice"));
    }
}

void SheetComposer::refreshPrintFilter() {
    if (qd_.CdsPrint && qd_.CdsPrint->Active())
        qd_.CdsPrint->Refresh();
}

// ------------------------------------------------------------------ picker

SheetComposer::PickFields SheetComposer::pickFields(data::Table& t, TTipoSequenza kind) const {
    PickFields f;
    const auto id = t.FindFieldIndex("IdMaster");
    if (!id)
        throw data::TableError("field \"IdMaster\" not found");
    f.idMaster = *id;
    const std::string dt = dtFieldName(kind);
    if (!dt.empty()) {
        f.printedDate = t.FindFieldIndex(dt);
        if (!f.printedDate)
            throw data::TableError("field \"" + dt + "\" not found");
    }
    return f;
}

int SheetComposer::IndiceDomandaRandom(TTipoSequenza tipoSequenza, bool AncheSvolte, int Escludi) {
    if (!qd_.CdsPrint || !qd_.CdsPrint->Active())
        return 1;
    data::Table& t = *qd_.CdsPrint;
    return pick(t, pickFields(t, tipoSequenza), tipoSequenza, AncheSvolte, Escludi).value_or(1);
}

std::optional<int> SheetComposer::pick(data::Table& t, const PickFields& f, TTipoSequenza kind,
                                       bool ancheSvolte, int escludi) {
    if (!t.Active())
        return std::nullopt;
    const auto n = static_cast<long long>(t.RecordCount());
    if (n <= 0 || !f.printedDate) {
        rep_.error(
            1, "Udorvel/IndiceDomandaRandom.IndiceDomandaRandom - ", "",
            "Impossibile generare un id casuale. Tipo sequenza: " + std::string(valueName(kind)) +
                "\r\n" + std::to_string(n) + " record nel database Allievo.");
        return std::nullopt;
    }
    const data::Field idField = t.FieldByIndex(f.idMaster);
    const data::Field dateField = t.FieldByIndex(*f.printedDate);
    const bool examTestOn = kind == tsEsame && !ancheSvolte;

    long long distanziatore = n / 2;
    int attempts = 0;
    long long r = 0;
    int id = 0;
    long long distance = 0;
    bool distanzaOk = false;
    bool notInDbExist = false;
    for (;;) {
        // Uniform over the n visible rows (0 .. n - 1).
        r = random_.below(static_cast<std::uint32_t>(n));
        distanziatore /= 2;
        t.First();
        t.MoveBy(static_cast<int>(r));
        id = static_cast<int>(idField.AsInteger());
        distance = std::llabs(static_cast<long long>(UltimoRandom) - id) + 1;
        distanzaOk = distance > distanziatore || ancheSvolte;
        notInDbExist = !(examTestOn && detail::textNotBlank(dateField.AsVariant()));
        const bool notExcluded = !(id == escludi && n >= 2);
        ++attempts;
        qd_.pumpEventsThrottled();
        if (distanzaOk && notInDbExist && notExcluded)
            break;
        if (attempts > 500)
            break;
    }
    if (attempts > 500) {
        rep_.ui.messageBox(
            "Problemi a generare un id casuale:\r\nTotaleRec: " + std::to_string(n) +
            " - numRandom: " + std::to_string(r) + "\r\nIdxRandom: " + std::to_string(id) +
            " - DistanzaOK: [" + std::to_string(distance) + " > Distanziatore " +
            std::to_string(distanziatore) + "]\r\nDistanzaOk: " + detail::trueFalse(distanzaOk) +
            " - NotInDbExist: " + detail::trueFalse(notInDbExist));
    }
    UltimoRandom = id;
    return id;
}

// ------------------------------------------------------------------ family members

bool SheetComposer::FilterCdsAndLoadArrSimForPrintAB() {
    return composeExam(mqAB);
}

bool SheetComposer::FilterCdsAndLoadArrSimForPrintAM() {
    return composeExam(mqAM);
}

bool SheetComposer::FilterCdsAndLoadArrSimForPrint(TModalitaQuiz m) {
    if (!isWorkingCategory(m) || m == mqAB || m == mqAM)
        return false;
    return composeExam(m);
}

bool SheetComposer::FilterCdsAndLoadArrArgForPrintAB() {
    return composeTopics(mqAB);
}

bool SheetComposer::FilterCdsAndLoadArrArgForPrintAM() {
    return composeTopics(mqAM);
}

bool SheetComposer::FilterCdsAndLoadArrArgForPrint(TModalitaQuiz m) {
    if (!isWorkingCategory(m) || m == mqAB || m == mqAM)
        return false;
    return composeTopics(m);
}

// ------------------------------------------------------------------ marks and undo

SheetComposer::MarkFields SheetComposer::markFields(const data::Table& t, std::string_view dt,
                                                    std::string_view rs) const {
    auto need = [&](std::string_view name) {
        const auto i = t.FindFieldIndex(name);
        if (!i)
            throw data::TableError("field \"" + std::string(name) + "\" not found");
        return *i;
    };
    MarkFields f;
    f.idMaster = need("IdMaster");
    f.key = t.FindFieldIndex("nRec").value_or(f.idMaster);
    f.dt = need(dt);
    f.rs = need(rs);
    return f;
}

void SheetComposer::markCurrentRow(data::Table& t, const MarkFields& f) {
    MarkChange change;
    change.rowKey = t.FieldByIndex(f.key).AsInteger();
    change.idMaster = t.FieldByIndex(f.idMaster).AsInteger();
    change.dtField = t.Fields()[f.dt].name;
    change.rsField = t.Fields()[f.rs].name;
    change.oldDt = t.FieldByIndex(f.dt).AsVariant();
    change.oldRs = t.FieldByIndex(f.rs).AsVariant();
    t.Edit();
    try {
        t.FieldByIndex(f.dt).SetAsDateTime(qd_.platform().now());
        t.FieldByIndex(f.rs).SetAsBoolean(true);
        change.newDt = t.FieldByIndex(f.dt).AsVariant();
        change.newRs = t.FieldByIndex(f.rs).AsVariant();
        t.Post();
    } catch (...) {
        t.Cancel();
        throw;
    }
    journal_.push_back(std::move(change));
}

std::size_t SheetComposer::lastSheetMarkCount() const {
    std::size_t n = 0;
    for (const MarkChange& c : journal_)
        n += c.reset ? 0 : 1;
    return n;
}

bool SheetComposer::UndoLastSheetMarks() {
    const bool result = UndoSheetMarks(journal_);
    journal_.clear();
    return result;
}

bool SheetComposer::UndoSheetMarks(const std::vector<MarkChange>& changes) {
    rep_.trace("UDorvel/UndoLastSheetMarks");
    if (changes.empty())
        return true;
    if (!qd_.CdsPrint || qd_.CdsPrint.get() != journalTable_ || !qd_.CdsPrint->Active()) {
        // The history the marks were made in is gone: nothing of this sheet is left.
        return false;
    }
    data::Table& t = *qd_.CdsPrint;
    bool result = false;
    const bool wasFiltered = t.Filtered();
    try {
        detail::OrderRestore restore(t);
        ControlsOff controls(t);
        const auto idIndex = t.FindFieldIndex("IdMaster");
        if (!idIndex)
            throw data::TableError("field \"IdMaster\" not found");
        const std::size_t keyIndex = t.FindFieldIndex("nRec").value_or(*idIndex);
        std::unordered_map<std::int64_t, std::vector<std::size_t>> byRow;
        for (std::size_t i = 0; i < changes.size(); ++i)
            byRow[changes[i].rowKey].push_back(i);

        // In the rows' own order, without range or filter, row r is visible row r: the
        // rows to undo are found in the raw data and reached by position.
        t.SetFiltered(false);
        t.CancelRange();
        t.SetIndexFieldNames("");
        const auto& rows = t.Data().rows;
        const auto& fields = t.Fields();
        std::vector<std::pair<std::size_t, std::vector<std::size_t>*>> targets;
        for (std::size_t r = 0; r < rows.size(); ++r) {
            const data::Value& key = rows[r][keyIndex];
            if (data::isNull(key))
                continue;
            const auto it = byRow.find(data::valueToInteger(fields[keyIndex], key));
            if (it != byRow.end())
                targets.emplace_back(r, &it->second);
        }
        for (const auto& [r, entries] : targets) {
            t.First();
            if (t.MoveBy(static_cast<int>(r)) != static_cast<int>(r)) {
                throw data::TableError("row " + std::to_string(r) + " not reachable");
            }
            const std::int64_t id = t.FieldByIndex(*idIndex).AsInteger();
            t.Edit();
            try {
                // Latest change first: each change is undone only while the pair still
                // holds what that change wrote, so a pair ends with what it held before
                // the sheet unless someone changed it since.
                for (auto e = entries->rbegin(); e != entries->rend(); ++e) {
                    const MarkChange& c = changes[*e];
                    if (c.idMaster != id)
                        continue;
                    data::Field dt = t.FieldByName(c.dtField);
                    data::Field rs = t.FieldByName(c.rsField);
                    if (dt.AsVariant() != c.newDt || rs.AsVariant() != c.newRs)
                        continue;
                    dt.SetAsVariant(c.oldDt);
                    rs.SetAsVariant(c.oldRs);
                }
                t.Post();
            } catch (...) {
                t.Cancel();
                throw;
            }
        }
        result = true;
    } catch (const std::exception& e) {
        rep_.error(1, "UDorvel/UndoLastSheetMarks - ",
                   "Impossibile annullare i segni della scheda non stampata\r\nERRORE: ", e.what());
        result = false;
    }
    try {
        t.SetFiltered(wasFiltered);
    } catch (...) {
    }
    return result;
}

// ------------------------------------------------------------------ shuffling

void SheetComposer::MischiaArray(std::span<TDomandaPrint> first, std::span<TCorrettPrint> second,
                                 int count) {
    const std::size_t n =
        std::min({static_cast<std::size_t>(std::max(count, 0)), first.size(), second.size()});
    if (n < 2)
        return;
    // Fisher-Yates: position i takes a record chosen uniformly among those not yet
    // placed, so every order is equally likely.
    for (std::size_t i = 0; i + 1 < n; ++i) {
        const std::size_t j = i + random_.below(static_cast<std::uint32_t>(n - i));
        if (j == i)
            continue;
        std::swap(first[i], first[j]);
        std::swap(second[i], second[j]);
    }
}

bool SheetComposer::MischiaScheda(TModalitaQuiz m) {
    CategoryArrays* a = arraysOf(m);
    if (a == nullptr)
        return false;  // no category, no sheet to shuffle
    const std::string code(categoryCode(m));
    rep_.trace("TFormStampe.MischiaScheda" + code);
    try {
        MischiaArray(a->sheet, a->keys, questionsPerSheet(m));
        return true;
    } catch (const std::exception& e) {
        rep_.error(1, "FormStampe.MischiaScheda" + code + " - ", detail::rulesOf(m).shuffleBoxText,
                   e.what());
        return false;
    }
}

}  // namespace vexora::compose
