#include "LogText.h"

#include "GuardTexts.h"

namespace sw::guard {

std::string ComposeLogLine(const std::string& dateTime, const std::string& offender, const std::string& rejected) {
    return dateTime + TimeSeparator + offender + UrlSeparator + rejected;
}

std::string ComposeReport(const std::string& offender, const std::string& rejected) {
    return offender + "\r" + ReportAttempted + "\r" + rejected + "\r" + ReportCorrected;
}

std::string ComposeDateTime(const std::string& date, const std::string& time, bool midnight) {
    return midnight ? date : date + " " + time;
}

}  // namespace sw::guard
