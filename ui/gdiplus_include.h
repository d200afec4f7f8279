// GDI+ headers for a build that defines NOMINMAX: the platform's headers use
// min and max unqualified, so they are given the standard ones.
#pragma once
#include <windows.h>
#include <objidl.h>
#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>
