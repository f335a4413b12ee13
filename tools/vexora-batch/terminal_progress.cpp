#include "terminal_progress.h"

#include <algorithm>

namespace vexora::batch {

TerminalProgress::TerminalProgress(std::FILE* out, bool isTerminal,
                                   const std::atomic<bool>& interruptRequest)
    : out_(out), terminal_(isTerminal), interrupt_(interruptRequest) {}

void TerminalProgress::pollInterrupt() {
    if (interrupt_.load() && !state_.interruption) {
        state_.interruption = true;
        endLine();
        std::fprintf(out_, "Interruzione processo da parte dell'utente, attendere...\n");
    }
}

bool TerminalProgress::Interruzione() const { return state_.interruption || interrupt_.load(); }

void TerminalProgress::endLine() {
    if (lineOpen_) {
        std::fputc('\n', out_);
        lineOpen_ = false;
    }
}

void TerminalProgress::messageBox(std::string_view text) {
    ++messages_;
    endLine();
    std::string oneLine(text);
    std::replace(oneLine.begin(), oneLine.end(), '\r', ' ');
    std::replace(oneLine.begin(), oneLine.end(), '\n', ' ');
    std::fprintf(out_, "ATTENZIONE: %s\n", oneLine.c_str());
    std::fflush(out_);
}

bool TerminalProgress::askYesNo(std::string_view text) {
    messageBox(std::string(text) + " (s\u00ec)");
    return true;
}

void TerminalProgress::draw(bool force) {
    const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(
                             std::chrono::steady_clock::now() - start_)
                             .count();
    // Ten units per sheet on the lower bar; the first 10 are the run's start.
    const int sheetsDone = std::max(0, state_.posTot / 10);
    if (terminal_) {
        const int width = 24;
        const int filled =
            state_.maxTot > 0 ? std::clamp(state_.posTot * width / state_.maxTot, 0, width) : 0;
        std::string bar(static_cast<std::size_t>(filled), '#');
        bar.append(static_cast<std::size_t>(width - filled), '-');
        std::string info = state_.info;
        if (info.size() > 70) info = info.substr(0, 67) + "...";
        std::fprintf(out_, "\r\x1b[2K[%s] scheda %d | %02lld:%02lld | %s", bar.c_str(), sheetsDone,
                     static_cast<long long>(elapsed / 60), static_cast<long long>(elapsed % 60),
                     info.c_str());
        lineOpen_ = true;
        std::fflush(out_);
    } else if (force || state_.info != lastPlain_) {
        lastPlain_ = state_.info;
        if (!state_.info.empty()) {
            std::fprintf(out_, "[%02lld:%02lld] %s\n", static_cast<long long>(elapsed / 60),
                         static_cast<long long>(elapsed % 60), state_.info.c_str());
            std::fflush(out_);
        }
    }
}

bool TerminalProgress::Progress(int posPar, int maxPar, int posTot, int maxTot,
                                std::string_view title, std::string_view info) {
    const bool wasVisible = state_.visible;
    const std::string oldTitle = state_.title;
    state_.apply(posPar, maxPar, posTot, maxTot, title, info);
    if (!wasVisible || state_.title != oldTitle) {
        endLine();
        std::fprintf(out_, "%s\n", state_.title.c_str());
    }
    draw(false);
    pollInterrupt();
    return Interruzione();
}

void TerminalProgress::ProgressReset() {
    state_.reset();
    start_ = std::chrono::steady_clock::now();
}

void TerminalProgress::ProgressFull() {
    state_.fill();
    draw(true);
    close();
}

void TerminalProgress::Delay(unsigned) { pollInterrupt(); }

void TerminalProgress::setInfo(std::string_view info) {
    state_.info = std::string(info);
    draw(false);
}

void TerminalProgress::close() {
    state_.visible = false;
    endLine();
}

}  // namespace vexora::batch
