#include "ui/artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

#include "ui/fonts.h"

namespace vexora::ui {
namespace {

const QColor kBlue(61, 111, 160);
const QColor kDarkBlue(29, 36, 73);
const QColor kPageBlue(84, 123, 197);

// The pictogram of a group, drawn in a box of about 30 x 22 pixels at `origin`.
void drawVehicle(QPainter& p, CategoryGroup group, QPointF o, const QColor& ink) {
    p.save();
    p.translate(o);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    auto wheel = [&](qreal x, qreal y, qreal r) {
        p.setBrush(ink);
        p.drawEllipse(QPointF(x, y), r, r);
    };
    switch (group) {
        case CategoryGroup::AB: {  // car
            QPainterPath body;
            body.moveTo(1, 15);
            body.lineTo(1, 11);
            body.quadTo(2, 9, 6, 8.5);
            body.lineTo(10, 3.5);
            body.quadTo(11.5, 2, 14, 2);
            body.lineTo(21, 2);
            body.quadTo(23, 2, 24.5, 4);
            body.lineTo(28, 8.5);
            body.quadTo(31, 9.5, 31, 12);
            body.lineTo(31, 15);
            body.closeSubpath();
            p.drawPath(body);
            p.setBrush(QColor(255, 255, 255, 170));
            p.drawRect(QRectF(11, 4, 5.5, 4.5));
            p.drawRect(QRectF(18, 4, 6, 4.5));
            wheel(8, 16, 3.6);
            wheel(24, 16, 3.6);
            break;
        }
        case CategoryGroup::AM: {  // moped
            QPainterPath frame;
            frame.moveTo(7, 15);
            frame.lineTo(12, 8);
            frame.lineTo(20, 8);
            frame.lineTo(24, 15);
            frame.closeSubpath();
            p.drawPath(frame);
            p.drawRoundedRect(QRectF(11, 5, 9, 3), 1.5, 1.5);  // seat
            p.drawRect(QRectF(23, 2, 2, 11));                  // steering column
            p.drawRoundedRect(QRectF(21, 1, 7, 2), 1, 1);      // handlebar
            p.setBrush(Qt::NoBrush);
            p.setPen(QPen(ink, 2.2));
            p.drawEllipse(QPointF(6, 16), 4, 4);
            p.drawEllipse(QPointF(26, 16), 4, 4);
            break;
        }
        case CategoryGroup::SUP: {                          // lorry
            p.drawRoundedRect(QRectF(0, 1, 20, 13), 1, 1);  // box
            QPainterPath cab;
            cab.moveTo(21, 14);
            cab.lineTo(21, 4);
            cab.lineTo(27, 4);
            cab.lineTo(31, 9);
            cab.lineTo(31, 14);
            cab.closeSubpath();
            p.drawPath(cab);
            p.setBrush(QColor(255, 255, 255, 170));
            p.drawRect(QRectF(23, 5.5, 4, 3.5));
            wheel(6, 16, 3.4);
            wheel(14, 16, 3.4);
            wheel(26, 16, 3.4);
            break;
        }
        case CategoryGroup::CQC: {  // coach
            p.drawRoundedRect(QRectF(0, 1, 31, 14), 3, 3);
            p.setBrush(QColor(255, 255, 255, 170));
            for (int i = 0; i < 5; ++i)
                p.drawRect(QRectF(2.5 + i * 5.4, 3.5, 4, 4.5));
            wheel(7, 16, 3.4);
            wheel(24, 16, 3.4);
            break;
        }
    }
    p.restore();
}

QString groupLetters(CategoryGroup group) {
    switch (group) {
        case CategoryGroup::AB:
            return QStringLiteral("A B");
        case CategoryGroup::AM:
            return QStringLiteral("AM");
        case CategoryGroup::SUP:
            return QStringLiteral("CDE");
        case CategoryGroup::CQC:
            return QStringLiteral("CQC");
    }
    return {};
}

// A soft road that sweeps in from a corner: grey band with a dashed centre line.
void drawRoad(QPainter& p, QSize size, qreal alpha) {
    p.save();
    p.setOpacity(alpha);
    QPainterPath road;
    const qreal w = size.width();
    const qreal h = size.height();
    road.moveTo(w * 0.52, h);
    road.cubicTo(w * 0.70, h * 0.82, w * 0.88, h * 0.80, w, h * 0.70);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(150, 170, 195), 46, Qt::SolidLine, Qt::FlatCap));
    p.drawPath(road);
    QPen dash(QColor(255, 255, 255), 3, Qt::CustomDashLine, Qt::FlatCap);
    dash.setDashPattern({5, 5});
    p.setPen(dash);
    p.drawPath(road);
    p.restore();
}

void fillPage(QPainter& p, QSize size, const QColor& top, const QColor& bottom) {
    QLinearGradient g(0, 0, 0, size.height());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    p.fillRect(QRect(QPoint(0, 0), size), g);
}

}  // namespace

