#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "report/report_output.h"

namespace vexora::print {

// Worker threads for PDF output: "workers" should be the hardware threads, at most 4.
int outputWorkerCount();

// PDF files drawn on worker threads while the owner composes the next sheets. Runs are
// drawn in parallel but written in the order they were queued, and their outcomes are
// taken back on the owner's thread, oldest first, so the owner settles each one in its
// place. Only the owner's thread calls the member functions.
class OutputQueue {
public:
    explicit OutputQueue(int workers);
    // Runs not yet started are dropped (not written); running ones finish.
    ~OutputQueue();
    OutputQueue(const OutputQueue&) = delete;
    OutputQueue& operator=(const OutputQueue&) = delete;

    struct Outcome {
        bool written = false;
        std::string error;  // why it was not written; empty when cancelled or skipped
    };
    // A sheet's run is written whatever came before it; an answer key's run is skipped
    // when a sheet queued before it and not yet taken when it was queued was not written.
    enum class Role { Sheet, AnswerKey };
    // A file written atomically just before the run's PDF (the key's text file).
    struct ExtraFile {
        std::string path;
        std::string bytes;
    };

    void submit(report::ReportOutput::FileRun run, Role role = Role::Sheet,
                std::vector<ExtraFile> before = {});
    // Queued and not yet taken.
    std::size_t pending() const { return owned_.size(); }
    // Waits for the oldest run; pump runs every few milliseconds meanwhile.
    Outcome takeOldest(const std::function<void()>& pump);

private:
    struct Job {
        std::uint64_t seq = 0;
        Role role = Role::Sheet;
        std::uint64_t firstPending = 0;  // oldest run not taken when this one was queued
        std::vector<ExtraFile> before;
        report::ReportOutput::FileRun run;
        bool done = false;
        Outcome outcome;
    };
    void work(const std::stop_token& stop);

    std::mutex mutex_;
    std::condition_variable_any changed_;
    std::deque<std::shared_ptr<Job>> queued_;  // not started, in order
    std::deque<std::shared_ptr<Job>> owned_;   // not taken yet, in order
    std::uint64_t nextSeq_ = 0;
    std::uint64_t nextWrite_ = 0;
    std::optional<std::uint64_t> lastFailedSheet_;
    std::atomic<bool> cancel_{false};
    std::vector<std::jthread> threads_;  // last: stopped and joined first
};

}  // namespace vexora::print
