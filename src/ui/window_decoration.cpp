#include "ui/window_decoration.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include "ui/fonts.h"

namespace vexora::ui {
namespace {

const QColor kStrip(53, 98, 142);
const QColor kBorder(29, 36, 73);

// The caption on a coloured strip; pressing it moves the window (through the window
// manager, or by following the mouse where it cannot).
class TitleStrip : public QWidget {
public:
    explicit TitleStrip(QWidget* window) : QWidget(window) {
        setObjectName(QStringLiteral("TitleStrip"));
        setFont(tahoma(13, true));
        setCursor(Qt::SizeAllCursor);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), kStrip);
        p.setPen(Qt::white);
        p.drawText(rect().adjusted(8, 0, -8, 0), Qt::AlignLeft | Qt::AlignVCenter,
                   fontMetrics().elidedText(window()->windowTitle(), Qt::ElideRight, width() - 16));
    }
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton)
            return;
        QWindow* handle = window()->windowHandle();
        following_ = !(handle && handle->startSystemMove());
        grabbedAt_ = event->globalPosition().toPoint() - window()->frameGeometry().topLeft();
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        if (following_ && (event->buttons() & Qt::LeftButton))
            window()->move(event->globalPosition().toPoint() - grabbedAt_);
    }
    void mouseReleaseEvent(QMouseEvent*) override { following_ = false; }

private:
    bool following_ = false;
    QPoint grabbedAt_;
};

// A one-pixel border over the whole window, letting the mouse through.
class Border : public QWidget {
public:
    explicit Border(QWidget* window) : QWidget(window) {
        setObjectName(QStringLiteral("WindowBorder"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == parent() &&
            (event->type() == QEvent::Resize || event->type() == QEvent::Show)) {
            setGeometry(parentWidget()->rect());
            raise();
        }
        return false;
    }
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setPen(kBorder);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
};

class StripFollowsWidth : public QObject {
public:
    StripFollowsWidth(QWidget* window, QWidget* strip) : QObject(window), strip_(strip) {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize)
            strip_->setGeometry(0, 0, static_cast<QWidget*>(watched)->width(), kOwnTitleHeight);
        return false;
    }

private:
    QWidget* strip_;
};

}  // namespace

int useTitleWithoutBoxes(QWidget* window) {
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return 0;
    const QList<QWidget*> children = window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (QWidget* child : children) {
        if (!child->isWindow())
            child->move(child->pos() + QPoint(0, kOwnTitleHeight));
    }
    window->setWindowFlags(window->windowFlags() | Qt::FramelessWindowHint);
    auto* strip = new TitleStrip(window);
    strip->setGeometry(0, 0, window->width(), kOwnTitleHeight);
    new StripFollowsWidth(window, strip);
    new Border(window);
    return kOwnTitleHeight;
}

}  // namespace vexora::ui
