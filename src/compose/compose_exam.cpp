// Exam-like sheets: one question per slot from the slot's chapter, preferring questions
// not yet printed on an exam-like sheet.

#include <algorithm>
#include <exception>
#include <string>
#include <vector>

#include "compose/compose_internal.h"
#include "compose/plans.h"
#include "compose/sheet_composer.h"

namespace vexora::compose {
namespace {

// Extra repair draws allowed per slot after the regular repair: enough to part any
// duplicates a chapter with a few spare questions can part.
constexpr int kExtraRepairDraws = 64;

// The chapter's questions not yet printed on an exam-like sheet.
void restrictToUnprinted(data::Table& t, const std::string& chapter) {
    t.SetIndexFieldNames("Capitolo;dtEsame");
    t.SetRange({chapter, ""}, {chapter, ""});
}

// Every question of the chapter.
void restrictToChapter(data::Table& t, const std::string& chapter) {
    t.CancelRange();
    t.SetIndexFieldNames("Capitolo");
    t.SetRange({chapter}, {chapter});
}

// Puts the cursor on the history row of a drawn question: looked for among the rows of
// its chapter first, then among all rows.
void locateHistoryRow(data::Table& t, const std::string& chapter, int idMaster) {
    t.SetIndexFieldNames("Capitolo");
    t.SetRangeValues({data::Value{chapter}}, {data::Value{chapter}});
    if (t.Locate("IdMaster", data::Value{std::int64_t{idMaster}}))
        return;
    t.CancelRange();
    if (t.Locate("IdMaster", data::Value{std::int64_t{idMaster}}))
        return;
    throw data::TableError("IdMaster " + std::to_string(idMaster) +
                           " non trovato nel print database");
}

// Leaves the history without a range, without a pending edit and with its filtering as
// it was, also when an error leaves the routine.
struct ExamViewOnExit {
    data::Table& t;
    bool filtered;
    ~ExamViewOnExit() {
        try {
            if (t.State() == data::TableState::Edit)
                t.Cancel();
            if (!t.Active())
                return;
            t.CancelRange();
            if (t.Filtered() != filtered)
                t.SetFiltered(filtered);
        } catch (...) {
        }
    }
};

}  // namespace

bool SheetComposer::composeExam(TModalitaQuiz m) {
    const detail::CategoryRules& rules = detail::rulesOf(m);
    const std::string name =
        "UDorvel/FilterCdsAndLoadArrSimForPrint" + std::string(categoryCode(m));
    rep_.trace(name);
    bool result = false;
    if (!qd_.CdsPrint)
        return false;
    data::Table& t = *qd_.CdsPrint;
    const TTipoSequenza kind = TipoSequenza;
    const std::span<const std::string> chapters = examChapters(m);
    CategoryArrays& a = arrays_[m - 1];
    const std::size_t slots = std::min(chapters.size(), a.sheet.size());

    ExamViewOnExit onExit{t, t.Filtered()};
    t.CancelRange();
    // For exam-like sheets the record filter lets every row through: switched off, the
    // visible rows are the same and each range costs a binary search instead of a pass
    // over its rows. It is switched on again on the way out.
    if (kind == tsEsame && t.Filtered())
        t.SetFiltered(false);
    detail::ControlsOff controls(t);
    t.SetIndexFieldNames("Capitolo;dtEsame");
    const PickFields pf = pickFields(t, kind);

    // Drawing.
    int& fallbacks = lastFallbacks_;  // slots whose chapter had no unprinted question
    fallbacks = 0;
    for (std::size_t i = 0; i < slots; ++i) {
        const std::string& chapter = chapters[i];
        restrictToUnprinted(t, chapter);
        const int prev = i > 0 ? a.sheet[i - 1].IdMaster : 0;
        std::optional<int> drawn;
        if (t.RecordCount() >= 1) {
            drawn = pick(t, pf, kind, false, prev);
        } else {
            restrictToChapter(t, chapter);
            drawn = pick(t, pf, kind, true, prev);
            ++fallbacks;
        }
        // A chapter without any question: the sheet cannot be composed.
        if (!drawn)
            return false;
        a.sheet[i].IdMaster = *drawn;

        // Duplicate repair: an earlier slot holding the same question draws again.
        auto redraw = [&](std::size_t j, int exclude) {
            if (fallbacks > 0)
                restrictToChapter(t, chapter);
            const bool ancheSvolte = fallbacks > 0 || t.RecordCount() == 0;
            const std::optional<int> again = pick(t, pf, kind, ancheSvolte, exclude);
            if (again)
                a.sheet[j].IdMaster = *again;
            return again.has_value();
        };
        for (int pass = 0; pass <= fallbacks; ++pass) {
            for (std::size_t j = 0; j <= i; ++j) {
                if (j != i && a.sheet[j].IdMaster == a.sheet[i].IdMaster &&
                    !redraw(j, a.sheet[i].IdMaster)) {
                    return false;
                }
            }
        }
        // A redrawn slot can land on the question of a third slot of the same chapter,
        // and a chapter with fewer unprinted questions than slots gives the same one
        // twice; those are parted too, among all the chapter's questions when the
        // unprinted ones cannot part them, so no question comes twice on a sheet while
        // its chapter has enough questions.
        std::vector<std::size_t> sameChapter;
        for (std::size_t j = 0; j <= i; ++j) {
            if (chapters[j] == chapter)
                sameChapter.push_back(j);
        }
        bool wide = false;
        for (int extra = 0; extra < kExtraRepairDraws; ++extra) {
            std::size_t dup = slots;
            std::size_t other = slots;
            for (std::size_t x = 0; x < sameChapter.size() && dup == slots; ++x) {
                for (std::size_t y = x + 1; y < sameChapter.size(); ++y) {
                    if (a.sheet[sameChapter[x]].IdMaster == a.sheet[sameChapter[y]].IdMaster) {
                        dup = sameChapter[x];
                        other = sameChapter[y];
                        break;
                    }
                }
            }
            if (dup == slots)
                break;
            if (!wide && (fallbacks > 0 || t.RecordCount() < sameChapter.size())) {
                restrictToChapter(t, chapter);
                wide = true;
            }
            const std::optional<int> again =
                pick(t, pf, kind, wide || t.RecordCount() == 0, a.sheet[other].IdMaster);
            if (!again)
                return false;
            a.sheet[dup].IdMaster = *again;
        }
        a.sheet[i].Svolta.clear();
        t.CancelRange();
    }

    // Filling and marking.
    detail::MasterRows master(qd_.CdsMaster);
    const MarkFields mf = markFields(t, "dtEsame", "rsEsame");
    const bool addInfo = rep_.switches.CkAddInfoText;
    for (std::size_t i = 0; i < slots; ++i) {
        TDomandaPrint& slot = a.sheet[i];
        if (!master.find(slot.IdMaster)) {
            // A blank slot would be printed as if the sheet were whole.
            rep_.error(1, name + " - ", "",
                       "La domanda " + std::to_string(slot.IdMaster) +
                           " del print database non esiste nel database master: la scheda non "
                           "viene composta.");
            return false;
        }
        detail::fillSlot(slot, a.keys[i], master.question(), addInfo);
        try {
            locateHistoryRow(t, chapters[i], slot.IdMaster);
            markCurrentRow(t, mf);
            result = true;
        } catch (const std::exception& e) {
            if (rep_.switches.CkNoExceptMsg) {
                rep_.log.ScriviErrorLog("", 0, name + " - " + e.what());
            } else if (rules.examMarkError == detail::WithoutLog::Beep) {
                rep_.log.SegnaleAcustico(0);
            } else {
                throw;
            }
            result = false;
        }
        qd_.pumpEventsThrottled();
        if (progress_.Interruzione()) {
            result = false;
            break;
        }
    }
    t.CancelRange();
    return result;
}

}  // namespace vexora::compose
