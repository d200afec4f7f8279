// The one reading of an address: the host the trust test judges is the host
// the connection goes to, because both take it from SplitUrl.
#pragma once

namespace kvr {

// "http://host[:port][/object]" in bounded buffers.
struct UrlParts {
    wchar_t host[260] = {};
    unsigned short port = 80;
    wchar_t object[512] = {};  // after the first "/", without it
};

// Splits an http:// address (scheme in any case). Refused (false), never cut
// or guessed at: another scheme; user info ("@"); a host that is not ASCII
// letters, digits, "-" and "." in labels, or of 260 characters or more; a
// port that is not 1 to 5 digits for 1..65535; anything else between host and
// "/"; an object of 512 characters or more or with a character outside
// printable ASCII (a blank or line break would reach the request line).
bool SplitUrl(const wchar_t* url, UrlParts* out);

// The host and port of a page's address as the browser reports it: http://
// or https:// (port 443), host and port read and refused as by SplitUrl, then
// the end or "/", "?" or "#". The rest is not read (object stays empty).
bool SplitPageUrl(const wchar_t* url, UrlParts* out);

}  // namespace kvr
