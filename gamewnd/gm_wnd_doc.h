// CGmWndDoc: the document of a game page. It keeps only what a document of
// the frame/view pair has by itself: its title, which names the frame.
#pragma once
#include <string>

namespace kvr {

class CGmWndDoc {
public:
    CGmWndDoc() : m_title(L"MarvoleKelvara") {}
    const std::wstring& Title() const { return m_title; }
    void SetTitle(const wchar_t* title) { m_title = title ? title : L""; }

private:
    std::wstring m_title;
};

}  // namespace kvr
