#include "install/uninstall.h"

#include <windows.h>
#include <objbase.h>
#include <shlwapi.h>
#include "base/endpoints.h"
#include "base/module_path.h"
#include "base/owned.h"
#include "base/settings.h"
#include "base/work_folder.h"
#include "install/browser_emulation.h"
#include "install/shortcuts.h"
#include "install/statistics.h"
#include "ui/message_box.h"

namespace kvr {

namespace {
const size_t kBatchMax = 2048;
const wchar_t kFinalMessage[] =
    L"MarvoleKelvara已成功移除，部分文件将在程序退出\r\n或计算机重启后自行删除";

// Wide text in the system code page; empty when a character has no exact
// equivalent there (a "?" in a path given to "del" would be a wildcard).
std::string ToSystemCodePage(const std::wstring& text) {
    if (text.empty()) return {};
    BOOL lossy = FALSE;
    const int n = ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr,
                                        0, nullptr, &lossy);
    if (n <= 0 || lossy) return {};
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), &out[0], n, nullptr,
                          &lossy);
    return lossy ? std::string() : out;
}
}  // namespace

unsigned CountFilesBelow(const wchar_t* folder) {
    if (!folder || !*folder) return 0;
    std::wstring pattern(folder);
    if (pattern.back() != L'\\') pattern += L'\\';
    const std::wstring base = pattern;
    pattern += L'*';
    WIN32_FIND_DATAW fd;
    const OwnedFind find(::FindFirstFileW(pattern.c_str(), &fd));
    if (!find) return 1;
    unsigned count = 0;
    do {
        if (::lstrcmpW(fd.cFileName, L".") == 0 || ::lstrcmpW(fd.cFileName, L"..") == 0) continue;
        // A link to a folder is counted, not followed: it cannot loop.
        if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            !(fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            count += CountFilesBelow((base + fd.cFileName).c_str());
        else
            ++count;
    } while (::FindNextFileW(find.get(), &fd));
    return count;
}

namespace {
std::string BatchQuoted(const std::string& path) {
    // "%" would start a variable of the batch language: "%%" is the character.
    std::string out = "\"";
    for (char c : path) out += c == '%' ? std::string("%%") : std::string(1, c);
    return out + "\"";
}
}  // namespace

std::string SelfDeleteBatchText(const std::string& exePath, const std::string& exeFolder,
                                const std::string& batchPath, bool removeFolder) {
    const std::string exe = BatchQuoted(exePath), folder = BatchQuoted(exeFolder);
    // Two pings to this machine: a pause of about a second between tries.
    std::string text = "cd\\\r\nset kvrTries=0\r\n:delexe\r\nping -n 2 127.0.0.1 >nul\r\ndel " + exe +
                       "\r\nif not exist " + exe + " goto removed\r\nset /a kvrTries+=1\r\nif %kvrTries% lss " +
                       std::to_string(kSelfDeleteTries) + " goto delexe\r\ngoto end\r\n:removed\r\n";
    if (removeFolder) text += "del " + folder + " /Q /F /A\r\nrd " + folder + "\r\n";
    text += ":end\r\ndel " + BatchQuoted(batchPath) + "\r\n";
    // A cut batch could run a cut path: rather no batch at all.
    return text.size() <= kBatchMax ? text : std::string();
}

std::string SelfDeleteCommandLine(const std::string& systemFolder, const std::string& batchPath) {
    return "\"" + systemFolder + "\\cmd.exe\" /D /V:OFF /C \"\"" + batchPath + "\"\"";
}

bool StartSelfDelete(const wchar_t* exePath) {
    if (!exePath || !*exePath) return false;
    const std::wstring exeWide(exePath);
    const size_t slash = exeWide.rfind(L'\\');
    if (slash == std::wstring::npos) return false;
    const std::wstring folderWide = exeWide.substr(0, slash);
    const std::string exe = ToSystemCodePage(exeWide);
    const std::string folder = ToSystemCodePage(folderWide);
    if (exe.empty() || folder.empty()) return false;
    const bool removeFolder = CountFilesBelow(folderWide.c_str()) < 2;

    // A new file of a random name in the work folder, written through the
    // handle that made it.
    const CWorkFolder work;
    std::wstring batchWide;
    OwnedFile file = work.CreateNewFile(L"DelSelf", L".bat", GENERIC_WRITE, 0, 0, &batchWide);
    if (!file) return false;
    const std::string batch = ToSystemCodePage(batchWide);
    const std::string text = batch.empty() ? std::string() : SelfDeleteBatchText(exe, folder, batch, removeFolder);
    DWORD written = 0;
    const BOOL ok = !text.empty() &&
                    ::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    file.reset();  // unshared: closed before the batch is deleted or run
    if (!ok || written != text.size()) {
        ::DeleteFileW(batchWide.c_str());
        return false;
    }

    char systemFolder[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryA(systemFolder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    std::string commandLine = SelfDeleteCommandLine(systemFolder, batch);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        ::DeleteFileW(batchWide.c_str());
        return false;
    }
    const OwnedHandle thread(pi.hThread), process(pi.hProcess);
    ::SetThreadPriority(thread.get(), THREAD_PRIORITY_IDLE);
    return true;
}

void Uninstall(ReportEvents& events) {
    wchar_t exe[MAX_PATH];
    const bool haveExe = ModulePath(nullptr, exe, MAX_PATH);

    // 1. Settings, as either build wrote them.
    DeleteSettings();
    if (haveExe) DeleteBrowserEmulation(::PathFindFileNameW(exe));

    // 2. Shortcuts; the start-menu folder only when nothing else is in it.
    const HRESULT com = ::CoInitialize(nullptr);
    DeleteDesktopShortcut(kPortalLinkName);
    DeleteDesktopShortcut(kGameLinkName);
    DeleteStartMenuShortcut(kGameLinkName);
    DeleteStartMenuShortcut(kUninstallLinkName);
    const std::wstring menu = StartMenuFolder();
    if (!menu.empty() && CountFilesBelow(menu.c_str()) == 0) ::RemoveDirectoryW(menu.c_str());
    if (SUCCEEDED(com)) ::CoUninitialize();

    // 3. The batch job that removes the executable after we have ended.
    if (haveExe) StartSelfDelete(exe);

    // 4. Report.
    const unsigned count = IncrementCounter(nullptr, L"UnInst");
    ReportInBackground(CountReportUrl(ServerUrl(Server::ClientService, VersionedPath(paths::kUninstall)), count).c_str(),
                       events);

    // 5. Tell the player.
    ShowMessageBox(kMbOk, kMessageTitle, kFinalMessage, nullptr);
}

}  // namespace kvr
