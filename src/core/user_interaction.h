#pragma once

#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vexora {

// How the window-free layers talk to the user. The Qt windows implement it; tests use
// RecordingInteraction and headless programs QuietInteraction.
class UserInteraction {
public:
    virtual ~UserInteraction() = default;
    // Message box with an OK button; returns when the user closed it.
    virtual void messageBox(std::string_view text) = 0;
    // Yes/No question; true for Yes.
    virtual bool askYesNo(std::string_view text) = 0;
    // Lets the windows process pending events (painting, "Interrompi", Escape).
    virtual void processEvents() = 0;
    // Shows or hides the wait cursor.
    virtual void setWaitCursor(bool on) = 0;
    virtual bool waitCursor() const = 0;
};

// The progress contract of a print run. Integer arguments below 0 and text
// arguments equal to "-1" leave their element unchanged.
class ProgressReporter {
public:
    virtual ~ProgressReporter() = default;
    // Reports progress; shows the display when hidden; returns the interruption request.
    virtual bool Progress(int posPar, int maxPar, int posTot, int maxTot, std::string_view title,
                          std::string_view info) = 0;
    // Start of a run: clears the interruption request, both bars to 0.
    virtual void ProgressReset() = 0;
    // End of a successful run: both bars full, a pause, then the display closes.
    virtual void ProgressFull() = 0;
    // Pauses for at least ms milliseconds while processing events.
    virtual void Delay(unsigned ms) = 0;
    // The interruption request ("Interrompi" pressed, Ctrl+C in a terminal).
    virtual bool Interruzione() const = 0;
    virtual void setInterruzione(bool value) = 0;
    // True while the Escape key is held down.
    virtual bool escapeHeld() = 0;
    // Shows a text in the information line.
    virtual void setInfo(std::string_view info) = 0;
    // Closes the display when visible.
    virtual void close() = 0;
    virtual bool visible() const = 0;
};

// The visible state of a progress display with the "-1" rules applied; window and
// terminal implementations keep one and draw from it.
struct ProgressState {
    int posPar = 0;
    int maxPar = 100;
    int posTot = 0;
    int maxTot = 100;
    std::string title;
    std::string info;
    bool visible = false;
    bool interruption = false;

    // Applies one Progress call and shows the display.
    void apply(int pPar, int mPar, int pTot, int mTot, std::string_view t, std::string_view i);
    void reset();
    void fill();
};

// Records every call for tests. Questions are answered from a queue (Yes when it
// is empty unless defaultAnswer says otherwise); Delay returns at once.
class RecordingInteraction : public UserInteraction, public ProgressReporter {
public:
    std::vector<std::string> calls;     // "messageBox: text", "Progress: ...", ...
    std::vector<std::string> messages;  // texts of message boxes, in order
    std::vector<std::string> questions; // texts of Yes/No questions, in order
    std::deque<bool> answers;
    bool defaultAnswer = true;
    int processEventsCount = 0;
    ProgressState progress;
    bool escape = false;
    // Called on every Progress and Delay; lets a test interrupt at a chosen moment.
    std::function<void(RecordingInteraction&)> onTick;
    unsigned delayedMs = 0;

    void messageBox(std::string_view text) override;
    bool askYesNo(std::string_view text) override;
    void processEvents() override;
    void setWaitCursor(bool on) override;
    bool waitCursor() const override { return wait_; }

    bool Progress(int posPar, int maxPar, int posTot, int maxTot, std::string_view title,
                  std::string_view info) override;
    void ProgressReset() override;
    void ProgressFull() override;
    void Delay(unsigned ms) override;
    bool Interruzione() const override { return progress.interruption; }
    void setInterruzione(bool value) override { progress.interruption = value; }
    bool escapeHeld() override { return escape; }
    void setInfo(std::string_view info) override;
    void close() override;
    bool visible() const override { return progress.visible; }

private:
    bool wait_ = false;
};

// For headless use: answers every question with Yes, never waits, and hands the
// texts of message boxes to a sink (standard error by default).
class QuietInteraction : public UserInteraction, public ProgressReporter {
public:
    explicit QuietInteraction(std::function<void(std::string_view)> messageSink = {});

    void messageBox(std::string_view text) override;
    bool askYesNo(std::string_view text) override;
    void processEvents() override {}
    void setWaitCursor(bool on) override { wait_ = on; }
    bool waitCursor() const override { return wait_; }

    bool Progress(int posPar, int maxPar, int posTot, int maxTot, std::string_view title,
                  std::string_view info) override;
    void ProgressReset() override { state_.reset(); }
    void ProgressFull() override;
    void Delay(unsigned) override {}
    bool Interruzione() const override { return state_.interruption; }
    void setInterruzione(bool value) override { state_.interruption = value; }
    bool escapeHeld() override { return false; }
    void setInfo(std::string_view info) override { state_.info = std::string(info); }
    void close() override { state_.visible = false; }
    bool visible() const override { return state_.visible; }
    const ProgressState& state() const { return state_; }

private:
    std::function<void(std::string_view)> sink_;
    ProgressState state_;
    bool wait_ = false;
};

}  // namespace vexora
