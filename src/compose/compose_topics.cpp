// Topic sheets: the slots are shared out among the selected topics by the category's
// distribution table; each slot draws a question of its topic not yet printed on a topic
// sheet, and a topic that runs out is reset.

#include <algorithm>
#include <exception>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "compose/compose_internal.h"
#include "compose/plans.h"
#include "compose/sheet_composer.h"
#include "data/table_values.h"

namespace vexora::compose {
void SheetComposer::applyTopicFilter(data::Table& t, const data::TArgomento& topic) {
    t.SetFiltered(false);
    ArgomentiSlot.reset();
    if (topic.Item >= 1 && topic.Item <= kMaxTopicNumber) {
        ArgomentiSlot.set(static_cast<std::size_t>(topic.Item));
    }
    // The filter passes only rows of the slot's topic; a range on the topic code lets
    // it look at those rows alone. Rows of equal code keep their row order, so the
    // visible rows and their order are those of the filter over the whole table.
    t.SetIndexFieldNames("Indice");
    t.SetRangeValues({data::Value{topic.Indice}}, {data::Value{topic.Indice}});
    t.SetFiltered(true);
}

bool SheetComposer::resetTopic(std::string_view code, const std::vector<int>& keepIdMaster) {
    // The reset is part of the sheet: note what the topic's marks held, so that a sheet
    // that is not printed can give them back.
    if (qd_.CdsPrint && qd_.CdsPrint->Active()) {
        const data::Table& t = *qd_.CdsPrint;
        const auto id = t.FindFieldIndex("IdMaster");
        const auto key = id ? t.FindFieldIndex("nRec").value_or(*id) : std::optional<std::size_t>{};
        const auto indice = t.FindFieldIndex("Indice");
        const auto dt = t.FindFieldIndex("dtNormali");
        const auto rs = t.FindFieldIndex("rsNormali");
        if (key && id && indice && dt && rs) {
            const auto& fields = t.Fields();
            for (const auto& row : t.Data().rows) {
                if (data::isNull(row[*dt]) && data::isNull(row[*rs]))
                    continue;
                if (data::valueToString(fields[*indice], row[*indice]) != code)
                    continue;
                const std::int64_t idMaster = data::valueToInteger(fields[*id], row[*id]);
                if (std::find(keepIdMaster.begin(), keepIdMaster.end(), idMaster) !=
                    keepIdMaster.end())
                    continue;
                MarkChange c;
                c.rowKey = data::valueToInteger(fields[*key], row[*key]);
                c.idMaster = idMaster;
                c.dtField = fields[*dt].name;
                c.rsField = fields[*rs].name;
                c.oldDt = row[*dt];
                c.oldRs = row[*rs];
                c.reset = true;
                journal_.push_back(std::move(c));
            }
        }
    }
    if (resetTopicsFile_ != qd_.FilePrintr) {
        resetTopics_.clear();
        resetTopicsFile_ = qd_.FilePrintr;
    }
    resetTopics_.insert(std::string(code));
    return qd_.ResetArgomento(code, keepIdMaster);
}

int SheetComposer::syncTopicCount(const std::string& code) {
    const int printed = qd_.ContaRecordSvolti(code);
    for (data::TArgomento& topic : qd_.Argomenti) {
        if (topic.Indice == code)
            topic.RecordSvolti = printed;
    }
    return printed;
}

bool SheetComposer::composeTopics(TModalitaQuiz m) {
    const detail::CategoryRules& rules = detail::rulesOf(m);
    const std::string code(categoryCode(m));
    const std::string name = "UDorvel/FilterCdsAndLoadArrArgForPrint" + code;
    rep_.trace(name);
    bool result = false;

    data::Table* print = qd_.CdsPrint.get();
    const bool printOpen = print != nullptr && print->Active();
    const bool masterOpen = qd_.CdsMaster.Active();
    const std::size_t selectedLines = qd_.LbArgomenti.selectedCount();
    if (!masterOpen || !printOpen || selectedLines == 0) {
        rep_.ui.messageBox("Caricamento domande per blocchi di argomenti: database " +
                           (rules.codeInUnavailableText ? code + " " : std::string()) +
                           "non disponibili o argomenti non selezionati.\r\nDbPrint: " +
                           detail::trueFalse(printOpen) +
                           " - DbMaster: " + detail::trueFalse(masterOpen) +
                           " - Argomenti selezionati: " + std::to_string(selectedLines));
        return false;
    }

    // The selected topics in list order, each with its number.
    std::vector<data::TArgomento> selected;
    int beyondSetPosition = 0;
    const std::size_t common = std::min(qd_.Argomenti.size(), qd_.LbArgomenti.count());
    for (std::size_t k = 0; k < common; ++k) {
        if (k >= qd_.LbArgomenti.selected.size() || !qd_.LbArgomenti.selected[k])
            continue;
        data::TArgomento topic = qd_.Argomenti[k];
        topic.Item = static_cast<int>(k) + 1;
        if (topic.Item > kMaxTopicNumber && beyondSetPosition == 0)
            beyondSetPosition = topic.Item;
        selected.push_back(std::move(topic));
    }
    const int n = static_cast<int>(selectedLines);
    const int rows = topicTableRows(m);
    if (n > rows) {
        rep_.ui.messageBox("Troppi argomenti selezionati per una scheda " + code + ": " +
                           std::to_string(n) + " (al massimo " + std::to_string(rows) +
                           ").\r\nLa scheda non viene composta.");
        return false;
    }
    if (beyondSetPosition != 0) {
        rep_.ui.messageBox("L'argomento n. " + std::to_string(beyondSetPosition) +
                           " non pu\u00f2 essere usato su una scheda: si possono scegliere solo i "
                           "primi " +
                           std::to_string(kMaxTopicNumber) +
                           " argomenti della lista.\r\nLa scheda non viene composta.");
        return false;
    }
    if (selected.size() != selectedLines) {
        rep_.ui.messageBox("Argomenti selezionati non corrispondenti alla lista argomenti: " +
                           std::to_string(selectedLines) + " righe selezionate, " +
                           std::to_string(selected.size()) +
                           " argomenti.\r\nLa scheda non viene composta.");
        return false;
    }
    const std::span<const int> plan = topicTableRow(m, n);
    CategoryArrays& a = arrays_[m - 1];
    const int q = questionsPerSheet(m) / n + 1;
    if (plan.size() != a.sheet.size()) {
        throw std::logic_error("distribution row " + std::to_string(n) + " of " + code +
                               " does not fill the sheet");
    }

    data::Table& t = *print;
    detail::ControlsOff controls(t);
    detail::OrderRestore restore(t);  // no range and the caller's order on the way out
    t.CancelRange();

    // Topics that have fewer unprinted questions than the sheet may take start afresh.
    // The counts are those of the last recount, except for topics composition has reset
    // since: their count would still hold the marks the reset cleared, and resetting
    // them again would wipe the sheets just composed.
    if (resetTopicsFile_ != qd_.FilePrintr) {
        resetTopics_.clear();
        resetTopicsFile_ = qd_.FilePrintr;
    }
    for (data::TArgomento& topic : selected) {
        if (resetTopics_.count(topic.Indice))
            topic.RecordSvolti = syncTopicCount(topic.Indice);
        const int left = topic.RecordTotali - topic.RecordSvolti;
        if (left >= q)
            continue;
        if (!rep_.switches.CkNoDebugMssg) {
            rep_.ui.messageBox("L'argomento " + topic.Testo + " " + topic.Indice +
                               " ha bisogno di essere resettato,\r\ncontrollo effettuato prima "
                               "del ciclo sulle domande.\r\nContiene " +
                               std::to_string(left) + " domande, ne servono almeno " +
                               std::to_string(q));
        }
        resetTopic(topic.Indice);
        topic.RecordSvolti = syncTopicCount(topic.Indice);
    }

    const PickFields pf = pickFields(t, TipoSequenza);
    const MarkFields mf = markFields(t, "dtNormali", "rsNormali");
    detail::MasterRows master(qd_.CdsMaster);
    const bool addInfo = rep_.switches.CkAddInfoText;

    // Item of the topic whose rows the history shows now; 0 when it must be set again.
    // Consecutive slots of one topic keep the view: its filter answers do not change,
    // except for the row just marked, which the history asks the filter about again.
    int shownTopic = 0;
    std::set<int> exhausted;  // topics whose every question is on this sheet already
    for (std::size_t i = 0; i < plan.size(); ++i) {
        const data::TArgomento& topic = selected[static_cast<std::size_t>(plan[i] - 1)];
        auto filter = [&] {
            shownTopic = 0;
            try {
                applyTopicFilter(t, topic);
                shownTopic = topic.Item;
            } catch (const std::exception& e) {
                if (rep_.switches.CkNoExceptMsg) {
                    rep_.log.ScriviErrorLog("", 0, name + " Filter - " + e.what());
                } else if (rules.topicFilterError == detail::WithoutLog::Beep) {
                    rep_.log.SegnaleAcustico(0);
                } else {
                    throw;
                }
                result = false;
            }
        };
        if (shownTopic != topic.Item)
            filter();
        const std::size_t visible = t.RecordCount();
        if (visible == 0 && exhausted.count(topic.Item)) {
            t.SetFiltered(false);
            shownTopic = 0;
        } else if (visible == 0) {
            if (!rep_.switches.CkNoDebugMssg) {
                const auto item = static_cast<std::size_t>(topic.Item);
                const std::string listCode = item >= 1 && item <= qd_.Argomenti.size()
                                                 ? qd_.Argomenti[item - 1].Indice
                                                 : std::string();
                rep_.ui.messageBox("Attenzione zero record per l'argomento: [" +
                                   std::to_string(topic.Item) + "]\r\n" + topic.Testo + "  (" +
                                   topic.Indice + " = " + listCode +
                                   ")\r\ncontrollo effettuato durante il ciclo sulle domande.\r\n  "
                                   " Rec.filtrati: " +
                                   std::to_string(visible) + " ,  NumArgSel: " + std::to_string(n) +
                                   " ,  i (n.dom): " + std::to_string(i + 1));
            }
            // The questions already on this sheet stay marked, so none can come twice.
            std::vector<int> onSheet;
            onSheet.reserve(i);
            for (std::size_t j = 0; j < i; ++j)
                onSheet.push_back(a.sheet[j].IdMaster);
            result = resetTopic(topic.Indice, onSheet);
            filter();  // the reset walked the whole history; the topic's rows come back
            if (shownTopic == topic.Item && t.RecordCount() == 0) {
                // Every question of the topic is on the sheet already: it has to give
                // one of them again, drawn among all its rows, printed or not.
                exhausted.insert(topic.Item);
                t.SetFiltered(false);
                shownTopic = 0;
            }
        }
        // A topic without any question: the sheet cannot be composed.
        const std::optional<int> drawn = pick(t, pf, TipoSequenza, false, 0);
        if (!drawn)
            return false;
        TDomandaPrint& slot = a.sheet[i];
        slot.IdMaster = *drawn;
        if (!master.find(*drawn)) {
            // A blank slot would be printed as if the sheet were whole.
            rep_.error(1, name + " - ", "",
                       "La domanda " + std::to_string(*drawn) +
                           " del print database non esiste nel database master: la scheda non "
                           "viene composta.");
            return false;
        }
        detail::fillSlot(slot, a.keys[i], master.question(), addInfo);
        try {
            // The picker left the cursor on the drawn row; once marked it no longer
            // passes the filter, so it cannot come again on this sheet.
            markCurrentRow(t, mf);
            result = true;
        } catch (const std::exception& e) {
            if (!rep_.switches.CkNoExceptMsg)
                throw;
            rep_.log.ScriviErrorLog("", 0, name + " Edit - " + e.what());
            result = false;
        }
        qd_.pumpEventsThrottled();
        if (progress_.Interruzione()) {
            result = false;
            break;
        }
    }
    if (!t.Filtered())
        t.SetFiltered(true);  // a last draw among all of a topic's rows left it off
    return result;
}

}  // namespace vexora::compose