QPixmap groupPicture(CategoryGroup group, bool highlighted) {
    const qreal ratio = 2;  // drawn at twice the size, so it stays sharp on dense screens
    QPixmap pm(QSize(kGroupPictureWidth, kGroupPictureHeight) * ratio);
    pm.setDevicePixelRatio(ratio);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    const QRectF card(1, 1, kGroupPictureWidth - 2, kGroupPictureHeight - 2);
    QLinearGradient g(card.topLeft(), card.bottomLeft());
    if (highlighted) {
        g.setColorAt(0, QColor(88, 140, 196));
        g.setColorAt(1, QColor(38, 78, 128));
    } else {
        g.setColorAt(0, QColor(255, 255, 255));
        g.setColorAt(1, QColor(222, 233, 245));
    }
    p.setPen(QPen(highlighted ? QColor(24, 52, 92) : QColor(160, 182, 208), 1.2));
    p.setBrush(g);
    p.drawRoundedRect(card, 7, 7);

    // Badge with the pictogram on the left, letters on the right.
    const QRectF badge(6, 7, 38, 35);
    p.setPen(Qt::NoPen);
    p.setBrush(highlighted ? QColor(255, 255, 255, 235) : QColor(61, 111, 160, 28));
    p.drawRoundedRect(badge, 5, 5);
    drawVehicle(p, group, QPointF(9.5, 12), highlighted ? QColor(38, 78, 128) : kBlue);
    // A yellow stripe under the badge marks the chosen group.
    if (highlighted) {
        p.setBrush(QColor(255, 200, 40));
        p.drawRoundedRect(QRectF(8, 38.5, 34, 2.5), 1.2, 1.2);
    }

    QFont f = tahoma(group == CategoryGroup::AB ? 22 : 20, true);
    p.setFont(f);
    p.setPen(highlighted ? QColor(255, 255, 255) : kDarkBlue);
    p.drawText(QRectF(46, 3, 54, 43), Qt::AlignCenter, groupLetters(group));
    return pm;
}

QPixmap imageListPicture(int index) {
    const auto group = static_cast<CategoryGroup>(std::clamp(index / 2, 0, 3));
    return groupPicture(group, index % 2 == 1);
}

QPixmap categoryPageBackground(QSize size) {
    QPixmap pm(size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    fillPage(p, size, QColor(255, 255, 255), QColor(232, 240, 249));
    // A light band behind the group buttons.
    QLinearGradient band(0, 0, 0, 120);
    band.setColorAt(0, QColor(214, 228, 244));
    band.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(QRect(0, 0, size.width(), 120), band);
    drawRoad(p, size, 0.35);
    return pm;
}

QPixmap topicPageBackground(QSize size) {
    QPixmap pm(size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, size.width(), size.height());
    g.setColorAt(0, kPageBlue.lighter(112));
    g.setColorAt(1, kPageBlue.darker(108));
    p.fillRect(QRect(QPoint(0, 0), size), g);

    // A light card on the left that holds the help texts, with a stack of quiz sheets.
    const QRectF card(14, 14, 206, size.height() - 28);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 235));
    p.drawRoundedRect(card, 10, 10);

    p.save();
    p.translate(card.left() + 38, card.top() + 40);
    for (int s = 2; s >= 0; --s) {
        const QRectF sheet(s * 10, s * -8, 100, 128);
        p.setPen(QPen(QColor(160, 182, 208), 1));
        p.setBrush(s == 0 ? QColor(255, 255, 255) : QColor(236, 242, 250));
        p.drawRoundedRect(sheet, 3, 3);
    }
    for (int row = 0; row < 6; ++row) {
        const qreal y = 14 + row * 18;
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(190, 204, 222));
        p.drawRoundedRect(QRectF(10, y + 3, 50, 4), 2, 2);
        p.setPen(QPen(kPageBlue, 1.2));
        p.setBrush(Qt::NoBrush);
        p.drawRect(QRectF(66, y, 10, 10));
        p.drawRect(QRectF(82, y, 10, 10));
        p.setPen(QPen(row % 2 ? QColor(200, 40, 40) : QColor(30, 130, 60), 2, Qt::SolidLine,
                      Qt::RoundCap, Qt::RoundJoin));
        const qreal bx = row % 2 ? 82 : 66;
        p.drawPolyline(QPolygonF(
            {QPointF(bx + 2, y + 5), QPointF(bx + 4.5, y + 8), QPointF(bx + 9, y + 1.5)}));
    }
    p.restore();
    return pm;
}

QPixmap printPageBackground(QSize size) {
    QPixmap pm(size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    fillPage(p, size, QColor(255, 255, 255), QColor(232, 240, 249));

    // A printer with a sheet coming out, low on the right.
    p.save();
    p.translate(size.width() - 190, size.height() - 190);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(61, 111, 160, 40));
    p.drawEllipse(QRectF(-10, 120, 180, 26));
    p.setBrush(QColor(255, 255, 255));
    p.setPen(QPen(QColor(160, 182, 208), 1.2));
    p.drawRect(QRectF(40, 0, 80, 60));  // paper in the tray
    QLinearGradient body(0, 50, 0, 120);
    body.setColorAt(0, QColor(120, 156, 198));
    body.setColorAt(1, QColor(61, 111, 160));
    p.setBrush(body);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(10, 50, 140, 70), 10, 10);
    p.setBrush(QColor(29, 36, 73, 200));
    p.drawRoundedRect(QRectF(30, 96, 100, 8), 3, 3);  // output slot
    p.setBrush(QColor(140, 220, 140));
    p.drawEllipse(QPointF(132, 66), 4, 4);  // power light
    p.setBrush(QColor(255, 255, 255));
    p.setPen(QPen(QColor(160, 182, 208), 1.2));
    p.drawRect(QRectF(38, 100, 84, 50));  // printed sheet
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(190, 204, 222));
    for (int row = 0; row < 3; ++row)
        p.drawRoundedRect(QRectF(46, 110 + row * 11, 56, 4), 2, 2);
    p.restore();
    return pm;
}

}  // namespace vexora::ui
