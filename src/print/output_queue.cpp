#include "print/output_queue.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <optional>
#include <stdexcept>

#include "core/file_util.h"

namespace vexora::print {

int outputWorkerCount() {
    const unsigned hardware = std::thread::hardware_concurrency();
    return static_cast<int>(std::clamp(hardware, 1u, 4u));
}

OutputQueue::OutputQueue(int workers) {
    for (int i = 0; i < std::max(workers, 1); ++i)
        threads_.emplace_back([this](const std::stop_token& stop) { work(stop); });
}

OutputQueue::~OutputQueue() {
    cancel_ = true;
    {
        // Later than every running run, so none of those waits for them.
        std::lock_guard lock(mutex_);
        queued_.clear();
    }
    for (auto& t : threads_)
        t.request_stop();
    changed_.notify_all();
    threads_.clear();
}

void OutputQueue::submit(report::ReportOutput::FileRun run, Role role,
                         std::vector<ExtraFile> before) {
    auto job = std::make_shared<Job>();
    job->run = std::move(run);
    job->role = role;
    job->before = std::move(before);
    {
        std::lock_guard lock(mutex_);
        job->seq = nextSeq_++;
        job->firstPending = owned_.empty() ? job->seq : owned_.front()->seq;
        queued_.push_back(job);
        owned_.push_back(job);
    }
    changed_.notify_all();
}

OutputQueue::Outcome OutputQueue::takeOldest(const std::function<void()>& pump) {
    if (owned_.empty())
        return {};
    std::shared_ptr<Job> job = owned_.front();
    std::unique_lock lock(mutex_);
    while (!job->done) {
        changed_.wait_for(lock, std::chrono::milliseconds(10), [&] { return job->done; });
        if (!job->done && pump) {
            lock.unlock();
            pump();
            lock.lock();
        }
    }
    owned_.pop_front();
    return job->outcome;
}

void OutputQueue::work(const std::stop_token& stop) {
    for (;;) {
        std::shared_ptr<Job> job;
        {
            std::unique_lock lock(mutex_);
            if (!changed_.wait(lock, stop, [&] { return !queued_.empty(); }))
                return;
            job = queued_.front();
            queued_.pop_front();
        }
        Outcome outcome;
        std::optional<QByteArray> pdf;
        try {
            pdf = report::ReportOutput::RenderFileRun(job->run, cancel_);
        } catch (const std::exception& e) {
            outcome.error = e.what();
        }
        std::unique_lock lock(mutex_);
        // Files appear in the order they were queued.
        changed_.wait(lock, [&] { return nextWrite_ == job->seq; });
        const bool skipped = job->role == Role::AnswerKey && lastFailedSheet_ &&
                             *lastFailedSheet_ >= job->firstPending;
        if (pdf && !skipped) {
            lock.unlock();
            try {
                for (const ExtraFile& file : job->before) {
                    std::string error;
                    if (!writeFileAtomically(file.path, file.bytes, &error))
                        throw std::runtime_error(error);
                }
                report::ReportOutput::WriteFileRun(job->run, *pdf);
                outcome.written = true;
            } catch (const std::exception& e) {
                outcome.error = e.what();
            }
            lock.lock();
        }
        if (job->role == Role::Sheet && !outcome.written)
            lastFailedSheet_ = job->seq;
        // The pictures and texts go back with the run, not with the last owner's copy.
        job->run = {};
        job->outcome = std::move(outcome);
        job->done = true;
        ++nextWrite_;
        lock.unlock();
        changed_.notify_all();
    }
}

}  // namespace vexora::print
