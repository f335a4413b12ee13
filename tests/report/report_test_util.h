#pragma once

#include <QImage>
#include <QString>
#include <QStringList>

#include <optional>

#include "report/template_model.h"

namespace vexora::report::test {

// A two-report template shaped like the program's: sheet "SchedaAB" (two pages,
// font masters, slot texts, a figure, frames, nested groups) and key "CorrettoreAB".
ReportTemplate sampleTemplate();

// A picture of one colour.
QImage solidImage(int width, int height, QColor color);

// Output of a command-line tool, or nullopt when the tool is not installed.
std::optional<QString> runTool(const QString& program, const QStringList& args);

// Words separated by single blanks (PDF text extraction breaks lines at will).
QString simplified(const QString& text);

}  // namespace vexora::report::test
