// Character-by-character line wrapping of the skinned static text.
#pragma once
#include <functional>
#include <string>
#include <vector>

namespace kvr {

// Splits `text` into lines no wider than `maxWidth` as measured by
// `measure`: CR is skipped, LF ends a line, and a character that would make
// the line too wide starts the next one. A single character wider than the
// whole width gets a line of its own (drawn clipped), so the layout always
// ends. An empty text gives one empty line.
std::vector<std::wstring> WrapText(const std::wstring& text, int maxWidth,
                                   const std::function<int(const std::wstring&)>& measure);

// Height of `lines` lines: lineHeight + (lines - 1) * (lineHeight + spacing).
int WrappedHeight(int lines, int lineHeight, int spacing);

}  // namespace kvr
