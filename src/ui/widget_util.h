#pragma once

#include <QColor>
#include <QPalette>
#include <QString>
#include <QWidget>

#include <string_view>

namespace vexora::ui {

// A UTF-8 text of the core as a QString.
inline QString qs(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

// Sets the colour a label, button or field writes its text in.
inline void setTextColour(QWidget* w, const QColor& c) {
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, c);
    p.setColor(QPalette::ButtonText, c);
    p.setColor(QPalette::Text, c);
    w->setPalette(p);
}

}  // namespace vexora::ui
