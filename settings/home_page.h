// The Home-page window: a click on a character makes its web site the
// current user's Internet Explorer start page.
#pragma once

#include <string>

#include "catalogue/picker.h"

namespace settings {

class frmHomePage : public catalogue::PickerForm {
public:
    frmHomePage() : PickerForm(catalogue::kHomePageLayout) {}

    // Stores url as the current user's "Start Page"; false when the registry
    // did not take it. Shows nothing either way.
    bool SetIEHomePage(std::string url);

protected:
    void Character_Click(const catalogue::Character& row) override;

private:
    // Writes data as the REG_SZ value valueName of root\keyPath, creating the
    // key when missing; true only when the key was opened, the value written
    // and the key closed without error. Every failure becomes false.
    static bool StoreKeyString(HKEY root, const std::string& keyPath, const std::string& valueName,
                               const std::string& data);
};

}  // namespace settings
