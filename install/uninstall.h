// Uninstall: settings, shortcuts, the uninstall report and the self-deleting batch job.
#pragma once
#include <string>
#include "base/http_fetch.h"

namespace kvr {

// Files below a folder, sub-folders counted recursively; a folder that cannot
// be listed counts as 1, an empty name as 0.
unsigned CountFilesBelow(const wchar_t* folder);

// Tries of the batch job, about a second apart, before it gives up on an
// executable that stays in use.
constexpr int kSelfDeleteTries = 600;

// The batch job that deletes the executable once it has ended (texts in the
// system code page, "%" written as "%%"), trying kSelfDeleteTries times.
// removeFolder: then also empties and removes exeFolder.
std::string SelfDeleteBatchText(const std::string& exePath, const std::string& exeFolder,
                                const std::string& batchPath, bool removeFolder);

// The command line that runs the batch job: the system folder's own command
// interpreter, without the registry's AutoRun commands (/D) and without
// delayed expansion (/V:OFF), which would read "!" in a path.
std::string SelfDeleteCommandLine(const std::string& systemFolder, const std::string& batchPath);

// Writes the batch job for exePath into the work folder (only administrators
// can change it while cmd reads it line by line, and it lies outside the
// folder it removes) and starts it hidden at idle priority. False when
// nothing was started.
bool StartSelfDelete(const wchar_t* exePath);

// Runs after the player confirmed; the caller waits for events.done.
void Uninstall(ReportEvents& events);

}  // namespace kvr
