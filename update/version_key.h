// The version key: what the update server publishes about its newest build
// and what the program computes about the file it runs from.
#pragma once
#include <windows.h>
#include <string>

namespace kvr {

// "%02x" of the first 14 digest bytes (28 digits) + the program version
// without its dots ("3003"): 32 characters.
std::wstring VersionKeyFromDigest(const BYTE digest[16]);

// MD5 (RFC 1321) of a file through the platform's CryptoAPI, which every
// supported system has. False when the file cannot be read.
bool Md5OfFile(const wchar_t* path, BYTE digest[16]);
// The same for an open file, read from its start.
bool Md5OfHandle(HANDLE file, BYTE digest[16]);
std::wstring VersionKeyOfHandle(HANDLE file);

// The version key of a file; empty when it cannot be read.
std::wstring VersionKeyOfFile(const wchar_t* path);

// The same build: the 28 digest digits of both keys are equal, letter case
// ignored. The version after them names the build that published the key
// ("3004" for 3.0.0.4), not the one that reads it, so it is not compared. A
// key without 28 hexadecimal digits at its start never matches.
bool VersionKeysMatch(const std::wstring& a, const std::wstring& b);

}  // namespace kvr
