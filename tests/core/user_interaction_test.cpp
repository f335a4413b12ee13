#include "core/user_interaction.h"

#include <gtest/gtest.h>

using namespace vexora;

TEST(ProgressContract, MinusOneLeavesElementsUnchanged) {
    RecordingInteraction ui;
    ui.Progress(10, 100, 3, 40, "Titolo", "Info");
    EXPECT_FALSE(ui.Progress(-1, -1, -1, -1, "-1", "-1"));
    EXPECT_EQ(ui.progress.posPar, 10);
    EXPECT_EQ(ui.progress.maxTot, 40);
    EXPECT_EQ(ui.progress.title, "Titolo");
    EXPECT_EQ(ui.progress.info, "Info");
    ui.close();
    EXPECT_FALSE(ui.visible());
    ui.Progress(-1, -1, -1, -1, "-1", "-1");
    EXPECT_TRUE(ui.visible());  // a report shows the display again
}

TEST(ProgressContract, InterruptionStaysUntilReset) {
    RecordingInteraction ui;
    ui.setInterruzione(true);
    EXPECT_TRUE(ui.Progress(1, -1, -1, -1, "-1", "-1"));
    EXPECT_TRUE(ui.Interruzione());
    ui.ProgressReset();
    EXPECT_FALSE(ui.Interruzione());
    EXPECT_EQ(ui.progress.posPar, 0);
    EXPECT_EQ(ui.progress.posTot, 0);
}

TEST(RecordingInteraction, AnswersQuestionsFromItsQueue) {
    RecordingInteraction ui;
    ui.answers = {false, true};
    EXPECT_FALSE(ui.askYesNo("a?"));
    EXPECT_TRUE(ui.askYesNo("b?"));
    ui.defaultAnswer = false;
    EXPECT_FALSE(ui.askYesNo("c?"));
    EXPECT_EQ(ui.questions.size(), 3u);
    ui.Delay(800);
    EXPECT_EQ(ui.delayedMs, 800u);
}

TEST(QuietInteraction, HandsMessagesToItsSink) {
    std::string got;
    QuietInteraction ui([&](std::string_view t) { got = std::string(t); });
    ui.messageBox("Errore");
    EXPECT_EQ(got, "Errore");
    EXPECT_TRUE(ui.askYesNo("Continuare?"));
    ui.Progress(5, 10, -1, -1, "T", "-1");
    EXPECT_EQ(ui.state().posPar, 5);
    ui.ProgressFull();
    EXPECT_EQ(ui.state().posPar, 10);
    EXPECT_FALSE(ui.visible());
}
