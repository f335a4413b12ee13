// The batch command's progress display on a terminal.
#include "vexora-batch/terminal_progress.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/codepage.h"

using vexora::batch::TerminalProgress;

TEST(TerminalProgress, LineIsRewrittenInPlaceWithinTheTerminalWidth) {
    setenv("COLUMNS", "60", 1);
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    const std::atomic<bool> interrupt{false};
    {
        TerminalProgress p(out, true, interrupt);
        p.Progress(0, 100, 0, 60, "Stampa schede tipo esame C1", "-1");
        p.Progress(25, -1, -1, -1, "-1", "Preparazione della scheda n. 1 di 3, attendere...");
        p.setInfo("Attenzione! Impossibile trovare la figura: /opt/Plarn/PicSgn/" +
                  std::string(80, 'x') + "\u00e8.bmp");
        p.Progress(100, -1, -1, -1, "-1",
                   "Avvio stampa per una copia della scheda E001 in corso...");
    }
    unsetenv("COLUMNS");
    std::rewind(out);
    std::string text;
    for (int c; (c = std::fgetc(out)) != EOF;)
        text += static_cast<char>(c);
    std::fclose(out);

    // The title on a line of its own, then one line drawn again and again.
    const auto title = text.find("Stampa schede tipo esame C1\n");
    ASSERT_EQ(title, 0u) << text;
    const std::string rest = text.substr(title + 28);
    const auto newline = rest.find('\n');
    EXPECT_TRUE(newline == std::string::npos || newline == rest.size() - 1) << rest;
    int draws = 0;
    for (std::size_t at = rest.find("\r\x1b[2K"); at != std::string::npos;) {
        const std::size_t next = rest.find("\r\x1b[2K", at + 1);
        std::string shown =
            rest.substr(at + 5, next == std::string::npos ? std::string::npos : next - at - 5);
        if (!shown.empty() && shown.back() == '\n')
            shown.pop_back();
        EXPECT_LE(vexora::utf8Length(shown), 59u) << shown;
        ++draws;
        at = next;
    }
    EXPECT_EQ(draws, 4);
}
