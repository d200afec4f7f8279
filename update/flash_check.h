// The Flash Player version check.
#pragma once

namespace kvr {

// The oldest Flash Player the game refuses: the installed one must be newer.
inline constexpr wchar_t kRequiredFlashVersion[] = L"10,3,102,64";

// Compares two versions written as up to four comma-separated decimal numbers
// (an empty or non-numeric component reads as 0). True only when installed is
// strictly greater than required.
bool FlashVersionPasses(const wchar_t* installed, const wchar_t* required = kRequiredFlashVersion);

// Reads HKLM "SOFTWARE\Macromedia\FlashPlayer" CurrentVersion into version
// (count characters); false when the key or value is missing or too long.
bool ReadInstalledFlashVersion(wchar_t* version, unsigned count);

// True when the installed Flash Player ActiveX control is recent enough.
bool FlashPlayerIsCurrent();

}  // namespace kvr
