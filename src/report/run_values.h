#pragma once

#include <QHash>
#include <QString>

#include <optional>

#include "report/template_model.h"

namespace vexora::report {

// What one run of a report changes over the template it runs, which stays untouched and
// may be shared (also with other threads) while runs are filled and drawn: parameter
// values, the run's own copies of the components it changed, the report's copies and
// duplex and the pages' sequence mode. Small next to the template: a sheet changes a few
// hundred components of tens of thousands.
class RunValues {
public:
    // The component as this run shows it: the run's copy when it changed c, else c.
    const Component& Resolve(const Component& c) const;
    // The run's copy of c to change, made on first use; c must belong to the template the
    // run is drawn from. A group's copy has no members of its own: members are resolved
    // and changed one by one, so only a group's own properties (Visible) can be set on it.
    Component& Edit(const Component& c);
    bool Changed(const Component& c) const { return components_.contains(&c); }

    // Sets a parameter for this run (the template's value, if any, is hidden); throws
    // ReportError on an invalid name.
    void SetParam(const QString& name, const QString& value);
    // This run's value, else the template's; nullptr when neither has one.
    const QString* Param(const ReportTemplate& t, const QString& name) const;
    // ReportTemplate::Expand with this run's parameters over the template's.
    QString Expand(const ReportTemplate& t, const QString& text) const;
    // Parameters set by this run, in no particular order.
    const QHash<QString, QString>& OwnParams() const { return params_; }

    // The report's copies and duplex as this run sets them (the report's own otherwise).
    int Copies(const Report& r) const { return copies_.value_or(r.Copies()); }
    void SetCopies(int copies);
    DuplexSetting DuplexMode(const Report& r) const { return duplex_.value_or(r.DuplexMode()); }
    void SetDuplex(bool twoSided) { duplex_ = twoSided ? DuplexSetting::On : DuplexSetting::Off; }

    int GotoMode(const Page& p) const { return gotoModes_.value(&p, p.GotoMode()); }
    void SetGotoMode(const Page& p, int mode);

private:
    QHash<const Component*, Component> components_;
    QHash<QString, QString> params_;
    std::optional<int> copies_;
    std::optional<DuplexSetting> duplex_;
    QHash<const Page*, int> gotoModes_;
};

// A copy of t with the run's values applied, as if the run had changed t itself (copies
// and duplex on report `ran`): for previews and for checking what a run drew.
ReportTemplate withRunValues(const ReportTemplate& t, const RunValues& values, const Report* ran);

}  // namespace vexora::report
