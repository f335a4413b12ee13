#include "ui/command_link.h"

#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionButton>

namespace vexora::ui {

CommandLink::CommandLink(const QString& text, QWidget* parent) : QPushButton(text, parent) {
    setFlat(true);
    setAttribute(Qt::WA_Hover);
    setCursor(Qt::PointingHandCursor);
}

void CommandLink::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const bool enabled = isEnabled();
    const bool hover = enabled && underMouse();
    const bool down = enabled && isDown();
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    if (down || hover || (enabled && hasFocus())) {
        p.setPen(QPen(down ? QColor(120, 150, 190) : QColor(170, 192, 218), 1));
        p.setBrush(down    ? QColor(214, 228, 244)
                   : hover ? QColor(236, 243, 251)
                           : QColor(255, 255, 255, 0));
        p.drawRoundedRect(frame, 4, 4);
    }

    // The arrow in a round badge, green like a "go" sign; grey when disabled.
    const qreal r = 9;
    const QPointF c(16, height() / 2.0);
    p.setPen(Qt::NoPen);
    p.setBrush(enabled ? QColor(46, 139, 87) : QColor(190, 190, 190));
    p.drawEllipse(c, r, r);
    QPainterPath arrow;
    arrow.moveTo(c + QPointF(-4.5, -1.6));
    arrow.lineTo(c + QPointF(0.5, -1.6));
    arrow.lineTo(c + QPointF(0.5, -4.8));
    arrow.lineTo(c + QPointF(5.2, 0));
    arrow.lineTo(c + QPointF(0.5, 4.8));
    arrow.lineTo(c + QPointF(0.5, 1.6));
    arrow.lineTo(c + QPointF(-4.5, 1.6));
    arrow.closeSubpath();
    p.setBrush(QColor(255, 255, 255));
    p.drawPath(arrow);

    p.setFont(font());
    p.setPen(enabled ? palette().color(QPalette::ButtonText) : QColor(150, 150, 150));
    const QRect textRect = rect().adjusted(34, 0, -8, 0);
    p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text());
}

}  // namespace vexora::ui
