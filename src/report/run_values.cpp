#include "report/run_values.h"

#include "report/model_access.h"
#include "report/report_error.h"

namespace vexora::report {

const Component& RunValues::Resolve(const Component& c) const {
    const auto it = components_.constFind(&c);
    return it == components_.constEnd() ? c : *it;
}

Component& RunValues::Edit(const Component& c) {
    auto it = components_.find(&c);
    if (it == components_.end()) {
        if (c.Kind() == ComponentKind::Group) {
            Component own = Component::MakeGroup(c.Name());
            own.SetVisible(c.Visible());
            it = components_.insert(&c, std::move(own));
        } else {
            it = components_.insert(&c, c);
        }
    }
    return *it;
}

void RunValues::SetParam(const QString& name, const QString& value) {
    if (!isValidName(name))
        throw ReportError(QStringLiteral("Nome di parametro non valido: \"%1\"").arg(name));
    params_.insert(name, value);
}

const QString* RunValues::Param(const ReportTemplate& t, const QString& name) const {
    const auto it = params_.constFind(name);
    return it != params_.constEnd() ? &*it : t.Param(name);
}

QString RunValues::Expand(const ReportTemplate& t, const QString& text) const {
    if (params_.isEmpty())
        return t.Expand(text);
    return expandParams(text, [this, &t](const QString& name) { return Param(t, name); });
}

void RunValues::SetCopies(int copies) {
    if (copies < 0 || copies > limits::kMaxCopies)
        throw ReportError(QStringLiteral("Numero di copie %1 non valido").arg(copies));
    copies_ = copies;
}

void RunValues::SetGotoMode(const Page& p, int mode) {
    if (mode < 0 || mode > limits::kMaxGotoMode) {
        throw ReportError(
            QStringLiteral("GotoMode %1 non valido per la pagina %2").arg(mode).arg(p.Name()));
    }
    gotoModes_.insert(&p, mode);
}

namespace {

// Walks a component of the original and its copy together (same shape).
void applyTo(const Component& original, Component& copy, const RunValues& values) {
    if (values.Changed(original)) {
        const Component& own = values.Resolve(original);
        if (original.Kind() == ComponentKind::Group) {
            copy.SetVisible(own.Visible());
        } else {
            copy = own;
            return;
        }
    }
    auto& children = detail::ModelAccess::children(copy);
    for (std::size_t i = 0; i < children.size(); ++i)
        applyTo(original.Children()[i], children[i], values);
}

}  // namespace

ReportTemplate withRunValues(const ReportTemplate& t, const RunValues& values, const Report* ran) {
    using detail::ModelAccess;
    ReportTemplate out = t;
    auto& reports = ModelAccess::reports(out);
    for (std::size_t r = 0; r < reports.size(); ++r) {
        const Report& report = t.Reports()[r];
        if (&report == ran) {
            reports[r].SetCopies(values.Copies(report));
            reports[r].SetDuplexMode(values.DuplexMode(report));
        }
        auto& pages = ModelAccess::pages(reports[r]);
        for (std::size_t p = 0; p < pages.size(); ++p) {
            const Page& page = report.Pages()[p];
            pages[p].SetGotoMode(values.GotoMode(page));
            auto& components = ModelAccess::components(pages[p]);
            for (std::size_t c = 0; c < components.size(); ++c)
                applyTo(page.Components()[c], components[c], values);
        }
    }
    for (auto it = values.OwnParams().constBegin(); it != values.OwnParams().constEnd(); ++it)
        out.SetParam(it.key(), it.value());
    return out;
}

}  // namespace vexora::report
