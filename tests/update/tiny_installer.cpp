// A stand-in game-hall installer: leaves a mark in the temporary folder, so
// a test can tell that the downloaded installer was started.
#include <windows.h>

int main() {
    wchar_t path[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, path);
    ::lstrcatW(path, L"kvr_tiny_installer.ran");
    HANDLE f = ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (f != INVALID_HANDLE_VALUE) ::CloseHandle(f);
    return 0;
}
