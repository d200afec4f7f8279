// Usage statistics: the counters in Statistic.ini and the reports that carry them.
#pragma once
#include "update/http_fetch.h"

namespace kvr {

// Install: chooses and stores the weekdays without the automatic update check.
void WriteDisableDays();
// Counts the install and sends the install report.
void SendInstallReport(ReportEvents& events);
// Counts a start and sends the active report: through the portal shortcut
// (tag "webMarvole") or of the game client (tag "kvr").
void SendActiveReport(bool portalShortcut, ReportEvents& events);

}  // namespace kvr
