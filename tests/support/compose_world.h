#pragma once

// A fresh composition world: the question world's services with a platform that records
// tones (and does not sleep for them), a progress reporter that can ask for an
// interruption after a chosen number of checks, generated category data and the
// composer under test.

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "compose/plans.h"
#include "compose/sheet_composer.h"
#include "core/catalogue.h"
#include "data/table_file.h"
#include "support/question_world.h"

namespace vexora::test {

// The system platform without the tone's pause, remembering every tone.
class ToneRecordingPlatform : public SystemPlatform {
public:
    std::vector<std::pair<unsigned, unsigned>> tones;
    void beep(unsigned frequencyHz, unsigned durationMs) override {
        tones.emplace_back(frequencyHz, durationMs);
    }
};

// Answers the interruption request with true from its n-th reading on (never when
// interruptAt is 0).
class InterruptingProgress : public RecordingInteraction {
public:
    int interruptAt = 0;
    mutable int readings = 0;
    bool Interruzione() const override {
        ++readings;
        return interruptAt > 0 && readings >= interruptAt;
    }
};

inline std::string twoDigits(int n) {
    std::string text = std::to_string(n);
    if (text.size() < 2)
        text.insert(text.begin(), '0');
    return text;
}

// Topic code of a topic number: "T" and two digits.
inline std::string topicCode(int n) {
    std::string code(1, 'T');
    code += twoDigits(n);
    return code;
}

// A master in which each of chapters 01..chapters holds perChapter questions; topic of
// a question: "T" + its chapter. Every fifth question refers to its figure in its text.
inline std::vector<MasterRow> chapterMaster(int chapters, int perChapter) {
    std::vector<MasterRow> rows;
    int id = 1;
    for (int c = 1; c <= chapters; ++c) {
        for (int k = 0; k < perChapter; ++k, ++id) {
            MasterRow r{id, twoDigits(c), topicCode(c)};
            r.domanda = 1 + k % 9;
            r.risposta = id % 3 != 0;
            r.blocco = std::to_string(100 + c);
            if (id % 5 == 0) {
                r.figura = std::to_string(id);
                r.testo = "Domanda " + std::to_string(id) + " (" + r.figura + ") sul segnale";
            } else {
                r.testo = "Domanda " + std::to_string(id);
            }
            rows.push_back(std::move(r));
        }
    }
    return rows;
}

// A master whose topic k (code "Tkk", 1-based) holds sizes[k - 1] questions, all in
// chapter 01, ids in topic order.
inline std::vector<MasterRow> topicMaster(const std::vector<int>& sizes) {
    std::vector<MasterRow> rows;
    int id = 1;
    for (std::size_t k = 0; k < sizes.size(); ++k) {
        for (int i = 0; i < sizes[k]; ++i, ++id) {
            MasterRow r{id, "01", topicCode(static_cast<int>(k) + 1)};
            r.testo = "Domanda " + std::to_string(id);
            rows.push_back(std::move(r));
        }
    }
    return rows;
}

// Topics "Argomento 1".."Argomento n" with codes T01..Tnn.
inline std::vector<TopicRow> numberedTopics(int n) {
    std::vector<TopicRow> topics;
    for (int k = 1; k <= n; ++k)
        topics.push_back({"Argomento " + std::to_string(k), topicCode(k)});
    return topics;
}

struct ComposeWorld {
    TempDir dir;
    ToneRecordingPlatform platform;
    Switches switches;
    ProgramState state{dir.folder()};
    RunLog log{platform, dir.folder(), switches};
    RecordingInteraction ui;
    Reporting reporting{log, switches, ui};
    data::QuestionData qd{reporting, platform, state};
    InterruptingProgress progress;
    compose::SheetComposer composer;

    explicit ComposeWorld(std::uint32_t seed = 12345) : composer(qd, reporting, progress, seed) {
        switches.CkProgFlowLog = true;  // tests read the flow lines too
    }

    std::string path(const std::string& name) const { return dir.file(name); }
    std::string logText() { return readText(log.currentFilePath()); }
    bool logHas(const std::string& text) { return logText().find(text) != std::string::npos; }

    // Writes and opens a category's master, print history and topic list, and makes it
    // the current category.
    void open(TModalitaQuiz m, const std::vector<MasterRow>& master,
              const std::vector<TopicRow>& topics) {
        state.currentCategory = m;
        const std::string masterPath = path(std::string(masterFile(m)));
        const std::string topicPath = path(std::string(topicListFile(m)));
        qd.FilePrintr = path(std::string(printHistoryFile(m)));
        qd.FileArgmnt = topicPath;
        writeMaster(masterPath, master);
        writeTopicList(topicPath, topics);
        if (!qd.CaricaMaster(masterPath))
            throw std::runtime_error("master not loaded");
        if (!qd.CaricaPrintDb(qd.FilePrintr))
            throw std::runtime_error("history not loaded");
        if (!qd.CaricaArgomenti(topicPath, false))
            throw std::runtime_error("topics not loaded");
    }

    // Selects topic lines (one-based topic numbers).
    void selectTopics(const std::vector<int>& numbers) {
        for (std::size_t k = 0; k < qd.LbArgomenti.count(); ++k)
            qd.LbArgomenti.select(k, false);
        for (int n : numbers)
            qd.LbArgomenti.select(static_cast<std::size_t>(n - 1));
    }

    data::Table& history() { return *qd.CdsPrint; }

    // History rows by IdMaster: (dt value, rs value) of a field pair.
    std::map<int, std::pair<data::Value, data::Value>> marks(const std::string& word) {
        std::map<int, std::pair<data::Value, data::Value>> out;
        const data::Table& t = *qd.CdsPrint;
        const auto id = *t.FindFieldIndex("IdMaster");
        const auto dt = *t.FindFieldIndex("dt" + word);
        const auto rs = *t.FindFieldIndex("rs" + word);
        for (const auto& row : t.Data().rows) {
            out[static_cast<int>(std::get<std::int64_t>(row[id]))] = {row[dt], row[rs]};
        }
        return out;
    }

    // IdMasters whose dt field of the pair is set.
    std::set<int> marked(const std::string& word) {
        std::set<int> out;
        for (const auto& [id, pair] : marks(word)) {
            if (!data::isNull(pair.first))
                out.insert(id);
        }
        return out;
    }

    // Rows of the print history file as saved (not the table in memory) with an exam date.
    int savedExamMarks() const {
        const auto t = data::loadTableFile(qd.FilePrintr);
        int n = 0;
        for (const auto& row : t.rows)
            n += !data::isNull(row[14]);
        return n;
    }

    // Capitolo and Indice of a master question by Id.
    std::map<int, std::pair<std::string, std::string>> masterIndex() {
        std::map<int, std::pair<std::string, std::string>> out;
        const data::Table& t = qd.CdsMaster;
        const auto id = *t.FindFieldIndex("Id");
        const auto cap = *t.FindFieldIndex("Capitolo");
        const auto ind = *t.FindFieldIndex("Indice");
        for (const auto& row : t.Data().rows) {
            out[static_cast<int>(std::get<std::int64_t>(row[id]))] = {
                std::get<std::string>(row[cap]), std::get<std::string>(row[ind])};
        }
        return out;
    }
};

}  // namespace vexora::test
