#include "update/version_key.h"

#include <wincrypt.h>
#include <cwctype>
#include "base/endpoints.h"
#include "base/owned.h"

namespace kvr {

std::wstring VersionKeyFromDigest(const BYTE digest[16]) {
    static const wchar_t hex[] = L"0123456789abcdef";
    std::wstring key;
    for (int i = 0; i < 14; ++i) {
        key += hex[digest[i] >> 4];
        key += hex[digest[i] & 0x0F];
    }
    for (const wchar_t* v = ProgramVersion(); *v; ++v)
        if (*v != L'.') key += *v;
    return key;
}

bool Md5OfHandle(HANDLE file, BYTE digest[16]) {
    LARGE_INTEGER start{};
    if (file == INVALID_HANDLE_VALUE || !::SetFilePointerEx(file, start, nullptr, FILE_BEGIN)) return false;
    bool ok = false;
    OwnedCryptProvider prov;
    OwnedCryptHash hash;  // destroyed before its provider
    if (::CryptAcquireContextW(prov.put(), nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT) &&
        ::CryptCreateHash(prov.get(), CALG_MD5, 0, 0, hash.put())) {
        BYTE buffer[16 * 1024];
        DWORD read = 0;
        ok = true;
        for (;;) {
            if (!::ReadFile(file, buffer, sizeof(buffer), &read, nullptr)) { ok = false; break; }
            if (read == 0) break;
            if (!::CryptHashData(hash.get(), buffer, read, 0)) { ok = false; break; }
        }
        DWORD size = 16;
        if (ok) ok = ::CryptGetHashParam(hash.get(), HP_HASHVAL, digest, &size, 0) && size == 16;
    }
    return ok;
}

bool Md5OfFile(const wchar_t* path, BYTE digest[16]) {
    const OwnedFile file(::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                       OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    return file && Md5OfHandle(file.get(), digest);
}

std::wstring VersionKeyOfHandle(HANDLE file) {
    BYTE digest[16] = {};
    return Md5OfHandle(file, digest) ? VersionKeyFromDigest(digest) : std::wstring();
}

std::wstring VersionKeyOfFile(const wchar_t* path) {
    BYTE digest[16] = {};
    if (!path || !Md5OfFile(path, digest)) return {};
    return VersionKeyFromDigest(digest);
}

bool VersionKeysMatch(const std::wstring& a, const std::wstring& b) {
    constexpr size_t kDigestDigits = 28;
    if (a.size() < kDigestDigits || b.size() < kDigestDigits) return false;
    for (size_t i = 0; i < kDigestDigits; ++i) {
        const wchar_t c = static_cast<wchar_t>(std::towlower(a[i]));
        const bool hex = (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f');
        if (!hex || c != static_cast<wchar_t>(std::towlower(b[i]))) return false;
    }
    return true;
}

}  // namespace kvr
