#pragma once

// Helpers shared by the composition routines; not part of the layer's interface.

#include <cstdint>
#include <string>
#include <string_view>

#include "compose/sequence.h"
#include "compose/sheet_text.h"
#include "core/catalogue.h"
#include "data/table.h"

namespace vexora::compose::detail {

// What a routine does with an error when CkNoExceptMsg is off.
enum class WithoutLog : std::uint8_t {
    Beep,   // the level-0 tone, result false, composition goes on
    Leave,  // the error leaves the routine
};

// What differs between the members of the per-category routine families.
struct CategoryRules {
    TModalitaQuiz category;
    WithoutLog examMarkError;     // FilterCdsAndLoadArrSimForPrint: marking error
    WithoutLog topicFilterError;  // FilterCdsAndLoadArrArgForPrint: filter error
    bool codeInUnavailableText;   // topic sheets: category code in the unavailability text
    std::string_view shuffleBoxText;
};

const CategoryRules& rulesOf(TModalitaQuiz m);

// "True" or "False", as the program's messages show Booleans.
const char* trueFalse(bool b);

// True when a value reads as a non-blank text (null reads as "").
bool textNotBlank(const data::Value& v);
// A date-time value, or a day count strictly between 1 January 1900 and 1 January 2100.
bool isValidDate(const data::Value& v);
// A Boolean holding false.
bool isBooleanFalse(const data::Value& v);

// Fills a slot and its key entry from a master question (the key's Scheda stays empty).
void fillSlot(TDomandaPrint& slot, TCorrettPrint& key, const MasterQuestion& q, bool addInfoText);

// Suspends a table's display refresh for a scope.
class ControlsOff {
public:
    explicit ControlsOff(data::Table& t) : t_(t) { t_.DisableControls(); }
    ~ControlsOff() { t_.EnableControls(); }
    ControlsOff(const ControlsOff&) = delete;
    ControlsOff& operator=(const ControlsOff&) = delete;

private:
    data::Table& t_;
};

// Puts a table's order back on leaving a scope, without a range; a pending edit is
// dropped first (errors are swallowed: this runs while an error may be leaving).
class OrderRestore {
public:
    explicit OrderRestore(data::Table& t);
    ~OrderRestore();
    OrderRestore(const OrderRestore&) = delete;
    OrderRestore& operator=(const OrderRestore&) = delete;

private:
    data::Table& t_;
    std::string indexName_;
    std::string indexFields_;
};

// Finds master questions by Id through an order on Id (a binary search instead of a
// walk per slot) and reads the fields a slot is filled from. The master's order is put
// back when the object goes.
class MasterRows {
public:
    explicit MasterRows(data::Table& master);
    // Moves to the first master row with this Id (in the master's own row order, as a
    // Locate would); false when there is none.
    bool find(std::int64_t id);
    // The current row's question.
    MasterQuestion question();

private:
    data::Table& t_;
    OrderRestore restore_;
    data::Field testo_, risposta_, figura_, libro1_, libro2_, blocco_, domanda_, indice_;
};

}  // namespace vexora::compose::detail
