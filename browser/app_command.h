// The "app:" channel from a page to the program: a page navigates to a URL
// that begins with "app:", the host sees the navigation before it happens,
// cancels it and reads the URL as a command. These are the syntax rules every
// command handler shares; they need no window.
#pragma once
#include <string>

namespace kvr {

// True when the first 4 characters are exactly "app:" (case-sensitive).
bool IsAppUrl(const wchar_t* url);

// The base filter of the DHTML dialogs: "app:" URLs are cancelled, URLs that
// begin with "javascript" always run, anything else is left as it is.
void FilterAppUrl(const wchar_t* url, bool* cancel);

// Where a hosted browser may go: http, https, about and javascript addresses
// (the scheme in any case) and the program's own "app:" commands, which the
// page's owner reads and which never navigate. Anything else (file:, res:,
// mk:, a protocol some program registered for itself) is cancelled: the
// browser would hand it to a handler started with the program's rights.
bool IsAllowedNavigation(const wchar_t* url);

// "app://" + name: the 8 characters at positions 6 to 13; empty when the URL
// is shorter.
std::wstring AppCommandName(const wchar_t* url);

// The arguments from position 15 on, split at the first "|": data before it,
// second datum after it. Without a "|" both are empty (the argument part has
// no recognisable data then).
struct AppArgs {
    std::wstring data;
    std::wstring second;
    bool hasBar = false;
};
AppArgs SplitAppArgs(const wchar_t* url);

// A BSTR or wide text that may be null, as a std::wstring.
inline std::wstring SafeText(const wchar_t* s) { return s ? std::wstring(s) : std::wstring(); }

}  // namespace kvr
