#include "settings/setting_dlg.h"

#include "res/resource.h"
#include "ui/message_box.h"

namespace kvr {

namespace {
const int kEdits[3] = {IDC_BOSS_EDIT, IDC_SWITCH_EDIT, IDC_SOUND_EDIT};
const wchar_t* const kIniKeys[3] = {kBossKeyName, kSwitchKeyName, kSoundKeyName};
const int kLabels[6] = {IDC_BOSS_LABEL, IDC_BOSS_SAMPLE, IDC_SWITCH_LABEL,
                        IDC_SWITCH_SAMPLE, IDC_SOUND_LABEL, IDC_SOUND_SAMPLE};
const COLORREF kGroupColor = RGB(231, 242, 247);
const wchar_t kTitle[] = L"\u8BBE\u7F6E";  // 设置
const wchar_t kNone[] = L"\u65E0";          // 无
const wchar_t kConflict[] =                 // 热键冲突，请重新设置不同热键值
    L"\u70ED\u952E\u51B2\u7A81\uFF0C\u8BF7\u91CD\u65B0\u8BBE\u7F6E\u4E0D\u540C\u70ED\u952E\u503C";

bool KeyDown(int vk) { return (::GetKeyState(vk) & 0xFF00) != 0; }
}  // namespace

CSettingDlg::CSettingDlg(const wchar_t* iniPath)
    : CDlgEx(IDD_SETTING), m_iniPath(iniPath ? iniPath : L"") {}

CSettingDlg::~CSettingDlg() = default;

BOOL CSettingDlg::OnInitDialog() {
    SetCaptionHeight(30);
    SetBorderWidth(4);
    SetCaptionButtonMargin(0);
    SetCaptionButtonTop(0);
    SetCaptionButtonGap(0);
    SetTitle(kTitle);
    SetSkin(IDB_DLG_BG, false, true, 0, 0, 0, IDB_CLOSE);
    m_ok.SubclassDlgItem(m_hWnd, IDOK);
    m_ok.SetImage(IDB_BUTTON, false);
    m_cancel.SubclassDlgItem(m_hWnd, IDCANCEL);
    m_cancel.SetImage(IDB_BUTTON, false);
    for (int i = 0; i < 6; ++i) m_labels[i].SubclassDlgItem(m_hWnd, kLabels[i]);

    const wchar_t* path = m_iniPath.empty() ? nullptr : m_iniPath.c_str();
    const HotKey keys[3] = {ReadBossKey(path), ReadSwitchKey(path), ReadSoundKey(path)};
    for (int i = 0; i < 3; ++i) {
        m_keys[i] = keys[i].key;
        ::SetDlgItemTextW(m_hWnd, kEdits[i], FormatHotKey(keys[i].key, keys[i].modifiers).c_str());
    }
    return TRUE;
}

bool CSettingDlg::FocusedField(HotKeyField* field, HWND* edit) const {
    HWND focus = ::GetFocus();
    for (int i = 0; i < 3; ++i) {
        HWND h = ::GetDlgItem(m_hWnd, kEdits[i]);
        if (h && h == focus) {
            *field = static_cast<HotKeyField>(i);
            *edit = h;
            return true;
        }
    }
    return false;
}

BOOL CSettingDlg::PreTranslateMessage(MSG* msg) {
    const unsigned vk = static_cast<unsigned>(msg->wParam);
    const bool keyDown = msg->message == WM_KEYDOWN ||
                         (msg->message == WM_SYSKEYDOWN && (vk == VK_F10 || vk == VK_MENU));
    if (!keyDown || (msg->hwnd != m_hWnd && !::IsChild(m_hWnd, msg->hwnd)))
        return CDlgEx::PreTranslateMessage(msg);
    if (vk == VK_ESCAPE || vk == VK_RETURN) return TRUE;  // neither closes nor changes

    HotKeyField field;
    HWND edit = nullptr;
    if (!FocusedField(&field, &edit)) return CDlgEx::PreTranslateMessage(msg);

    std::wstring text;
    if (IsClearingKey(vk, field)) {
        text = kNone;  // the held key code stays; "无" stores key 0
    } else {
        const bool accepted = IsAcceptedHotKey(vk, field);
        if (accepted) m_keys[static_cast<int>(field)] = vk;
        text = CaptureText(vk, accepted, KeyDown(VK_CONTROL), KeyDown(VK_SHIFT), KeyDown(VK_MENU));
    }
    ::SetWindowTextW(edit, text.c_str());
    ::SendMessageW(edit, EM_SETSEL, text.size(), -1);
    ::SendMessageW(edit, EM_SCROLLCARET, 0, 0);
    return TRUE;
}

std::wstring CSettingDlg::FieldText(int editId) const {
    wchar_t text[64] = L"";
    ::GetDlgItemTextW(m_hWnd, editId, text, 64);
    return text;
}

void CSettingDlg::OnOK() {
    const std::wstring texts[3] = {FieldText(kEdits[0]), FieldText(kEdits[1]), FieldText(kEdits[2])};
    if (HotKeyTextsConflict(texts[0], texts[1], texts[2])) {
        ShowMessageBox(kMbOk, kMessageTitle, kConflict, m_hWnd);
        return;  // nothing written, the dialog stays
    }
    const wchar_t* path = m_iniPath.empty() ? nullptr : m_iniPath.c_str();
    for (int i = 0; i < 3; ++i) {
        HotKey hk;
        if (HotKeyFromText(texts[i], m_keys[i], &hk)) WriteHotKey(kIniKeys[i], hk, path);
    }
    NotifyGameWindows();
    EndDialog(IDOK);
}

LRESULT CSettingDlg::OnCtlColorStatic(UINT, WPARAM wParam, LPARAM lParam, BOOL& handled) {
    const int id = ::GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
    if (id != IDC_BOSS_GROUP && id != IDC_SWITCH_GROUP && id != IDC_SOUND_GROUP) {
        handled = FALSE;
        return 0;
    }
    if (!m_groupBrush) m_groupBrush.reset(::CreateSolidBrush(kGroupColor));
    ::SetBkColor(reinterpret_cast<HDC>(wParam), kGroupColor);
    return reinterpret_cast<LRESULT>(m_groupBrush.get());
}

}  // namespace kvr
