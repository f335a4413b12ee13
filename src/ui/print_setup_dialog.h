#pragma once

#include <QPrinter>
#include <QString>
#include <QWidget>

namespace vexora::ui {

// The system's printer-setup dialog for `printer`. It only chooses the printer and its
// settings, so it confirms with "OK", not with Qt's "Stampa". True when confirmed.
bool execPrintSetupDialog(QPrinter& printer, QWidget* parent, const QString& title);

}  // namespace vexora::ui
