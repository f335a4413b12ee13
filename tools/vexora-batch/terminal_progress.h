#pragma once

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>

#include "core/user_interaction.h"

namespace vexora::batch {

// The print run's progress on a terminal: a bar with the run's texts, sheets done and
// elapsed time on standard error (plain lines when it is not a terminal). Message boxes
// become lines; questions are answered Yes. Delay does not wait: it only looks at the
// interruption request (Ctrl+C), which counts like "Interrompi".
class TerminalProgress : public UserInteraction, public ProgressReporter {
public:
    TerminalProgress(std::FILE* out, bool isTerminal, const std::atomic<bool>& interruptRequest);

    void messageBox(std::string_view text) override;
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
    void draw(bool force);
    void endLine();

    std::FILE* out_;
    bool terminal_;
    const std::atomic<bool>& interrupt_;
    ProgressState state_;
    bool wait_ = false;
    bool lineOpen_ = false;
    int messages_ = 0;
    std::string lastPlain_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace vexora::batch
