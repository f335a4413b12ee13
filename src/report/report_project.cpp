#include "report/report_project.h"

#include <QFile>

#include <cmath>
#include <system_error>

#include "report/report_error.h"
#include "report/template_file.h"

namespace vexora::report {

ReportProject::ReportProject() = default;
ReportProject::~ReportProject() = default;

void ReportProject::requireOpen(const char* operation) const {
    if (!values_) {
        throw ReportError(QStringLiteral("%1: template non aperto (\"%2\")")
                              .arg(QLatin1String(operation), projectFile_));
    }
}

void ReportProject::Open() {
    if (values_)
        return;
    if (projectFile_.isEmpty()) {
        throw ReportError(QStringLiteral("Nessun file di template impostato"));
    }
    const std::filesystem::path path(QFile::encodeName(projectFile_).toStdString());
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    const auto time =
        ec ? std::filesystem::file_time_type{} : std::filesystem::last_write_time(path, ec);
    if (ec) {
        throw ReportError(QStringLiteral("Template \"%1\" non trovato o non leggibile: %2")
                              .arg(projectFile_, QString::fromStdString(ec.message())));
    }
    const bool unchanged = pristine_ && pristinePath_ == projectFile_ && pristineSize_ == size &&
                           pristineTime_ == time;
    if (!unchanged) {
        pristine_.reset();
        pristine_ = std::make_shared<const ReportTemplate>(readTemplateFile(projectFile_));
        pristinePath_ = projectFile_;
        pristineSize_ = size;
        pristineTime_ = time;
    }
    values_.emplace();
    selected_.reset();
}

void ReportProject::Close() {
    if (executing_) {
        // The run still draws from the template: stop it, unload afterwards.
        closeRequested_ = true;
        if (engine_)
            engine_->Abort();
        return;
    }
    values_.reset();
    selected_.reset();
}

bool ReportProject::SelectReport(const QString& reportName) {
    requireOpen("SelectReport");
    selected_ = reportName;
    return pristine_->FindReport(reportName) != nullptr;
}

const Report* ReportProject::SelectedReport() const {
    return (values_ && selected_) ? pristine_->FindReport(*selected_) : nullptr;
}

void ReportProject::SetUnitsFactor(double factor) {
    if (!std::isfinite(factor) || factor <= 0) {
        throw ReportError(QStringLiteral("Fattore di unità %1 non valido").arg(factor));
    }
    unitsFactor_ = factor;
}

void ReportProject::SetEngine(ReportOutput* engine) {
    engine_ = engine;
    if (engine_)
        engine_->BeginJob();
}

const Report* ReportProject::FindReport(const QString& name) const {
    return values_ ? pristine_->FindReport(name) : nullptr;
}

const Page* ReportProject::FindPage(const QString& reportDotPage) const {
    return values_ ? pristine_->FindPage(reportDotPage) : nullptr;
}

const Component* ReportProject::FindComponent(const QString& name, const Page* page) const {
    return (values_ && page) ? page->FindComponent(name) : nullptr;
}

RunValues& ReportProject::Values() {
    requireOpen("Values");
    return *values_;
}

void ReportProject::SetParam(const QString& name, const QString& value) {
    requireOpen("SetParam");
    values_->SetParam(name, value);
}

QString ReportProject::GetParam(const QString& name) const {
    if (!values_)
        return {};
    const QString* value = values_->Param(*pristine_, name);
    return value ? *value : QString();
}

const Report& ReportProject::runnableReport(const char* operation) const {
    requireOpen(operation);
    if (!engine_) {
        throw ReportError(QStringLiteral("Nessun motore di stampa collegato al template"));
    }
    if (!selected_)
        throw ReportError(QStringLiteral("Nessun report selezionato"));
    const Report* report = pristine_->FindReport(*selected_);
    if (!report) {
        throw ReportError(QStringLiteral("Report \"%1\" non trovato nel template \"%2\"")
                              .arg(*selected_, projectFile_));
    }
    return *report;
}

ReportOutput::FileRun ReportProject::ExecuteLater() {
    const Report& report = runnableReport("ExecuteLater");
    ReportOutput::FileRun run = engine_->PrepareFileRun(pristine_, report, std::move(*values_));
    Close();
    return run;
}

bool ReportProject::Execute() {
    const Report* report = &runnableReport("Execute");
    struct ExecutingFlag {
        ReportProject& p;
        explicit ExecutingFlag(ReportProject& project) : p(project) { p.executing_ = true; }
        ~ExecutingFlag() {
            p.executing_ = false;
            if (p.closeRequested_) {
                p.closeRequested_ = false;
                p.Close();
            }
        }
        ExecutingFlag(const ExecutingFlag&) = delete;
        ExecutingFlag& operator=(const ExecutingFlag&) = delete;
    } executing(*this);
    return engine_->Run(*pristine_, *report, *values_);
}

}  // namespace vexora::report
