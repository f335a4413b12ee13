#pragma once

#include <QString>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>

#include "report/report_output.h"
#include "report/run_values.h"
#include "report/template_model.h"

namespace vexora::report {

// The template as the program uses it: set the file, Open, select a report, fill
// parameters and components, Execute through the attached output controller, Close.
// The template is read once and kept, never changed, while the file is unchanged on
// disk; what a run fills goes into its own RunValues, which Close discards, so the
// next Open starts again from the file as stored. Pointers returned by the Find
// functions are valid until Close.
class ReportProject {
public:
    ReportProject();
    ~ReportProject();
    ReportProject(const ReportProject&) = delete;
    ReportProject& operator=(const ReportProject&) = delete;

    const QString& ProjectFile() const { return projectFile_; }
    void SetProjectFile(const QString& path) { projectFile_ = path; }

    // Loads the template; does nothing when it is already open. Throws ReportError
    // (no file set, file missing, file invalid) naming the file.
    void Open();
    // Unloads the template and every change made to it; nothing when not open.
    // Called while Execute runs (from the event pump), it cancels the run and the
    // template is unloaded when Execute returns.
    void Close();
    bool Active() const { return values_.has_value(); }

    // Makes the report with that name (its own name) the one Execute runs; false
    // when there is none (Execute then fails). Throws when the template is not open.
    bool SelectReport(const QString& reportName);
    const Report* SelectedReport() const;

    // Display unit and factor (page units stay inches; kept for the program).
    DisplayUnit Units() const { return units_; }
    void SetUnits(DisplayUnit unit) { units_ = unit; }
    double UnitsFactor() const { return unitsFactor_; }
    void SetUnitsFactor(double factor);

    // Attaches the output controller as the engine that runs the reports; a new job
    // begins (its Aborted flag is cleared).
    void SetEngine(ReportOutput* engine);
    ReportOutput* Engine() const { return engine_; }

    // Lookups by name in the stored template; nullptr when absent or when the template
    // is not open.
    const Report* FindReport(const QString& name) const;
    // "SchedaAB.Page2".
    const Page* FindPage(const QString& reportDotPage) const;
    // A component anywhere inside page (nested groups included).
    const Component* FindComponent(const QString& name, const Page* page) const;

    // This run's values: components to change (Values().Edit(c)), copies, duplex and
    // page modes. Throws when the template is not open.
    RunValues& Values();

    // Sets a parameter, creating it when the template has none of that name.
    // Throws when the template is not open or the name is not valid.
    void SetParam(const QString& name, const QString& value);
    // Current value; empty when absent or not open.
    QString GetParam(const QString& name) const;

    // Runs the selected report through the engine. True when complete, false when
    // cancelled. Throws ReportError when not open, no engine is attached, the report
    // is missing or the output fails.
    bool Execute();
    // The same run made ready for another thread (ReportOutput::PrepareFileRun; file
    // runs only), and the template closed. Throws ReportError as Execute does.
    ReportOutput::FileRun ExecuteLater();

    // The open template as stored (nullptr when closed), for previews and tests.
    const ReportTemplate* Template() const { return values_ ? pristine_.get() : nullptr; }

private:
    void requireOpen(const char* operation) const;
    const Report& runnableReport(const char* operation) const;

    QString projectFile_;
    std::optional<RunValues> values_;
    std::optional<QString> selected_;
    DisplayUnit units_ = DisplayUnit::Inch;
    double unitsFactor_ = 1.0;
    ReportOutput* engine_ = nullptr;
    bool executing_ = false;
    bool closeRequested_ = false;

    // The template as read from disk, shared by every run while the file is unchanged.
    std::shared_ptr<const ReportTemplate> pristine_;
    QString pristinePath_;
    std::uintmax_t pristineSize_ = 0;
    std::filesystem::file_time_type pristineTime_{};
};

}  // namespace vexora::report
