// The hub: opens the picker windows, the About window and the web site.
#pragma once

#include "ui/form.h"

namespace app {

// The product's site, opened by Help > Tumblewick Website.
inline constexpr const char* kWebsiteAddress = "http://www.tumblewick.com";

class Form1 : public ui::Form {
public:
    Form1();
    void Click(std::string_view name) override;
    std::vector<std::string_view> ClickNames() const override;

private:
    static const ui::ClickHandler<Form1> kClicks[];

    void btnOK_Click();
    void btnCancel_Click();
    void Close_Click();
    void btnDesktopShortcuts_Click();
    void btnStartMenu_Click();
    void btnFavoritesMenu_Click();
    void btnHomePage_Click();
    void btnDesktopBackground_Click();
    void AboutTumblewick_Click();
    void TumblewickWebsite_Click();
};

}  // namespace app
