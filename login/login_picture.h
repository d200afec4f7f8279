// The login window's background picture as the layered window takes it: a
// 32-bit top-down bitmap of resource 129, premultiplied by its alpha. A page
// process starts making it on a thread of its own while it starts up, so the
// login window finds it ready instead of decoding it first.
#pragma once
#include <windows.h>
#include <memory>
#include "base/owned.h"

namespace kvr {

class LoginPicture {
public:
    // Starts the work; made on this thread when no thread could be started.
    static std::unique_ptr<LoginPicture> Start();
    // Waits for the work to end.
    ~LoginPicture();
    LoginPicture(const LoginPicture&) = delete;
    LoginPicture& operator=(const LoginPicture&) = delete;

    // Waits for the work, then hands the bitmap over with its size; null when
    // the picture could not be made.
    HBITMAP Take(SIZE* size);

private:
    LoginPicture() = default;
    static DWORD WINAPI Make(LPVOID self);
    void MakeBitmap();

    OwnedHandle m_thread;
    OwnedBitmap m_bitmap;
    SIZE m_size{0, 0};
};

}  // namespace kvr
