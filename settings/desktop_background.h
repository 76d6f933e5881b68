// The Desktop-background window: a click on a character makes its picture,
// from the fixed wallpaper folder, the desktop wallpaper.
#pragma once

#include "catalogue/picker.h"

namespace settings {

class frmDesktopBackground : public catalogue::PickerForm {
public:
    frmDesktopBackground() : PickerForm(catalogue::kDesktopBackgroundLayout) {}

protected:
    void Character_Click(const catalogue::Character& row) override;
};

}  // namespace settings
