#pragma once

#include <QListWidget>
#include <QStyledItemDelegate>

#include <functional>

namespace vexora::ui {

// Fixed height of a topic line: every topic of the largest list fits in the page.
inline constexpr int kTopicItemHeight = 15;
// Item data of a topic line holding the whole title (the line itself is cut at a fixed
// length); the list draws it elided to its width.
inline constexpr int kWholeTitleRole = Qt::UserRole + 1;

// LbArgomenti and LbCount: owner-drawn lists with a fixed line height. The topic list
// draws a selected line on RGB(84, 123, 197) in the selected-text colour and the others
// in the list's own colours, the text at the line's top-left corner and the focus
// rectangle on the current line; the count list writes every line in RGB(84, 123, 197).
class TopicListDelegate : public QStyledItemDelegate {
public:
    TopicListDelegate(bool counts, QObject* parent)
        : QStyledItemDelegate(parent), counts_(counts) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    bool counts_;
};

// LbArgomenti: multiple selection with Ctrl and Shift; releasing the right button over a
// topic toggles that topic alone (the press is kept from changing the selection).
class TopicListBox : public QListWidget {
public:
    explicit TopicListBox(QWidget* parent);
    // Called with the row under the mouse when the right button is released over a topic.
    void setRightButtonToggle(std::function<void(int row)> toggle) { toggle_ = std::move(toggle); }

protected:
    bool viewportEvent(QEvent* event) override;

private:
    std::function<void(int)> toggle_;
};

// LbCount: the done/total counts, never focused, never clicked.
class CountListBox : public QListWidget {
public:
    explicit CountListBox(QWidget* parent);
};

}  // namespace vexora::ui
