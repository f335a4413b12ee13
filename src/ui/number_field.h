#pragma once

#include <QLineEdit>
#include <QToolButton>
#include <QWidget>

namespace vexora::ui {

// A number field with its up-down control (SeSchede + UdSchede, SeCopie + UdCopie). The
// field keeps whatever the user typed, also a text that is not a number: the settings
// save that text as it stands. The arrows step the up-down's position within its limits
// and write it into the field.
class NumberField : public QWidget {
public:
    NumberField(const QString& editName, const QString& upDownName, int minimum, int maximum,
                int step, QWidget* parent);

    QLineEdit* edit() const { return edit_; }
    QString text() const { return edit_->text(); }
    void setText(const QString& text) { edit_->setText(text); }
    // The up-down's position: the field read as an integer and held within the limits;
    // the last position when the text is not an integer.
    int position() const;
    void setPosition(int position);
    void stepBy(int steps);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QLineEdit* edit_;
    QWidget* upDown_;
    QToolButton* up_;
    QToolButton* down_;
    int min_;
    int max_;
    int step_;
    mutable int position_;
};

// The text as an integer (blanks around it allowed); 1 when it is not one.
int integerOrOne(const QString& text);

}  // namespace vexora::ui
