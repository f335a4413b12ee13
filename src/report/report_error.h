#pragma once

#include <QString>

#include <stdexcept>
#include <string>

namespace vexora::report {

// Every failure of the report engine: an unreadable template, a report that cannot
// run, an output that cannot be written. The message is Italian and names the file
// or element concerned, ready for a message box or the run log.
class ReportError : public std::runtime_error {
public:
    explicit ReportError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    // The message as Qt text (what() holds the same text in UTF-8).
    const QString& message() const { return message_; }

private:
    QString message_;
};

}  // namespace vexora::report
