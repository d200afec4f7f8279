// What the game window makes of a page's caption ("<server>服-<area>-<account>")
// and the two records it sends about a page: the login record and the
// play-time record. Plain functions, so the rules are testable without windows.
#pragma once
#include <windows.h>
#include <string>

namespace kvr {

// The server: the text before the first "服-"; empty without "服-".
std::wstring CaptionServer(const std::wstring& caption);
// The uid (account): the text after the last "-"; the whole caption without "-".
std::wstring CaptionUid(const std::wstring& caption);

// Percent-encoding of a query value: UTF-8 bytes, everything but A-Z a-z 0-9
// and "-_.~" written as %XX, so "&", "=", blanks and Chinese text can neither
// break nor forge the query.
std::wstring EncodeQueryValue(const std::wstring& value);

// Full URL of the login record for the page that just logged in (index = the
// number of captions after it was added, so the first account sends 1).
// Bounded like the program's URL buffers: at most 511 characters.
std::wstring LoginRecordUrl(const std::wstring& caption, int index);

// Whole seconds between two GetTickCount values, in unsigned 32-bit arithmetic
// so that a wrap of the tick counter in between still gives the right length.
unsigned long PlaySeconds(DWORD startTick, DWORD nowTick);

// Full URL of the play-time record of one page; the path and query are
// bounded to 255 characters as the record's buffer is.
std::wstring PlayTimeUrl(const std::wstring& caption, DWORD startTick, DWORD nowTick);

// A caption handed over by WM_COPYDATA, which any process can send: accepted
// only when the byte count is even, at least one character (the terminator)
// and at most kMaxCaption characters, and a terminator lies within it.
// On success *caption holds the text up to the terminator.
bool ReadCopyDataCaption(const COPYDATASTRUCT* cds, std::wstring* caption);

}  // namespace kvr
