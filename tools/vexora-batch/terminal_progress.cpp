#include "terminal_progress.h"

#include <algorithm>
#include <cstdlib>

#include "core/codepage.h"

#ifndef _WIN32
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace vexora::batch {
namespace {

// Width of the terminal `out` writes to; COLUMNS, then 80, when it cannot be asked.
int terminalColumns(std::FILE* out) {
#ifndef _WIN32
    winsize size{};
    const int fd = out ? ::fileno(out) : -1;
    if (fd >= 0 && ::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
#else
    (void)out;
#endif
    if (const char* env = std::getenv("COLUMNS")) {
        const int n = std::atoi(env);
        if (n > 0)
            return n;
    }
    return 80;
}

// The first `count` characters (code points) of a UTF-8 text.
std::string firstCharacters(std::string_view text, std::size_t count) {
    std::size_t pos = 0;
    for (std::size_t n = 0; n < count && pos < text.size(); ++n)
        decodeUtf8(text, pos);
    return std::string(text.substr(0, pos));
}

// The texts a sheet goes through before its outcome: left out of plain output, which
// keeps one line per sheet ("Avvio stampa ..." or "ERRORE sulla scheda ...").
bool isSheetStep(std::string_view info) {
    return info.rfind("Preparazione della scheda n. ", 0) == 0 ||
           info.rfind("Ricombinazione dell'ordinamento delle domande", 0) == 0;
}

}  // namespace

TerminalProgress::TerminalProgress(std::FILE* out, bool isTerminal,
                                   const std::atomic<bool>& interruptRequest)
    : out_(out),
      terminal_(isTerminal),
      columns_(isTerminal ? terminalColumns(out) : 80),
      interrupt_(interruptRequest) {}

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

void TerminalProgress::printLine(const char* label, std::string_view text) {
    ++messages_;
    endLine();
    std::string oneLine(text);
    std::replace(oneLine.begin(), oneLine.end(), '\r', ' ');
    std::replace(oneLine.begin(), oneLine.end(), '\n', ' ');
    std::fprintf(out_, "%s: %s\n", label, oneLine.c_str());
    std::fflush(out_);
    if (terminal_ && state_.visible)
        draw();  // the progress line comes back below the message
}

void TerminalProgress::messageBox(std::string_view text) {
    printLine("ATTENZIONE", text);
}

void TerminalProgress::logEntry(std::uint8_t level, std::string_view message) {
    printLine(level <= 1 ? "ERRORE" : "AVVISO", message);
}

bool TerminalProgress::askYesNo(std::string_view text) {
    messageBox(std::string(text) + " (s\u00ec)");
    return true;
}

void TerminalProgress::draw() {
    const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(
                             std::chrono::steady_clock::now() - start_)
                             .count();
    // Ten units per sheet on the lower bar; the first 10 are the run's start.
    // The bar's total is (n + 3) * 10: the last steps (saving, full bar) are no sheets.
    const int sheetsDone = std::clamp(state_.posTot / 10, 0, std::max(0, state_.maxTot / 10 - 3));
    if (terminal_) {
        const int width = 24;
        const int filled =
            state_.maxTot > 0 ? std::clamp(state_.posTot * width / state_.maxTot, 0, width) : 0;
        std::string bar(static_cast<std::size_t>(filled), '#');
        bar.append(static_cast<std::size_t>(width - filled), '-');
        char head[96];
        std::snprintf(head, sizeof head, "[%s] scheda %d | %02lld:%02lld | ", bar.c_str(),
                      sheetsDone, static_cast<long long>(elapsed / 60),
                      static_cast<long long>(elapsed % 60));
        // A line wider than the terminal would wrap, and "\r" would then rewrite only its
        // last part: the whole line is kept one character short of the width.
        std::string line = head;
        line += state_.info;
        const std::size_t room = static_cast<std::size_t>(std::max(columns_ - 1, 10));
        if (utf8Length(line) > room)
            line = firstCharacters(line, room - 3) + "...";
        std::fprintf(out_, "\r\x1b[2K%s", line.c_str());
        lineOpen_ = true;
        std::fflush(out_);
    } else if (state_.info != lastPlain_) {
        lastPlain_ = state_.info;
        if (!state_.info.empty() && !isSheetStep(state_.info)) {
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
    draw();
    pollInterrupt();
    return Interruzione();
}

void TerminalProgress::ProgressReset() {
    state_.reset();
    start_ = std::chrono::steady_clock::now();
}

void TerminalProgress::ProgressFull() {
    state_.fill();
    draw();
    close();
}

void TerminalProgress::Delay(unsigned) { pollInterrupt(); }

void TerminalProgress::setInfo(std::string_view info) {
    state_.info = std::string(info);
    draw();
}

void TerminalProgress::close() {
    state_.visible = false;
    endLine();
}

}  // namespace vexora::batch
