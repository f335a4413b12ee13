#pragma once

#include <QPushButton>

namespace vexora::ui {

// A command-link button (BtTipoEsame, BtTipoArgom, BtPrint): a flat button with an arrow
// and a one-line caption in the button's own font and colour, framed while the mouse is
// over it or it has the focus. Qt's own command link imposes its title font, which
// would not show the caption in the window's Tahoma bold.
class CommandLink : public QPushButton {
public:
    CommandLink(const QString& text, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace vexora::ui
