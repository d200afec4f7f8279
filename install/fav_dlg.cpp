#include "install/fav_dlg.h"

#include "base/player_rights.h"
#include "install/favorite.h"
#include "res/resource.h"

namespace kvr {

CFavDlg::CFavDlg(const wchar_t* name, const wchar_t* url)
    : CDialogImpl(IDD_FAV), m_name(name ? name : L""), m_url(url ? url : L"") {
    // The page address is a 512-character text everywhere it is kept.
    if (m_url.size() > 511) m_url.resize(511);
}

LRESULT CFavDlg::OnInitDialog(UINT, WPARAM, LPARAM, BOOL&) {
    ::SendDlgItemMessageW(m_hWnd, IDC_FAV_NAME, EM_LIMITTEXT, kFavoriteNameMax, 0);
    ::SetDlgItemTextW(m_hWnd, IDC_FAV_NAME, m_name.c_str());
    return TRUE;
}

void CFavDlg::OnOK() {
    wchar_t name[kFavoriteNameMax + 1] = {};
    ::GetDlgItemTextW(m_hWnd, IDC_FAV_NAME, name, kFavoriteNameMax + 1);
    EndDialog(IDOK);
    // An invalid name writes nothing and says nothing, as a failed write.
    // Written with the player's own rights: a favourites folder pointed
    // elsewhere (the all-users Startup folder) takes nothing the player
    // could not put there.
    const std::wstring folder = m_folder.empty() ? FavoritesFolder() : m_folder;
    RunAsPlayer(PlayerToken().get(), [&] { WriteFavorite(folder.c_str(), name, m_url.c_str()); });
}

}  // namespace kvr
