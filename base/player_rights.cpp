#include "base/player_rights.h"

#include <cwchar>
#include <string>
#include "base/access_list.h"

namespace kvr {

namespace {

template <typename T>
bool TokenValue(HANDLE token, TOKEN_INFORMATION_CLASS what, T* value) {
    DWORD size = 0;
    return ::GetTokenInformation(token, what, value, sizeof *value, &size) != FALSE;
}

// The token's user SID into sid; false when it cannot be read.
bool TokenUser(HANDLE token, BYTE (&sid)[SECURITY_MAX_SID_SIZE]) {
    BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE] = {};
    DWORD size = 0;
    if (!::GetTokenInformation(token, ::TokenUser, buffer, sizeof buffer, &size)) return false;
    const PSID user = reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid;
    return ::CopySid(sizeof sid, sid, user) != FALSE;
}

// An impersonation token made from token, when that one may be used for it.
OwnedHandle ForImpersonation(HANDLE token) {
    TOKEN_TYPE type{};
    SECURITY_IMPERSONATION_LEVEL level{};
    if (!TokenValue(token, TokenType, &type) ||
        (type == TokenImpersonation &&
         (!TokenValue(token, TokenImpersonationLevel, &level) || level < SecurityImpersonation)))
        return OwnedHandle();
    OwnedHandle copy;
    if (!::DuplicateTokenEx(token, TOKEN_IMPERSONATE | TOKEN_QUERY, nullptr, SecurityImpersonation,
                            TokenImpersonation, copy.put()))
        return OwnedHandle();
    return copy;
}

bool NotElevated(HANDLE token) {
    TOKEN_ELEVATION elevation{};
    return TokenValue(token, TokenElevation, &elevation) && !elevation.TokenIsElevated;
}

OwnedHandle ShellToken(HANDLE own) {
    DWORD pid = 0;
    const HWND shell = ::GetShellWindow();
    if (!shell || !::GetWindowThreadProcessId(shell, &pid) || !pid) return OwnedHandle();
    const OwnedHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid));
    OwnedHandle token;
    BYTE user[SECURITY_MAX_SID_SIZE], shellUser[SECURITY_MAX_SID_SIZE];
    if (!process || !::OpenProcessToken(process.get(), TOKEN_QUERY | TOKEN_DUPLICATE, token.put()) ||
        !TokenUser(own, user) || !TokenUser(token.get(), shellUser) || !::EqualSid(user, shellUser) ||
        !NotElevated(token.get()))
        return OwnedHandle();
    return ForImpersonation(token.get());
}

// "\\?\C:\..." as the system reports a final path, and "C:\..." compared
// without regard to case.
bool SamePath(const wchar_t* reported, const wchar_t* expected) {
    if (std::wcsncmp(reported, L"\\\\?\\", 4) == 0) reported += 4;
    return ::lstrcmpiW(reported, expected) == 0;
}

}  // namespace

OwnedHandle PlayerToken() {
    OwnedHandle own;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, own.put())) return OwnedHandle();
    TOKEN_ELEVATION_TYPE type{};
    if (!TokenValue(own.get(), TokenElevationType, &type) || type != TokenElevationTypeFull) return OwnedHandle();
    TOKEN_LINKED_TOKEN linked{};
    if (TokenValue(own.get(), TokenLinkedToken, &linked) && linked.LinkedToken) {
        const OwnedHandle limited(linked.LinkedToken);
        if (NotElevated(limited.get())) {
            OwnedHandle usable = ForImpersonation(limited.get());
            if (usable) return usable;
        }
    }
    return ShellToken(own.get());
}

bool RunAsPlayer(HANDLE token, const std::function<void()>& work) {
    if (token && !::SetThreadToken(nullptr, token)) return false;
    work();
    if (token) ::SetThreadToken(nullptr, nullptr);
    return true;
}

CHeldPath::CHeldPath(const wchar_t* folder) {
    // Local drive paths only: "X:\" and at least one folder below it.
    if (!folder || std::wcslen(folder) < 4 || std::wcslen(folder) >= MAX_PATH || folder[1] != L':' ||
        folder[2] != L'\\')
        return;
    std::wstring path(folder);
    while (path.size() > 3 && path.back() == L'\\') path.pop_back();
    for (size_t end = path.find(L'\\', 3);; end = path.find(L'\\', end + 1)) {
        const std::wstring level = path.substr(0, end);
        OwnedFile held(::CreateFileW(level.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                     nullptr));
        if (!held || !IsRealFolder(held.get())) return;
        m_levels.push_back(std::move(held));
        if (end == std::wstring::npos) break;
    }
    // What the system says the folder is (Vista on; Windows XP lacks it).
    using FinalPathFn = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);
    auto finalPath = reinterpret_cast<FinalPathFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "GetFinalPathNameByHandleW")));
    if (finalPath) {
        wchar_t expected[MAX_PATH], reported[MAX_PATH + 8];
        const DWORD n = ::GetLongPathNameW(path.c_str(), expected, MAX_PATH);
        const DWORD got = finalPath(m_levels.back().get(), reported, MAX_PATH + 8, 0);
        if (n == 0 || n >= MAX_PATH || got == 0 || got >= MAX_PATH + 8 || !SamePath(reported, expected)) return;
    }
    m_valid = true;
}

}  // namespace kvr
