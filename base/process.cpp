#include "base/process.h"

#include <optional>
#include <vector>
#include "base/owned.h"
#include "base/system_library.h"

namespace kvr {
namespace {

// Vista's extended start-up information, declared here: the XP build's
// headers leave it out, and XP's kernel32 has none of its functions.
constexpr DWORD kExtendedStartupInfoPresent = 0x00080000;
constexpr DWORD_PTR kAttributeHandleList = 0x00020002;
struct StartupInfoEx {
    STARTUPINFOW info;
    void* attributes;
};

// An attribute list naming the one handle a new process inherits; empty
// where the system has no such lists (XP).
class InheritOnly {
public:
    explicit InheritOnly(HANDLE* handle) {
        using InitFn = BOOL(WINAPI*)(void*, DWORD, DWORD, SIZE_T*);
        using UpdateFn = BOOL(WINAPI*)(void*, DWORD, DWORD_PTR, void*, SIZE_T, void*, SIZE_T*);
        const HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
        const auto init = ProcAddress<InitFn>(kernel, "InitializeProcThreadAttributeList");
        const auto update = ProcAddress<UpdateFn>(kernel, "UpdateProcThreadAttribute");
        m_delete = ProcAddress<DeleteFn>(kernel, "DeleteProcThreadAttributeList");
        if (!init || !update || !m_delete) return;
        SIZE_T size = 0;
        init(nullptr, 1, 0, &size);
        std::vector<BYTE> buffer(size);
        if (!size || !init(buffer.data(), 1, 0, &size)) return;
        m_buffer.swap(buffer);
        if (!update(m_buffer.data(), 0, kAttributeHandleList, handle, sizeof(HANDLE), nullptr, nullptr)) Clear();
    }
    ~InheritOnly() { Clear(); }
    InheritOnly(const InheritOnly&) = delete;
    InheritOnly& operator=(const InheritOnly&) = delete;

    void* List() { return m_buffer.empty() ? nullptr : m_buffer.data(); }

private:
    using DeleteFn = void(WINAPI*)(void*);
    template <typename Fn>
    static Fn ProcAddress(HMODULE module, const char* name) {
        return module ? reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)))
                      : nullptr;
    }
    void Clear() {
        if (!m_buffer.empty()) m_delete(m_buffer.data());
        m_buffer.clear();
    }

    DeleteFn m_delete = nullptr;
    std::vector<BYTE> m_buffer;
};

bool Start(const wchar_t* program, const std::wstring& commandLine, DWORD creationFlags, HANDLE* process,
           const wchar_t* currentDirectory, HANDLE inherited) {
    if (process) *process = nullptr;
    const std::wstring systemFolder = currentDirectory ? std::wstring() : SystemFolder();
    if (!currentDirectory && !systemFolder.empty()) currentDirectory = systemFolder.c_str();
    std::wstring buffer = commandLine;  // CreateProcessW may write into it
    StartupInfoEx si{};
    si.info.cb = sizeof si.info;
    si.info.dwFlags = STARTF_USESHOWWINDOW;
    si.info.wShowWindow = SW_SHOWNORMAL;
    std::optional<InheritOnly> only;
    if (inherited) {
        if (!::SetHandleInformation(inherited, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT)) return false;
        only.emplace(&inherited);
        if (only->List()) {
            si.info.cb = sizeof si;
            si.attributes = only->List();
            creationFlags |= kExtendedStartupInfoPresent;
        }
    }
    PROCESS_INFORMATION pi{};
    const BOOL started = ::CreateProcessW(program, &buffer[0], nullptr, nullptr, inherited ? TRUE : FALSE,
                                          creationFlags, nullptr, currentDirectory, &si.info, &pi);
    if (inherited) ::SetHandleInformation(inherited, HANDLE_FLAG_INHERIT, 0);
    if (!started) return false;
    const OwnedHandle thread(pi.hThread);
    OwnedHandle handle(pi.hProcess);
    if (process) *process = handle.release();
    return true;
}

}  // namespace

bool StartProcess(const wchar_t* program, const std::wstring& commandLine, DWORD creationFlags,
                  HANDLE* process, const wchar_t* currentDirectory) {
    return Start(program, commandLine, creationFlags, process, currentDirectory, nullptr);
}

bool StartProcessWithHandle(const std::wstring& commandLine, DWORD creationFlags, HANDLE inherited,
                            HANDLE* process) {
    return inherited && Start(nullptr, commandLine, creationFlags, process, nullptr, inherited);
}

bool StartProgram(const wchar_t* path, DWORD creationFlags, const wchar_t* currentDirectory) {
    if (!path || !*path) return false;
    return StartProcess(path, L"\"" + std::wstring(path) + L"\"", creationFlags, nullptr, currentDirectory);
}

}  // namespace kvr
