#include "settings/home_page.h"

#include "platform/registry.h"

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
        // The size written counts the NUL and has to fit a DWORD.
        if (data.size() >= MAXDWORD)
            return false;
        return platform::WriteRegistryString(root, keyPath, valueName, data);
    } catch (...) {
        return false;
    }
}

}  // namespace settings
