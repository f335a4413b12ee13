#pragma once

// The default report template "Vexora.rav": fourteen sheet reports and fourteen
// answer-key reports laid out for A4 portrait, built with the report engine's own API.

#include <string>

#include "core/catalogue.h"
#include "report/template_model.h"

namespace vexora::templategen {

// Font family of every text of the default template (Debian: fonts-dejavu-core).
inline constexpr const char* kFontFamily = "DejaVu Sans";

// Every printed element lies at least this far inside the edges of the A4 page, where
// any printer prints.
inline constexpr double kPageMargin = 0.25;

// Geometry of the sheet rows, in inches. Odd slots: figure box from kFigureColumnLeft,
// question text from kFigureColumnLeft + 0.8; even slots: text from kFigureColumnLeft,
// figure box ending at kTextColumnRight. A widened text spans kFigureColumnLeft ..
// kTextColumnRight either way (the program moves it to 0.35 in): nothing stands on its
// left, and the question number sits between it and the answer boxes.
inline constexpr double kFigureColumnLeft = 0.35;
inline constexpr double kTextColumnRight = 6.50;
inline constexpr double kNumberLeft = 6.54;
inline constexpr double kNumberRight = 6.86;
inline constexpr double kAnswerBoxVLeft = 6.92;
inline constexpr double kAnswerBoxFLeft = 7.36;
inline constexpr double kFirstRowTop = 1.48;

// Row height and figure side of a sheet with slotsPerPage slots on a full page.
double rowHeight(int slotsPerPage);
double figureSide(int slotsPerPage);

// Long name of a category for titles ("Patente AB", "Estensione C-CE", "CQC Merci").
std::string categoryTitle(TModalitaQuiz m);

// The sheet report "Scheda" + code of category m.
void addSheetReport(report::ReportTemplate& t, TModalitaQuiz m);
// The answer-key report "Correttore" + code of category m.
void addAnswerKeyReport(report::ReportTemplate& t, TModalitaQuiz m);

// The whole default template: the school and slot parameters, then for every category
// its sheet report and its answer-key report.
report::ReportTemplate buildDefaultTemplate();

}  // namespace vexora::templategen
