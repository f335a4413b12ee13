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
    if (!working_) {
        throw ReportError(QStringLiteral("%1: template non aperto (\"%2\")")
                              .arg(QLatin1String(operation), projectFile_));
    }
}

void ReportProject::Open() {
    if (working_)
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
    working_.emplace(*pristine_);
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
    working_.reset();
    selected_.reset();
}

bool ReportProject::SelectReport(const QString& reportName) {
    requireOpen("SelectReport");
    selected_ = reportName;
    return working_->FindReport(reportName) != nullptr;
}

Report* ReportProject::SelectedReport() {
    return (working_ && selected_) ? working_->FindReport(*selected_) : nullptr;
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

Report* ReportProject::FindReport(const QString& name) {
    return working_ ? working_->FindReport(name) : nullptr;
}

Page* ReportProject::FindPage(const QString& reportDotPage) {
    return working_ ? working_->FindPage(reportDotPage) : nullptr;
}

Component* ReportProject::FindComponent(const QString& name, Page* page) {
    return (working_ && page) ? page->FindComponent(name) : nullptr;
}

void ReportProject::SetParam(const QString& name, const QString& value) {
    requireOpen("SetParam");
    working_->SetParam(name, value);
}

QString ReportProject::GetParam(const QString& name) const {
    if (!working_)
        return {};
    const QString* value = working_->Param(name);
    return value ? *value : QString();
}

bool ReportProject::Execute() {
    requireOpen("Execute");
    if (!engine_) {
        throw ReportError(QStringLiteral("Nessun motore di stampa collegato al template"));
    }
    if (!selected_)
        throw ReportError(QStringLiteral("Nessun report selezionato"));
    const Report* report = working_->FindReport(*selected_);
    if (!report) {
        throw ReportError(QStringLiteral("Report \"%1\" non trovato nel template \"%2\"")
                              .arg(*selected_, projectFile_));
    }
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
    return engine_->Run(*working_, *report);
}

}  // namespace vexora::report
