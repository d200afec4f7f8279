#include "gamewnd/page_text.h"

#include <cwchar>
#include "base/endpoints.h"
#include "base/messages.h"

namespace kvr {

namespace {

const wchar_t kServerMark[] = L"服-";

// Formats like the program's fixed buffers: an over-long result is cut.
std::wstring Bounded(std::wstring text, size_t maxChars) {
    if (text.size() > maxChars) text.resize(maxChars);
    return text;
}

}  // namespace

std::wstring CaptionServer(const std::wstring& caption) {
    const size_t pos = caption.find(kServerMark);
    return pos == std::wstring::npos ? std::wstring() : caption.substr(0, pos);
}

std::wstring CaptionUid(const std::wstring& caption) {
    const size_t pos = caption.rfind(L'-');
    return pos == std::wstring::npos ? caption : caption.substr(pos + 1);
}

std::wstring EncodeQueryValue(const std::wstring& value) {
    std::string utf8;
    if (!value.empty()) {
        const int n = ::WideCharToMultiByte(CP_UTF8, 0, value.data(), static_cast<int>(value.size()),
                                            nullptr, 0, nullptr, nullptr);
        if (n > 0) {
            utf8.resize(static_cast<size_t>(n));
            ::WideCharToMultiByte(CP_UTF8, 0, value.data(), static_cast<int>(value.size()), &utf8[0],
                                  n, nullptr, nullptr);
        }
    }
    static const wchar_t kHex[] = L"0123456789ABCDEF";
    std::wstring out;
    out.reserve(utf8.size() * 3);
    for (unsigned char c : utf8) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                           c == '-' || c == '_' || c == '.' || c == '~';
        if (plain) {
            out += static_cast<wchar_t>(c);
        } else {
            out += L'%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::wstring LoginRecordUrl(const std::wstring& caption, int index) {
    // Composed piecewise, never through a format: the encoded uid cannot be
    // taken for a format directive.
    const std::wstring path = VersionedPath(paths::kLoginRecord) + L"&uid=" + EncodeQueryValue(CaptionUid(caption)) +
                              L"&index=" + std::to_wstring(index);
    return Bounded(ServerUrl(Server::ClientService, path), 511);
}

unsigned long PlaySeconds(DWORD startTick, DWORD nowTick) {
    const DWORD elapsed = static_cast<DWORD>(nowTick - startTick);
    return static_cast<unsigned long>(elapsed / 1000u);
}

std::wstring PlayTimeUrl(const std::wstring& caption, DWORD startTick, DWORD nowTick) {
    std::wstring query = paths::kPlayTime;  // "...server=S%s&length=%ld&cid=4224"
    const size_t serverAt = query.find(L"%s");
    const size_t lengthAt = query.find(L"%ld");
    std::wstring path = query.substr(0, serverAt) + EncodeQueryValue(CaptionServer(caption)) +
                        query.substr(serverAt + 2, lengthAt - serverAt - 2) +
                        std::to_wstring(PlaySeconds(startTick, nowTick)) + query.substr(lengthAt + 3);
    return ServerUrl(Server::PlayTime, Bounded(path, 255));
}

bool ReadCopyDataCaption(const COPYDATASTRUCT* cds, std::wstring* caption) {
    if (!cds || !cds->lpData) return false;
    const DWORD bytes = cds->cbData;
    if (bytes < sizeof(wchar_t) || bytes % sizeof(wchar_t) != 0 ||
        bytes > static_cast<DWORD>(kMaxCaption * sizeof(wchar_t)))
        return false;
    const wchar_t* text = static_cast<const wchar_t*>(cds->lpData);
    const size_t units = bytes / sizeof(wchar_t);
    const wchar_t* end = std::wmemchr(text, L'\0', units);
    if (!end) return false;
    if (caption) caption->assign(text, static_cast<size_t>(end - text));
    return true;
}

}  // namespace kvr
