// Uninstall: settings, shortcuts, the uninstall report and the self-deleting batch job.
#pragma once
#include "update/http_fetch.h"

namespace kvr {

// Runs after the player confirmed; the caller waits for events.done.
void Uninstall(ReportEvents& events);

}  // namespace kvr
