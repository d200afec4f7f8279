#include "base/url_parts.h"

#include <cwchar>

namespace kvr {
namespace {

bool IsHostChar(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'-' ||
           c == L'.';
}

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// Reads "host[:port]" at p into out (port default kept); the position after
// it, or nullptr when refused.
const wchar_t* ReadAuthority(const wchar_t* p, UrlParts* out) {
    size_t hostLen = 0;
    while (IsHostChar(p[hostLen])) ++hostLen;
    if (hostLen == 0 || hostLen >= 260 || p[0] == L'.' || p[hostLen - 1] == L'.') return nullptr;
    for (size_t i = 1; i < hostLen; ++i)
        if (p[i] == L'.' && p[i - 1] == L'.') return nullptr;
    const wchar_t* rest = p + hostLen;
    if (*rest == L':') {
        ++rest;
        size_t digits = 0;
        unsigned long port = 0;
        while (IsDigit(rest[digits]) && digits < 5) port = port * 10 + (rest[digits++] - L'0');
        if (digits == 0 || port == 0 || port > 65535) return nullptr;
        rest += digits;
        out->port = static_cast<unsigned short>(port);
    }
    std::wmemcpy(out->host, p, hostLen);
    out->host[hostLen] = 0;
    return rest;
}

}  // namespace

bool SplitUrl(const wchar_t* url, UrlParts* out) {
    *out = UrlParts{};
    // _wcsnicmp stops at the terminator of a shorter text.
    if (!url || _wcsnicmp(url, L"http://", 7) != 0) return false;
    const wchar_t* rest = ReadAuthority(url + 7, out);
    // Whatever else stands before the path ("@", "?", "\", a sixth port
    // digit, ...) is a way of writing a host that differs between readers.
    if (!rest || (*rest != L'/' && *rest != 0)) {
        *out = UrlParts{};
        return false;
    }
    if (*rest == L'/') {
        ++rest;
        const size_t objectLen = std::wcslen(rest);
        bool printable = objectLen < 512;
        for (size_t i = 0; printable && i < objectLen; ++i) printable = rest[i] > L' ' && rest[i] < 0x7F;
        if (!printable) {
            *out = UrlParts{};
            return false;
        }
        std::wmemcpy(out->object, rest, objectLen);
    }
    return true;
}

bool SplitPageUrl(const wchar_t* url, UrlParts* out) {
    *out = UrlParts{};
    if (!url) return false;
    size_t scheme = 0;
    if (_wcsnicmp(url, L"http://", 7) == 0) {
        scheme = 7;
    } else if (_wcsnicmp(url, L"https://", 8) == 0) {
        scheme = 8;
        out->port = 443;
    } else {
        return false;
    }
    const wchar_t* rest = ReadAuthority(url + scheme, out);
    if (!rest || (*rest != 0 && *rest != L'/' && *rest != L'?' && *rest != L'#')) {
        *out = UrlParts{};
        return false;
    }
    return true;
}

}  // namespace kvr
