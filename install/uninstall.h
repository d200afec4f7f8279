// Uninstall: settings, shortcuts, the uninstall report and the self-deleting batch job.
#pragma once
#include <string>
#include "base/http_fetch.h"

namespace kvr {

// Files below a folder, sub-folders counted recursively; a folder that cannot
// be listed counts as 1, an empty name as 0.
unsigned CountFilesBelow(const wchar_t* folder);

// The batch job that deletes the executable once it has ended (texts in the
// system code page, "%" written as "%%"). removeFolder: also empties and
// removes exeFolder.
std::string SelfDeleteBatchText(const std::string& exePath, const std::string& exeFolder,
                                const std::string& batchPath, bool removeFolder);

// The batch file's name beside GetTempFileName's tempFileName: its stem, "-",
// 16 random hexadecimal digits and ".bat"; empty without randomness.
std::string SelfDeleteBatchPath(const char* tempFileName);

// Writes the batch job for exePath into the temporary folder and starts it
// hidden at idle priority. False when nothing was started.
bool StartSelfDelete(const wchar_t* exePath);

// Runs after the player confirmed; the caller waits for events.done.
void Uninstall(ReportEvents& events);

}  // namespace kvr
