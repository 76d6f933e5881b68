// The About window: title, version, description and notice, and a button
// that starts the system-information tool.
#pragma once

#include "ui/form.h"

namespace app {

class frmAbout : public ui::Form {
public:
    frmAbout();
    void Form_Load() override;
    void Click(std::string_view name) override;
    std::vector<std::string_view> ClickNames() const override;

private:
    static const ui::ClickHandler<frmAbout> kClicks[];

    void cmdOK_Click();
    void cmdSysInfo_Click();
    void StartSysInfo();
};

}  // namespace app
