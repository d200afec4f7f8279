// Interface and command-group ids the browser host uses that not every
// toolchain's import libraries carry; defined here once, by value.
#pragma once
#include <windows.h>

namespace kvr {

// {C4D244B0-D43E-11CF-893B-00AA00BDCE1A}
inline constexpr IID kIidDocHostShowUI = {0xc4d244b0, 0xd43e, 0x11cf,
                                          {0x89, 0x3b, 0x00, 0xaa, 0x00, 0xbd, 0xce, 0x1a}};
// {3050F613-98B5-11CF-BB82-00AA00BDCE0B}
inline constexpr IID kDiidHtmlDocumentEvents2 = {0x3050f613, 0x98b5, 0x11cf,
                                                 {0xbb, 0x82, 0x00, 0xaa, 0x00, 0xbd, 0xce, 0x0b}};
// {F38BC242-B950-11D1-8918-00C04FC2C836}
inline constexpr GUID kCgidDocHostCommandHandler = {0xf38bc242, 0xb950, 0x11d1,
                                                    {0x89, 0x18, 0x00, 0xc0, 0x4f, 0xc2, 0xc8, 0x36}};

}  // namespace kvr
