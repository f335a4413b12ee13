#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>
#include <string>
#include <string_view>

#include "core/user_interaction.h"

namespace vexora::ui {

// How the window-free layers reach the user in the window program: message boxes and
// questions over the main window, the event pump, and the wait cursor on the main
// window (not an application-wide override, so the progress window keeps the arrow over
// "Interrompi").
class WindowInteraction : public UserInteraction {
public:
    // Answers a box or a question in place of the user (tests): given the text, returns
    // the answer (ignored for message boxes).
    using Answerer = std::function<bool(bool question, const std::string& text)>;

    explicit WindowInteraction(QWidget* owner = nullptr) : owner_(owner) {}
    void setOwner(QWidget* owner) { owner_ = owner; }
    void setAnswerer(Answerer answerer) { answerer_ = std::move(answerer); }

    void messageBox(std::string_view text) override;
    bool askYesNo(std::string_view text) override;
    // The error dialog of an exception no routine caught.
    void errorBox(std::string_view text);
    void processEvents() override;
    void setWaitCursor(bool on) override;
    bool waitCursor() const override { return wait_; }

private:
    QPointer<QWidget> owner_;
    Answerer answerer_;
    bool wait_ = false;
};

// The texts of the core use CR LF between lines; a message box wants LF.
QString boxText(std::string_view text);

}  // namespace vexora::ui
