#include "ui/number_field.h"

#include <algorithm>

namespace vexora::ui {

int integerOrOne(const QString& text) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    return ok ? value : 1;
}

NumberField::NumberField(const QString& editName, const QString& upDownName, int minimum,
                         int maximum, int step, QWidget* parent)
    : QWidget(parent), min_(minimum), max_(maximum), step_(step), position_(minimum) {
    edit_ = new QLineEdit(QString::number(minimum), this);
    edit_->setObjectName(editName);
    upDown_ = new QWidget(this);
    upDown_->setObjectName(upDownName);
    up_ = new QToolButton(upDown_);
    up_->setArrowType(Qt::UpArrow);
    up_->setAutoRepeat(true);
    down_ = new QToolButton(upDown_);
    down_->setArrowType(Qt::DownArrow);
    down_->setAutoRepeat(true);
    up_->setFocusPolicy(Qt::NoFocus);
    down_->setFocusPolicy(Qt::NoFocus);
    connect(up_, &QToolButton::clicked, this, [this] { stepBy(1); });
    connect(down_, &QToolButton::clicked, this, [this] { stepBy(-1); });
}

int NumberField::position() const {
    bool ok = false;
    const qlonglong typed = edit_->text().trimmed().toLongLong(&ok, 10);
    if (ok)
        position_ = static_cast<int>(std::clamp<qlonglong>(typed, min_, max_));
    return position_;
}

void NumberField::setPosition(int position) {
    position_ = std::clamp(position, min_, max_);
}

void NumberField::stepBy(int steps) {
    const int next = std::clamp(position() + steps * step_, min_, max_);
    position_ = next;
    edit_->setText(QString::number(next));
}

void NumberField::resizeEvent(QResizeEvent*) {
    const int arrows = 17;
    edit_->setGeometry(0, 0, width() - arrows, height());
    upDown_->setGeometry(width() - arrows, 0, arrows, height());
    up_->setGeometry(0, 0, arrows, height() / 2);
    down_->setGeometry(0, height() / 2, arrows, height() - height() / 2);
}

}  // namespace vexora::ui
