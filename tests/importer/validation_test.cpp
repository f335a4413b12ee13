#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "compose/plans.h"
#include "importer/question_list.h"

namespace vexora::importer {
namespace {

// A valid S2 list (plan: 05 05 06 07 07 07 08 09 10 10): every chapter gets `each`
// questions; extra lines are appended as given.
std::string s2List(int each, const std::string& extra = {}) {
    std::string csv = "Id;Testo;Risposta;Capitolo;Argomento\n";
    int id = 1;
    for (const char* ch : {"05", "06", "07", "08", "09", "10"})
        for (int i = 0; i < each; ++i, ++id)
            csv += std::to_string(id) + ";Domanda " + std::to_string(id) + ";V;" + ch + ";Tema " +
                   ch + "\n";
    return csv + extra;
}

QuestionList read(const std::string& csv, TModalitaQuiz m = mqSuperC0) {
    return readQuestionList(csv, "lista.csv", m, {});
}

bool hasIssue(const std::vector<Issue>& issues, int line, const std::string& column,
              const std::string& part) {
    return std::any_of(issues.begin(), issues.end(), [&](const Issue& i) {
        return i.line == line && i.columnName == column && i.text.find(part) != std::string::npos;
    });
}

TEST(QuestionList, BuildsMasterTopicsAndCodes) {
    const QuestionList l = read(s2List(4));
    ASSERT_TRUE(l.ok()) << formatReport(l);
    EXPECT_EQ(l.master.rows.size(), 24u);
    ASSERT_EQ(l.topics.size(), 6u);
    EXPECT_EQ(l.topics[0].Testo, "Tema 05");
    EXPECT_EQ(l.topics[0].Indice, "A01");
    EXPECT_EQ(l.topics[0].Argomento, "A");
    EXPECT_EQ(l.topics[0].SubArgomento, "01");
    EXPECT_EQ(l.topics[0].questions, 4);
    const auto& row = l.master.rows[5];                // 2nd question of chapter 06
    EXPECT_EQ(std::get<std::string>(row[8]), "A02");   // Indice
    EXPECT_EQ(std::get<std::string>(row[6]), "0601");  // Blocco
    EXPECT_EQ(std::get<std::int64_t>(row[7]), 2);      // Domanda
}

TEST(QuestionList, ReportsEveryProblemWithLineAndColumn) {
    const std::string s300(300, 'x');
    const QuestionList l =
        read(s2List(3,
                    "19;   ;V;05;Tema\n"  // line 20
                    "20;Troppo " +
                        std::string(400, 'a') +
                        ";V;05;T\n"
                        "21;Bene;forse;05;T\n"
                        "22;Bene;V;11;T\n"
                        "5;Doppio;V;05;T\n"
                        "x;Bene;V;05;T\n"
                        "26;Citt\xC3\xA0 \xC2\x92;V;05;T\n"              // U+0092
                        "27;Simbolo \xE2\x82\xAC \xE2\x86\x92;V;05;T\n"  // € ok, → not
                        "28;Pochi;V\n"
                        "29;Tanti;V;05;T;x\n"));
    EXPECT_FALSE(l.ok());
    EXPECT_TRUE(l.master.rows.empty());
    EXPECT_TRUE(hasIssue(l.errors, 20, "Testo", "vuoto"));
    EXPECT_TRUE(hasIssue(l.errors, 21, "Testo", "al massimo 400"));
    EXPECT_TRUE(hasIssue(l.errors, 22, "Risposta", "\u00abforse\u00bb"));
    EXPECT_TRUE(hasIssue(l.errors, 23, "Capitolo", "\u00ab11\u00bb non è nel piano"));
    EXPECT_TRUE(hasIssue(l.errors, 24, "Id", "già usato alla riga 6"));
    EXPECT_TRUE(hasIssue(l.errors, 25, "Id", "non è un numero"));
    EXPECT_TRUE(hasIssue(l.errors, 26, "Testo", "U+0092"));
    EXPECT_TRUE(hasIssue(l.errors, 27, "Testo", "\u00ab\u2192\u00bb (U+2192)"));
    EXPECT_TRUE(hasIssue(l.errors, 28, "", "3 campi, l'intestazione 5"));
    EXPECT_TRUE(hasIssue(l.errors, 29, "", "6 campi"));
    // Chapter 07 fills three slots of a sheet and has three questions: enough; the report
    // names the column number too.
    EXPECT_EQ(l.errors.size(), 10u) << formatReport(l);
    const std::string report = formatReport(l);
    EXPECT_NE(report.find("riga 22, colonna 3 (Risposta): "), std::string::npos);
    EXPECT_NE(report.find("non è stato scritto nulla"), std::string::npos);
}

TEST(QuestionList, ChaptersNeedTheQuestionsOfOneExamSheet) {
    const QuestionList l = read(s2List(1));
    EXPECT_TRUE(hasIssue(l.errors, 0, "",
                         "il capitolo 07 ha 1 domanda: una scheda d'esame ne richiede almeno 3"));
    EXPECT_TRUE(hasIssue(l.errors, 0, "",
                         "il capitolo 05 ha 1 domanda: una scheda d'esame ne richiede almeno 2"));
    EXPECT_FALSE(hasIssue(l.errors, 0, "", "il capitolo 06"));
}

TEST(QuestionList, AnswersChaptersAndBlanksAreRead) {
    std::string csv = "Testo,Risposta,Capitolo\n";
    const char* answers[] = {"V", "vero", "TRUE", "1", "F", "Falso", "false", "0"};
    int n = 0;
    for (const char* ch : {"5", "06", "07", "08", "09", "10"})
        for (int i = 0; i < 4; ++i, ++n)
            csv += std::string(n == 0 ? "\"  Due  spazi \"\"qui\"\",  ok \"" : "Testo") + "," +
                   answers[n % 8] + "," + ch + "\n";
    const QuestionList l = read(csv);
    ASSERT_TRUE(l.ok()) << formatReport(l);
    EXPECT_EQ(l.separator, ',');
    EXPECT_TRUE(l.idsAssigned);
    EXPECT_TRUE(l.topicsFromChapters);
    EXPECT_EQ(l.textsTidied, 1);
    EXPECT_EQ(std::get<std::string>(l.master.rows[0][1]), "Due spazi \"qui\", ok");
    EXPECT_EQ(std::get<std::string>(l.master.rows[0][9]), "05");
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(std::get<bool>(l.master.rows[static_cast<std::size_t>(i)][2]), i < 4) << i;
    EXPECT_EQ(std::get<std::int64_t>(l.master.rows[23][0]), 24);  // ids by line order
    EXPECT_EQ(l.topics.size(), 6u);
    EXPECT_EQ(l.topics[0].Testo, "Capitolo 05");
}

TEST(QuestionList, RefusesMoreTopicsThanTheTopicSetsHold) {
    std::string csv = "Testo;Risposta;Capitolo;Argomento\n";
    for (int i = 0; i < compose::kMaxTopicNumber + 1; ++i)
        for (const char* ch : {"05", "06", "07", "08", "09", "10"})
            csv += std::string("T;V;") + ch + ";Tema " + std::to_string(i) + ch + "\n";
    const QuestionList l = read(csv);
    EXPECT_TRUE(hasIssue(l.errors, 0, "", "ne ammettono al massimo 31"));
}

TEST(QuestionList, TopicCodesAndTitlesMustAgree) {
    const QuestionList l = read(s2List(4) + "90;T;V;05;Altro titolo\n", mqSuperC0);
    ASSERT_TRUE(l.ok());  // a new title without a code is a new topic
    std::string csv = "Testo;Risposta;Capitolo;Indice;Argomento\n";
    for (const char* ch : {"05", "06", "07", "08", "09", "10"})
        for (int i = 0; i < 3; ++i)
            csv += std::string("T;V;") + ch + ";B07;Tema\n";
    csv += "T;V;05;B07;Tema diverso\n";
    const QuestionList m = read(csv);
    EXPECT_TRUE(hasIssue(m.errors, 20, "Argomento", "prima \u00abTema\u00bb")) << formatReport(m);
}

TEST(QuestionList, RefusesFilesThatAreNoList) {
    for (const std::string& bad :
         {std::string(), std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16),
          std::string("Domanda;Vero\nuno;V\n"), std::string("Testo;Risposta;Capitolo\n")}) {
        const QuestionList l = read(bad);
        EXPECT_FALSE(l.ok());
        ASSERT_FALSE(l.errors.empty());
        EXPECT_EQ(l.errors[0].line == 0 || l.errors[0].line == 1, true) << l.errors[0].text;
    }
    EXPECT_TRUE(hasIssue(read("Domanda;Vero\nuno;V\n").errors, 1, "",
                         "non ha le colonne richieste: Testo, Risposta, Capitolo"));
}

TEST(QuestionList, FigureNamesCannotLeaveTheirFolder) {
    const QuestionList l = read("Testo;Risposta;Capitolo;Figura\nT;V;05;../a\n");
    EXPECT_TRUE(hasIssue(l.errors, 2, "Figura", "non è un nome di file"));
}

}  // namespace
}  // namespace vexora::importer
