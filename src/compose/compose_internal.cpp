#include "compose/compose_internal.h"

#include <array>
#include <stdexcept>

namespace vexora::compose::detail {
namespace {

using enum WithoutLog;

// Per-category differences of the routine families, in catalogue order.
constexpr std::array<CategoryRules, kWorkingCategoryCount> kRules = {{
    {mqAB, Beep, Leave, true, "Impossibile mischiare le domande nella scheda AB.\r\nERRORE: "},
    {mqAM, Leave, Beep, false, "Impossibile mischiare le domande nella scheda AM.\r\nERRORE: "},
    {mqSuperC1, Beep, Leave, true,
     "Impossibile mischiare le domande nella scheda C1-C1E\r\nERRORE: "},
    {mqSuperC0, Beep, Leave, true,
     "Impossibile mischiare le domande nella scheda C1-C1E NP\r\nERRORE: "},
    {mqSuperC, Beep, Leave, true, "Impossibile mischiare le domande nella scheda C-CE\r\nERRORE: "},
    {mqSuperCx, Beep, Leave, true,
     "Impossibile mischiare le domande nella scheda Est. C1-C1E\r\nERRORE: "},
    {mqSuperD1, Beep, Leave, true,
     "Impossibile mischiare le domande nella scheda D1-D1E\r\nERRORE: "},
    {mqSuperD, Beep, Leave, true, "Impossibile mischiare le domande nella scheda D-DE\r\nERRORE: "},
    {mqSuperDx, Beep, Leave, true,
     "Impossibile mischiare le domande nella scheda Est. D-DE\r\nERRORE: "},
    {mqCqc1M, Beep, Leave, true,
     "Impossibile mischiare le domande nella scheda CQC M.\r\nERRORE: "},
    {mqCqc2P, Beep, Leave, true,
     "Impossibile mischiare le domande nella scheda CQC P.\r\nERRORE: "},
    {mqCqc3M, Beep, Leave, true,
     "Impossibile mischiare le domande nella scheda Estensione CQC M.\r\nERRORE: "},
    {mqCqc4P, Beep, Leave, true,
     "Impossibile mischiare le domande nella scheda Estensione CQC P.\r\nERRORE: "},
    {mqCqc5B, Beep, Leave, true,
     "Impossibile mischiare le domande nella scheda Estensione CQC da APC.\r\nERRORE: "},
}};

// Day counts of 1 January 1900 and 1 January 2100 where day 0 is 30 December 1899,
// the numbering of date-times stored as plain numbers.
constexpr double kFirstValidDay = 2.0;
constexpr double kLastValidDay = 73051.0;

}  // namespace

const CategoryRules& rulesOf(TModalitaQuiz m) {
    if (!isWorkingCategory(m)) {
        throw std::out_of_range("not a working quiz category: " + std::to_string(int{m}));
    }
    return kRules[m - 1];
}

const char* trueFalse(bool b) {
    return b ? "True" : "False";
}

bool textNotBlank(const data::Value& v) {
    if (data::isNull(v))
        return false;
    if (const auto* s = std::get_if<std::string>(&v)) {
        return s->find_first_not_of(" \t\r\n") != std::string::npos;
    }
    if (const auto* b = std::get_if<data::BytesValue>(&v)) {
        return b->bytes.find_first_not_of(" \t\r\n") != std::string::npos;
    }
    return true;  // numbers, Booleans and date-times always read as some text
}

bool isValidDate(const data::Value& v) {
    if (std::holds_alternative<data::DateTimeValue>(v))
        return true;
    if (std::holds_alternative<data::DateValue>(v))
        return true;
    if (const auto* d = std::get_if<double>(&v))
        return *d > kFirstValidDay && *d < kLastValidDay;
    return false;
}

bool isBooleanFalse(const data::Value& v) {
    const auto* b = std::get_if<bool>(&v);
    return b != nullptr && !*b;
}

void fillSlot(TDomandaPrint& slot, TCorrettPrint& key, const MasterQuestion& q, bool addInfoText) {
    slot.Svolta.assign(1, 'X');
    slot.Testo = sheetQuestionText(q, addInfoText);
    slot.Risposta = std::string(answerLetter(q.Risposta));
    slot.Figura = q.Figura;
    slot.Libro1 = q.Libro1;
    slot.Libro2 = q.Libro2;
    slot.BlkDom = q.Blocco;
    slot.BlkDom += '/';
    slot.BlkDom += q.Domanda;
    slot.Indice = q.Indice;
    key.Scheda.clear();
    key.Risposta = slot.Risposta;
    key.IdMaster = slot.IdMaster;
    key.BlkDom = slot.BlkDom;
}

OrderRestore::OrderRestore(data::Table& t)
    : t_(t), indexName_(t.IndexName()), indexFields_(t.IndexFieldNames()) {}

OrderRestore::~OrderRestore() {
    try {
        if (t_.State() == data::TableState::Edit || t_.State() == data::TableState::Insert) {
            t_.Cancel();
        }
        if (!t_.Active())
            return;
        t_.CancelRange();
        if (!indexName_.empty()) {
            t_.SetIndexName(indexName_);
        } else {
            t_.SetIndexFieldNames(indexFields_);
        }
    } catch (...) {
    }
}

MasterRows::MasterRows(data::Table& master)
    : t_(master),
      restore_(master),
      testo_(master.FieldByName("Testo")),
      risposta_(master.FieldByName("Risposta")),
      figura_(master.FieldByName("Figura")),
      libro1_(master.FieldByName("Libro1")),
      libro2_(master.FieldByName("Libro2")),
      blocco_(master.FieldByName("Blocco")),
      domanda_(master.FieldByName("Domanda")),
      indice_(master.FieldByName("Indice")) {
    t_.CancelRange();
    t_.SetIndexFieldNames("Id");
}

bool MasterRows::find(std::int64_t id) {
    // Rows with equal keys keep their row order, so the first row of the range is the
    // row a walk in the master's own order would find first.
    t_.SetRangeValues({data::Value{id}}, {data::Value{id}});
    return t_.RecordCount() > 0;
}

MasterQuestion MasterRows::question() {
    MasterQuestion q;
    q.Testo = testo_.AsString();
    q.Risposta = risposta_.AsBoolean();
    q.Figura = figura_.AsString();
    q.Libro1 = libro1_.AsString();
    q.Libro2 = libro2_.AsString();
    q.Blocco = blocco_.AsString();
    q.Domanda = domanda_.AsString();
    q.Indice = indice_.AsString();
    return q;
}

}  // namespace vexora::compose::detail
