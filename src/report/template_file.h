#pragma once

#include <QString>

#include <cstddef>
#include <string>
#include <string_view>

#include "report/template_model.h"

namespace vexora::report {

// Largest template file the reader accepts.
inline constexpr std::size_t kMaxTemplateFileBytes = 64u * 1024u * 1024u;

// Reads a template file (UTF-8 XML, root <vexora-report-template version="1">; the
// format is described in docs/report-template.md). Throws ReportError with a message
// that names the file and, where it can, the line.
ReportTemplate readTemplateFile(const QString& path);

// Parses template bytes; fileName only names the source in error messages.
ReportTemplate parseTemplate(std::string_view bytes, const QString& fileName);

// Checks everything the reader checks (names, duplicates, ranges, counts, depth);
// throws ReportError naming the first fault.
void validateTemplate(const ReportTemplate& t);

// The file text of a template (validated first; throws ReportError).
std::string serializeTemplate(const ReportTemplate& t);

// Writes a template file atomically (temporary file renamed over path).
void writeTemplateFile(const ReportTemplate& t, const QString& path);

}  // namespace vexora::report
