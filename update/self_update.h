// Self-update: the update configuration page, the version key, the download
// and the swap of the running executable.
#pragma once

namespace kvr {

// Fetches the update configuration and compares version keys; true when an
// update is offered (its address is kept by the application). With throttled
// set, the check runs at most once a day and not on the disabled weekdays.
bool CheckUpdate(bool throttled);

// Downloads the offered update with the progress dialog and swaps it in;
// true when the new executable is in place.
bool InstallUpdate();

}  // namespace kvr
