#include "gamewnd/page_list.h"

#include <algorithm>

namespace kvr {

bool PageList::AcceptCaption(const std::wstring& caption, DWORD tick) {
    // Any process can send captions: never more than there can be tabs.
    if (m_captions.size() >= static_cast<size_t>(kMaxPages)) return false;
    if (std::find(m_captions.begin(), m_captions.end(), caption) != m_captions.end()) return false;
    m_captions.push_back(caption);
    m_ticks.push_back(tick);
    return true;
}

void PageList::AddWindow(HWND frame) {
    m_windows.push_back(frame);
    m_active = Count() - 1;
}

bool PageList::RemoveAt(int index, Removed* removed) {
    if (!Valid(index)) return false;
    const size_t i = static_cast<size_t>(index);
    Removed r;
    r.window = m_windows[i];
    m_windows.erase(m_windows.begin() + index);
    if (i < m_captions.size()) {
        r.hadCaption = true;
        r.caption = m_captions[i];
        m_captions.erase(m_captions.begin() + index);
    }
    if (i < m_ticks.size()) {
        r.startTick = m_ticks[i];
        m_ticks.erase(m_ticks.begin() + index);
    }
    m_active = std::min(index, Count() - 1);
    if (m_active < 0) m_active = 0;
    if (removed) *removed = r;
    return true;
}

int PageList::DropUnregisteredCaptions() {
    const size_t keep = m_windows.size();
    int dropped = 0;
    if (m_captions.size() > keep) {
        dropped = static_cast<int>(m_captions.size() - keep);
        m_captions.resize(keep);
    }
    if (m_ticks.size() > keep) m_ticks.resize(keep);
    return dropped;
}

const std::wstring& PageList::Caption(int i) const {
    static const std::wstring empty;
    return i >= 0 && i < CaptionCount() ? m_captions[static_cast<size_t>(i)] : empty;
}

DWORD PageList::StartTick(int i) const {
    return i >= 0 && i < static_cast<int>(m_ticks.size()) ? m_ticks[static_cast<size_t>(i)] : 0;
}

int PageList::IndexOf(HWND window) const {
    auto it = std::find(m_windows.begin(), m_windows.end(), window);
    return it == m_windows.end() ? -1 : static_cast<int>(it - m_windows.begin());
}

}  // namespace kvr
