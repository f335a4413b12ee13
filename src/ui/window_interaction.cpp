#include "ui/window_interaction.h"

#include <QApplication>
#include <QMessageBox>

namespace vexora::ui {

QString boxText(std::string_view text) {
    QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return s;
}

void WindowInteraction::messageBox(std::string_view text) {
    if (answerer_) {
        answerer_(false, std::string(text));
        return;
    }
    QMessageBox box(QMessageBox::Information, QApplication::applicationName(), boxText(text),
                    QMessageBox::Ok, owner_);
    box.exec();
}

void WindowInteraction::errorBox(std::string_view text) {
    if (answerer_) {
        answerer_(false, std::string(text));
        return;
    }
    QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), boxText(text),
                    QMessageBox::Ok, owner_);
    box.exec();
}

bool WindowInteraction::askYesNo(std::string_view text) {
    if (answerer_)
        return answerer_(true, std::string(text));
    QMessageBox box(QMessageBox::Question, QApplication::applicationName(), boxText(text),
                    QMessageBox::Yes | QMessageBox::No, owner_);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

void WindowInteraction::processEvents() {
    QCoreApplication::processEvents();
}

void WindowInteraction::setWaitCursor(bool on) {
    if (on == wait_)
        return;
    wait_ = on;
    if (owner_) {
        if (on)
            owner_->setCursor(Qt::WaitCursor);
        else
            owner_->unsetCursor();
    }
}

}  // namespace vexora::ui
