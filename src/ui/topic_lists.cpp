#include "ui/topic_lists.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

namespace vexora::ui {
namespace {

const QColor kSelected(84, 123, 197);

void setUpList(QListWidget* list) {
    list->setFrameShape(QFrame::NoFrame);
    list->setUniformItemSizes(true);
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setTextElideMode(Qt::ElideNone);
    list->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
}

}  // namespace

void TopicListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const {
    painter->save();
    const QRect r = option.rect;
    const QPalette& pal = option.palette;
    const bool selected = !counts_ && (option.state & QStyle::State_Selected);
    painter->fillRect(r, selected ? kSelected : pal.color(QPalette::Base));
    painter->setFont(option.font);
    painter->setPen(counts_    ? kSelected
                    : selected ? pal.color(QPalette::Active, QPalette::HighlightedText)
                               : pal.color(QPalette::Text));
    const QRect textArea = r.adjusted(2, 0, -2, 0);
    QString text = index.data(Qt::DisplayRole).toString();
    const QVariant whole = index.data(kWholeTitleRole);
    if (!counts_ && whole.isValid())
        text =
            painter->fontMetrics().elidedText(whole.toString(), Qt::ElideRight, textArea.width());
    painter->drawText(textArea, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
    if (!counts_ && (option.state & QStyle::State_HasFocus)) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        focus.rect = r;
        focus.backgroundColor = selected ? kSelected : pal.color(QPalette::Base);
        QApplication::style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter);
    }
    painter->restore();
}

QSize TopicListDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
    return QSize(option.rect.width(), kTopicItemHeight);
}

TopicListBox::TopicListBox(QWidget* parent) : QListWidget(parent) {
    setUpList(this);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setItemDelegate(new TopicListDelegate(false, this));
    setContextMenuPolicy(Qt::NoContextMenu);
}

bool TopicListBox::viewportEvent(QEvent* event) {
    const auto type = event->type();
    if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick ||
        type == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton) {
            if (type == QEvent::MouseButtonRelease && toggle_) {
                const QModelIndex at = indexAt(mouse->position().toPoint());
                if (at.isValid())
                    toggle_(at.row());
            }
            return true;  // the right button never takes part in the normal selection
        }
    }
    return QListWidget::viewportEvent(event);
}

CountListBox::CountListBox(QWidget* parent) : QListWidget(parent) {
    setUpList(this);
    setSelectionMode(QAbstractItemView::NoSelection);
    setFocusPolicy(Qt::NoFocus);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setItemDelegate(new TopicListDelegate(true, this));
    QPalette pal = palette();
    pal.setColor(QPalette::Disabled, QPalette::Base, pal.color(QPalette::Active, QPalette::Base));
    setPalette(pal);
    setEnabled(false);
}

}  // namespace vexora::ui
