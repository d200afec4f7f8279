#include "install/uninstall.h"

#include <windows.h>

namespace kvr {

// Still missing: removing settings and shortcuts, the report and the batch job.
void Uninstall(ReportEvents& events) { ::SetEvent(events.done); }

}  // namespace kvr
