#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "core/user_interaction.h"

namespace vexora::batch {

// The print run's progress on a terminal: one line with a bar, sheets done, elapsed
// time and the run's text, rewritten in place and cut to the terminal's width, on
// standard error. When it is not a terminal, plain lines instead: one per sheet (the
// steps of composing a sheet are left out), per answer key and per warning. Message
// boxes and the run log's errors become lines; questions are answered Yes. Delay does
// not wait: it only looks at the interruption request (Ctrl+C), which counts like
// "Interrompi".
class TerminalProgress : public UserInteraction, public ProgressReporter {
public:
    // The terminal's width is asked of `out` (COLUMNS, then 80, when it cannot say).
    TerminalProgress(std::FILE* out, bool isTerminal, const std::atomic<bool>& interruptRequest);

    void messageBox(std::string_view text) override;
    // An error or alert the run log received (RunLog::setEcho).
    void logEntry(std::uint8_t level, std::string_view message);
    bool askYesNo(std::string_view text) override;
    void processEvents() override { pollInterrupt(); }
    void setWaitCursor(bool on) override { wait_ = on; }
    bool waitCursor() const override { return wait_; }

    bool Progress(int posPar, int maxPar, int posTot, int maxTot, std::string_view title,
                  std::string_view info) override;
    void ProgressReset() override;
    void ProgressFull() override;
    void Delay(unsigned ms) override;
    bool Interruzione() const override;
    void setInterruzione(bool value) override { state_.interruption = value; }
    bool escapeHeld() override { return false; }
    void setInfo(std::string_view info) override;
    void close() override;
    bool visible() const override { return state_.visible; }

    // Messages shown during the run (for the summary).
    int messageCount() const { return messages_; }

private:
    void pollInterrupt();
    void draw();
    void endLine();
    void printLine(const char* label, std::string_view text);

    std::FILE* out_;
    bool terminal_;
    int columns_ = 80;
    const std::atomic<bool>& interrupt_;
    ProgressState state_;
    bool wait_ = false;
    bool lineOpen_ = false;
    int messages_ = 0;
    std::string lastPlain_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace vexora::batch
