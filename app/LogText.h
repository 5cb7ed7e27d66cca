// The texts of one attempt: the log line and the report message.
#pragma once

#include <string>

namespace sw::guard {

// Date and time, ">>", the offender, " >>Startpage:", the rejected address.
std::string ComposeLogLine(const std::string& dateTime, const std::string& offender, const std::string& rejected);

// Four lines separated by a single CR: offender, the attempt text, the
// rejected address, the correction text.
std::string ComposeReport(const std::string& offender, const std::string& rejected);

// Date and time as a log line starts: the date, a blank and the time; only
// the date when the time is exactly 00:00:00.
std::string ComposeDateTime(const std::string& date, const std::string& time, bool midnight);

}  // namespace sw::guard
