// The files of the tests of the program's files: scratch folders, folder
// links, start marks, file bytes and access lists.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include <aclapi.h>
#include <shellapi.h>
#include <string>
#include <vector>

namespace kvrtest {

// Folder links, as this system can make them. Windows (and a Wine that has
// them) makes a symbolic link. Wine 8 answers CreateSymbolicLinkW with
// success and makes nothing, and has no junctions (FSCTL_SET_REPARSE_POINT:
// ERROR_NOT_SUPPORTED), but shows a Unix symbolic link to a folder as a
// folder with FILE_ATTRIBUTE_REPARSE_POINT: that one is made and removed with
// the system's ln and rm, which Wine starts like any program.
inline std::string UnixName(const std::wstring& path) {
    using UnixNameFn = char*(CDECL*)(LPCWSTR);
    auto unixName = reinterpret_cast<UnixNameFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!unixName) return {};
    char* name = unixName(path.c_str());
    const std::string out = name ? name : "";
    ::HeapFree(::GetProcessHeap(), 0, name);
    return out;
}

// The Unix name of the entry itself (Wine looks through a link when it names
// the link): its folder's Unix name and its own name.
inline std::string UnixEntryName(const std::wstring& path) {
    const size_t slash = path.rfind(L'\\');
    const std::string folder = UnixName(path.substr(0, slash));
    if (folder.empty()) return {};
    std::string leaf;
    for (wchar_t c : path.substr(slash + 1)) leaf += static_cast<char>(c);  // ASCII names here
    return folder + "/" + leaf;
}

inline bool RunLinuxProgram(const char* program, std::string commandLine) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessA(program, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    ::WaitForSingleObject(pi.hProcess, 10000);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    return true;
}

inline bool IsLinkHere(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Wine signals a Linux program's process at once: its effect is awaited.
inline bool LinkBecomes(const std::wstring& path, bool present) {
    for (int i = 0; i < 100; ++i) {
        if (IsLinkHere(path) == present) return true;
        ::Sleep(50);
    }
    return false;
}

// Returns how the link was made ("" when this system can make none).
inline std::string MakeFolderLink(const std::wstring& link, const std::wstring& target) {
    using CreateLinkFn = BOOLEAN(WINAPI*)(LPCWSTR, LPCWSTR, DWORD);
    auto createLink = reinterpret_cast<CreateLinkFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "CreateSymbolicLinkW")));
    if (createLink && createLink(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY) && IsLinkHere(link))
        return "symbolic link";
    const std::string from = UnixName(target);
    const std::string to = UnixEntryName(link);
    if (from.empty() || to.empty() || !RunLinuxProgram("Z:\\bin\\ln", "/bin/ln -sT \"" + from + "\" \"" + to + "\""))
        return {};
    return LinkBecomes(link, true) ? "Unix symbolic link" : "";
}

// Removes a link left behind (also one whose target is gone), never what it
// points to: rm without -r refuses a real folder.
inline void RemoveFolderLink(const std::wstring& link) {
    if (IsLinkHere(link) && ::RemoveDirectoryW(link.c_str())) return;
    const std::string name = UnixEntryName(link);
    if (!name.empty() && RunLinuxProgram("Z:\\bin\\rm", "/bin/rm -f \"" + name + "\"")) LinkBecomes(link, false);
}

// A fresh folder under the temporary folder (or under `parent`) for one test,
// removed with everything in it afterwards.
inline void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW fd;
    HANDLE h = ::FindFirstFileW((folder + L"\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = fd.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = folder + L"\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
                RemoveFolderLink(path);  // the link, never what it points to
            } else if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path);
            } else {
                ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileW(path.c_str());
            }
        } while (::FindNextFileW(h, &fd));
        ::FindClose(h);
    }
    ::RemoveDirectoryW(folder.c_str());
}

class ScratchDir {
public:
    explicit ScratchDir(const wchar_t* tag = L"kvr", std::wstring parent = {}) {
        if (parent.empty()) {
            wchar_t temp[MAX_PATH] = {};
            ::GetTempPathW(MAX_PATH, temp);
            parent = temp;
        } else if (parent.back() != L'\\') {
            parent += L'\\';
        }
        static unsigned serial = 0;
        m_path = parent + tag + L"-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                 std::to_wstring(++serial);
        RemoveTree(m_path);
        ::CreateDirectoryW(m_path.c_str(), nullptr);
    }
    ~ScratchDir() { RemoveTree(m_path); }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::wstring& path() const { return m_path; }
    std::wstring operator/(const std::wstring& name) const { return m_path + L"\\" + name; }

private:
    std::wstring m_path;
};

