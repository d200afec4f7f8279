#include "gamewnd/tab_strip.h"

#include "res/resource.h"

namespace kvr {

using namespace tabs;

RECT TabRect(int i) { return RECT{kLeft + kWidth * i, kTop, kLeft + kWidth * (i + 1), kTop + kHeight}; }

RECT TabCloseBoxRect(int i) {
    const int right = kLeft + kWidth * (i + 1);
    return RECT{right - kCloseSize, kTop, right, kTop + kCloseSize};
}

RECT TabLabelRect(int i) { return RECT{136 + kWidth * i, 8, 296 + kWidth * i, 22}; }

RECT TabStripRect(int count) { return RECT{kLeft, kTop, kLeft + kWidth * count, kTop + kHeight}; }

int TabHitTest(POINT pt, int count) {
    if (count <= 0 || pt.y < kTop || pt.y > 24) return -1;
    if (pt.x <= kLeft || pt.x >= kLeft + kWidth * count) return -1;
    return (pt.x - kLeft) / kWidth;
}

bool InTabCloseBox(POINT pt, int index) {
    const RECT r = TabCloseBoxRect(index);
    return ::PtInRect(&r, pt) != FALSE;
}

std::wstring TabLabel(const std::wstring& caption, int measuredWidth) {
    if (measuredWidth <= kLabelMaxWidth) return caption;
    return caption.substr(0, kLabelCutChars) + L"...";
}

RECT PageArea(const RECT& client) {
    return RECT{client.left + 4, client.top + 30, client.right - 4, client.bottom - 4};
}

SIZE MinimumWindowSize(int pageCount) { return SIZE{483 + kWidth * pageCount, 260}; }

std::vector<ControlPlace> CaptionControlPlaces(int w) {
    return {
        {IDC_GW_HIDE, RECT{w - 114, 0, w - 114 + 27, 27}},
        {IDC_GW_SOUND, RECT{w - 141, 0, w - 141 + 27, 27}},
        {IDC_GW_MENU, RECT{w - 185, 0, w - 185 + 44, 28}},
        {IDC_GW_HALL, RECT{w - 264, 0, w - 264 + 79, 28}},
        {IDC_GW_OTHER_ACCOUNT, RECT{w - 360, 7, w - 360 + 92, 7 + 16}},
    };
}

int TabImage(int index, int active, int hovered) {
    if (index == active) return 2;
    if (index == hovered) return 1;
    return 0;
}

void PaintTabs(HDC dc, HIMAGELIST tabImages, HIMAGELIST closeImages,
               const std::vector<std::wstring>& captions, int count, int active, int hovered,
               int closeState) {
    const int oldMode = ::SetBkMode(dc, TRANSPARENT);
    for (int i = 0; i < count; ++i) {
        const RECT tab = TabRect(i);
        if (tabImages)
            ImageList_DrawEx(tabImages, TabImage(i, active, hovered), dc, tab.left, tab.top, kWidth,
                             kHeight, CLR_NONE, CLR_NONE, ILD_TRANSPARENT);
        if (i == hovered && closeState >= 0 && closeImages) {
            const RECT box = TabCloseBoxRect(i);
            ImageList_DrawEx(closeImages, closeState, dc, box.left, box.top, kCloseSize, kCloseSize,
                             CLR_NONE, CLR_NONE, ILD_TRANSPARENT);
        }
        if (i >= static_cast<int>(captions.size())) continue;
        const std::wstring& caption = captions[static_cast<size_t>(i)];
        SIZE extent{};
        ::GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &extent);
        const std::wstring label = TabLabel(caption, extent.cx);
        RECT text = TabLabelRect(i);
        ::DrawTextW(dc, label.c_str(), static_cast<int>(label.size()), &text,
                    DT_SINGLELINE | DT_NOPREFIX | DT_LEFT | DT_TOP);
    }
    ::SetBkMode(dc, oldMode);
}

}  // namespace kvr
