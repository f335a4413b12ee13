#include "core/user_interaction.h"

#include <cstdio>

namespace vexora {

void ProgressState::apply(int pPar, int mPar, int pTot, int mTot, std::string_view t,
                          std::string_view i) {
    visible = true;
    if (mPar >= 0) maxPar = mPar;
    if (pPar >= 0) posPar = pPar;
    if (mTot >= 0) maxTot = mTot;
    if (pTot >= 0) posTot = pTot;
    if (i != "-1") info = std::string(i);
    if (t != "-1") title = std::string(t);
}

void ProgressState::reset() {
    interruption = false;
    posPar = 0;
    posTot = 0;
}

void ProgressState::fill() {
    posPar = maxPar;
    posTot = maxTot;
}

void RecordingInteraction::messageBox(std::string_view text) {
    calls.push_back("messageBox: " + std::string(text));
    messages.emplace_back(text);
}

bool RecordingInteraction::askYesNo(std::string_view text) {
    calls.push_back("askYesNo: " + std::string(text));
    questions.emplace_back(text);
    if (answers.empty()) return defaultAnswer;
    const bool a = answers.front();
    answers.pop_front();
    return a;
}

void RecordingInteraction::processEvents() { ++processEventsCount; }

void RecordingInteraction::setWaitCursor(bool on) {
    calls.push_back(on ? "waitCursor: on" : "waitCursor: off");
    wait_ = on;
}

bool RecordingInteraction::Progress(int posPar, int maxPar, int posTot, int maxTot,
                                    std::string_view title, std::string_view info) {
    calls.push_back("Progress: " + std::to_string(posPar) + "," + std::to_string(maxPar) + "," +
                    std::to_string(posTot) + "," + std::to_string(maxTot) + "," +
                    std::string(title) + "," + std::string(info));
    progress.apply(posPar, maxPar, posTot, maxTot, title, info);
    if (onTick) onTick(*this);
    return progress.interruption;
}

void RecordingInteraction::ProgressReset() {
    calls.emplace_back("ProgressReset");
    progress.reset();
}

void RecordingInteraction::ProgressFull() {
    calls.emplace_back("ProgressFull");
    progress.fill();
    progress.visible = false;
}

void RecordingInteraction::Delay(unsigned ms) {
    calls.push_back("Delay: " + std::to_string(ms));
    delayedMs += ms;
    if (onTick) onTick(*this);
}

void RecordingInteraction::setInfo(std::string_view info) {
    calls.push_back("setInfo: " + std::string(info));
    progress.info = std::string(info);
}

void RecordingInteraction::close() {
    calls.emplace_back("close");
    progress.visible = false;
}

QuietInteraction::QuietInteraction(std::function<void(std::string_view)> messageSink)
    : sink_(std::move(messageSink)) {}

void QuietInteraction::messageBox(std::string_view text) {
    if (sink_) {
        sink_(text);
    } else {
        std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
    }
}

bool QuietInteraction::askYesNo(std::string_view text) {
    messageBox(text);
    return true;
}

bool QuietInteraction::Progress(int posPar, int maxPar, int posTot, int maxTot,
                                std::string_view title, std::string_view info) {
    state_.apply(posPar, maxPar, posTot, maxTot, title, info);
    return state_.interruption;
}

void QuietInteraction::ProgressFull() {
    state_.fill();
    state_.visible = false;
}

}  // namespace vexora
