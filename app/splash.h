// The start-up window: logo, title, version and notices, until the user acts.
#pragma once

#include "ui/form.h"

namespace app {

class frmSplash : public ui::Form {
public:
    frmSplash();
    void Form_Load() override;
    void Form_KeyPress(wchar_t key) override;
    void Click(std::string_view name) override;
    std::vector<std::string_view> ClickNames() const override;

private:
    static const ui::ClickHandler<frmSplash> kClicks[];

    void btnOK_Click();
};

}  // namespace app
