#include "ui/text_wrap.h"

namespace kvr {

std::vector<std::wstring> WrapText(const std::wstring& text, int maxWidth,
                                   const std::function<int(const std::wstring&)>& measure) {
    std::vector<std::wstring> lines;
    std::wstring line;
    bool open = true;  // a line has been started and not yet put out
    for (const wchar_t ch : text) {
        if (ch == L'\r') continue;
        if (ch == L'\n') {
            if (open) lines.push_back(line);
            line.clear();
            open = true;
            continue;
        }
        open = true;
        line.push_back(ch);
        if (line.size() > 1 && measure(line) > maxWidth) {
            // Too wide: the character moves on to a new line.
            line.pop_back();
            lines.push_back(line);
            line.assign(1, ch);
        }
        if (line.size() == 1 && measure(line) > maxWidth) {
            // Wider than the whole line: it gets a line of its own (drawn
            // clipped) and the text goes on below it.
            lines.push_back(line);
            line.clear();
            open = false;
        }
    }
    if (open) lines.push_back(line);
    return lines;
}

int WrappedHeight(int lines, int lineHeight, int spacing) {
    if (lines < 1) lines = 1;
    return lineHeight + (lines - 1) * (lineHeight + spacing);
}

}  // namespace kvr
