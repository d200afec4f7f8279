// CFavDlg: saves the current game page as an Internet Explorer favourite.
#pragma once
#include <string>
#include "ui/window.h"

namespace kvr {

class CFavDlg : public CDialogImpl {
public:
    // name: proposed favourite name (the page title); url: the page address.
    CFavDlg(const wchar_t* name, const wchar_t* url);

    // Where the ".url" file goes; the user's favourites folder unless set.
    void SetFolder(const wchar_t* folder) { m_folder = folder ? folder : L""; }

    BEGIN_MSG_MAP(CFavDlg)
        MESSAGE_HANDLER(WM_INITDIALOG, OnInitDialog)
        CHAIN_MSG_MAP(CDialogImpl)
    END_MSG_MAP()

protected:
    void OnOK() override;

private:
    LRESULT OnInitDialog(UINT, WPARAM, LPARAM, BOOL&);

    std::wstring m_name;
    std::wstring m_url;
    std::wstring m_folder;
};

}  // namespace kvr
