#pragma once

#include <QFontMetrics>
#include <QLabel>
#include <QString>

namespace vexora::ui {

// One line of text fitted to a width in pixels. A line that names a file keeps its
// beginning and the end of the path (the file's name): the middle of the path gives way
// first. Other lines are cut at the end with "…".
QString fitLine(const QString& text, const QFontMetrics& metrics, int width);

// Shows text in a label, every line fitted to the label's width, the whole text as the
// label's tooltip when something had to give way.
void setFittedText(QLabel* label, const QString& text);

}  // namespace vexora::ui
