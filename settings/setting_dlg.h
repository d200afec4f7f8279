// CSettingDlg: the hotkey settings (template 158). The player focuses one of
// the three fields and presses a combination; the dialog captures it before
// the edit sees the key, so the fields never receive typed characters. OK
// saves the three hotkeys (unless two are equal) and tells every game window
// to reload them; Cancel and the close button save nothing.
//
//   CSettingDlg dlg;            // the installed Statistic.ini
//   dlg.DoModal(gameWindow);    // IDOK when saved
#pragma once
#include <windows.h>
#include <string>
#include "base/owned.h"
#include "settings/hotkey_rules.h"
#include "ui/btn_ex.h"
#include "ui/dlg_ex.h"
#include "ui/static_ex.h"

namespace kvr {

class CSettingDlg : public CDlgEx {
public:
    // iniPath: nullptr for the installed Statistic.ini.
    explicit CSettingDlg(const wchar_t* iniPath = nullptr);
    ~CSettingDlg() override;

    // Key codes the three fields hold (121, 9, 83 until initialised).
    unsigned HeldKey(HotKeyField field) const { return m_keys[static_cast<int>(field)]; }

    BOOL PreTranslateMessage(MSG* msg) override;

    BEGIN_MSG_MAP(CSettingDlg)
        MESSAGE_HANDLER(WM_CTLCOLORSTATIC, OnCtlColorStatic)
        MESSAGE_HANDLER(WM_CTLCOLORBTN, OnCtlColorStatic)
        CHAIN_MSG_MAP(CDlgEx)
    END_MSG_MAP()

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    LRESULT OnCtlColorStatic(UINT, WPARAM, LPARAM, BOOL&);
    // The field whose edit has the focus; false when none has.
    bool FocusedField(HotKeyField* field, HWND* edit) const;
    std::wstring FieldText(int editId) const;

    std::wstring m_iniPath;
    unsigned m_keys[3] = {121, 9, 83};
    CBtnEx m_ok, m_cancel;
    CStaticEx m_labels[6];
    OwnedBrush m_groupBrush;
};

}  // namespace kvr
