#include "settings/home_page.h"

namespace settings {

void frmHomePage::Character_Click(const catalogue::Character& row) {
    // The start page is not confirmed or reported: a refused write leaves the
    // old one silently.
    SetIEHomePage(row.linkTarget);
}

bool frmHomePage::SetIEHomePage(std::string url) {
    return StoreKeyString(HKEY_CURRENT_USER, "Software\\Microsoft\\Internet Explorer\\Main", "Start Page", url);
}

bool frmHomePage::StoreKeyString(HKEY root, const std::string& keyPath, const std::string& valueName,
                                 const std::string& data) {
    try {
        // The size passed counts the NUL and has to fit a DWORD.
        if (data.size() >= MAXDWORD)
            return false;
        HKEY key = nullptr;
        LONG status = RegCreateKeyA(root, keyPath.c_str(), &key);
        if (status != ERROR_SUCCESS)
            return false;
        // A refused value write must not pass for a stored start page, so its
        // status counts as much as the closing's.
        status = RegSetValueExA(key, valueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                                static_cast<DWORD>(data.size() + 1));
        const LONG closed = RegCloseKey(key);
        return status == ERROR_SUCCESS && closed == ERROR_SUCCESS;
    } catch (...) {
        return false;
    }
}

}  // namespace settings
