// Internet Explorer favourites: a ".url" file in the user's favourites folder.
#pragma once
#include <windows.h>
#include <string>

namespace kvr {

inline constexpr int kFavoriteNameMax = 127;   // characters taken from the name field
inline constexpr size_t kFavoriteTextMax = 511;  // bytes, as a 512-byte buffer with its terminator

// A name that can only become a file directly inside the favourites folder:
// not empty, no characters invalid in file names (path separators
// included), no "..", not a device name.
bool IsValidFavoriteName(const wchar_t* name);

// The ".url" text for a page address, in codePage, cut at a character
// boundary to kFavoriteTextMax bytes.
std::string FavoriteFileText(const wchar_t* url, UINT codePage = CP_ACP);

// Writes folder\name.url, a new file in place of whatever had that name (a
// link there goes itself, never written through). The folder is the
// player's: it is held open at every level (CHeldPath), so nothing is
// written when a junction or link is on its way. Nothing is written for an
// invalid name; false then and when the file cannot be written.
bool WriteFavorite(const wchar_t* folder, const wchar_t* name, const wchar_t* url);

// The user's favourites folder (CSIDL_FAVORITES), empty when unknown.
std::wstring FavoritesFolder();

}  // namespace kvr
