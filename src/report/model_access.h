#pragma once

#include "report/template_model.h"

namespace vexora::report::detail {

// Building steps without the per-call duplicate checks, for the template reader,
// which checks names itself with sets (a linear check per element would make a
// large hostile file quadratic). Not for other callers.
struct ModelAccess {
    static Component makeComponent(ComponentKind kind, const QString& name);
    static void appendChild(Component& group, Component child);
    static void appendComponent(Page& page, Component component);
    static Page& appendPage(Report& report, const QString& name);
    static Report& appendReport(ReportTemplate& t, const QString& name);
    static void setParamUnchecked(ReportTemplate& t, const QString& name, const QString& value);
    // Members of a copy, for applying a run's values to it in place.
    static std::vector<Component>& children(Component& group) { return group.children_; }
    static std::vector<Component>& components(Page& page) { return page.components_; }
    static std::vector<Page>& pages(Report& report) { return report.pages_; }
    static std::vector<Report>& reports(ReportTemplate& t) { return t.reports_; }
};

}  // namespace vexora::report::detail
