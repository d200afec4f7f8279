#include "install/statistics.h"

namespace kvr {

// Still missing: the counters, the day arithmetic and the reports.
void WriteDisableDays() {}
void SendInstallReport(ReportEvents&) {}
void SendActiveReport(bool, ReportEvents&) {}

}  // namespace kvr