// The stand-in program (tests/update/tiny_installer.cpp) leaves a mark named
// after its file in the temporary folder. These find or remove the marks of
// one started as `name`.exe or as a numbered copy ("name(1).exe").
inline std::vector<std::wstring> StartMarks(const std::wstring& name) {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    std::vector<std::wstring> marks;
    for (const wchar_t* pattern : {L".ran", L"(*).ran"}) {
        WIN32_FIND_DATAW fd;
        HANDLE h = ::FindFirstFileW((temp + name + pattern).c_str(), &fd);
        if (h == INVALID_HANDLE_VALUE) continue;
        do marks.push_back(temp + std::wstring(fd.cFileName));
        while (::FindNextFileW(h, &fd));
        ::FindClose(h);
    }
    return marks;
}
inline bool StartedAs(const std::wstring& name) { return !StartMarks(name).empty(); }
inline void ForgetStarts(const std::wstring& name) {
    for (const std::wstring& mark : StartMarks(name)) ::DeleteFileW(mark.c_str());
}

inline bool FileExists(const std::wstring& path) {
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline std::string ReadFileBytes(const std::wstring& path) {
    std::string out;
    HANDLE f = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return out;
    char buf[4096];
    DWORD n = 0;
    while (::ReadFile(f, buf, sizeof buf, &n, nullptr) && n) out.append(buf, n);
    ::CloseHandle(f);
    return out;
}

inline bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE f = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD n = 0;
    const BOOL ok = ::WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
    ::CloseHandle(f);
    return ok && n == bytes.size();
}

inline std::wstring IniValue(const std::wstring& ini, const wchar_t* key) {
    wchar_t v[64] = {};
    ::GetPrivateProfileStringW(L"Kvr", key, L"<absent>", v, 64, ini.c_str());
    return v;
}

// True under Wine (its ntdll has wine_get_version).
inline bool UnderWine() {
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

// What the access list of a file or folder grants, read back with
// GetNamedSecurityInfoW. Wine keeps no list of its own: it reports one made
// from the Unix mode bits (the owner, SYSTEM, and Everyone read and execute
// when others may read), so there only the Everyone entry can tell.
struct AccessGrants {
    bool read = false;        // the list could be read
    bool isProtected = false;  // nothing inherited from above
    ACCESS_MASK system = 0, administrators = 0, users = 0, everyone = 0;
};

// The grants of an access list itself (read and isProtected stay false).
inline AccessGrants GrantsOf(PACL dacl) {
    AccessGrants g;
    BYTE sids[4][SECURITY_MAX_SID_SIZE];
    const WELL_KNOWN_SID_TYPE types[4] = {WinLocalSystemSid, WinBuiltinAdministratorsSid, WinBuiltinUsersSid,
                                          WinWorldSid};
    ACCESS_MASK* masks[4] = {&g.system, &g.administrators, &g.users, &g.everyone};
    for (int i = 0; i < 4; ++i) {
        DWORD size = SECURITY_MAX_SID_SIZE;
        ::CreateWellKnownSid(types[i], nullptr, sids[i], &size);
    }
    for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!::GetAce(dacl, i, &ace)) continue;
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        if (allowed->Header.AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
        for (int k = 0; k < 4; ++k)
            if (::EqualSid(&allowed->SidStart, sids[k])) *masks[k] |= allowed->Mask;
    }
    return g;
}

inline AccessGrants ReadAccessGrants(const std::wstring& path) {
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (::GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                nullptr, &sd) != ERROR_SUCCESS)
        return AccessGrants{};
    AccessGrants g = GrantsOf(dacl);
    g.read = dacl != nullptr;
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    ::GetSecurityDescriptorControl(sd, &control, &revision);
    g.isProtected = (control & SE_DACL_PROTECTED) != 0;
    ::LocalFree(sd);
    return g;
}

// The program-folder list's entries: SYSTEM and Administrators full
// control, Users read and execute, Everyone nothing. `whole`: all of them;
// else those that Wine's lists made from mode bits can show.
inline void ExpectProgramFolderGrants(const AccessGrants& g, bool whole = true) {
    EXPECT_EQ(g.everyone, 0u) << "Everyone may use the folder";
    EXPECT_EQ(g.users & (FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE | WRITE_DAC | WRITE_OWNER), 0u);
    EXPECT_EQ(g.system & FILE_ALL_ACCESS, static_cast<ACCESS_MASK>(FILE_ALL_ACCESS));
    if (!whole) return;
    EXPECT_EQ(g.administrators & FILE_ALL_ACCESS, static_cast<ACCESS_MASK>(FILE_ALL_ACCESS));
    EXPECT_EQ(g.users, static_cast<ACCESS_MASK>(FILE_GENERIC_READ | FILE_GENERIC_EXECUTE));
}

// Where Wine cannot show a check, the test says so with a skip (which
// ./kvr test names) once everything else in it has run.
inline constexpr char kWindowsOnly[] = "Wine keeps no access lists: this part runs on Windows only";

// The program-folder list read back from the folder, nothing inherited.
inline void ExpectProgramFolderList(const std::wstring& folder) {
    const AccessGrants g = ReadAccessGrants(folder);
    ASSERT_TRUE(g.read) << "no access list read back";
    ExpectProgramFolderGrants(g, !UnderWine());
    if (UnderWine()) GTEST_SKIP() << kWindowsOnly;
    EXPECT_TRUE(g.isProtected);
}

}  // namespace kvrtest
