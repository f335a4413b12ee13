#pragma once

#include <QColor>
#include <QPainter>
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

// A panel in the palette's base colour (white) with rounded corners (PnBack).
class RoundedPanel : public QWidget {
public:
    explicit RoundedPanel(QWidget* parent, int radius = 8) : QWidget(parent), radius_(radius) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(palette().color(QPalette::Base));
        p.drawRoundedRect(QRectF(rect()), radius_, radius_);
    }

private:
    int radius_;
};

}  // namespace vexora::ui
