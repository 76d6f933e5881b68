// The window that the five picker windows share: 24 character buttons in a
// 4 × 6 grid inside a captioned frame, OK and Cancel below. Each window is
// this one layout plus a row of differences.
#pragma once

#include <string>
#include <vector>

#include "catalogue/catalogue.h"
#include "ui/form.h"

namespace catalogue {

// The order the Tab key follows, as the windows differ in it. "Characters"
// is kCharacterFocusOrder, the one order that the character buttons take.
enum class FocusOrder {
    CancelOkFirstRowThenCharacters,  // Cancel, OK, the first row's button, then the rest in character order
    CancelOkCharactersBackwards,     // Cancel, OK, then the character order from its end
    OkCancelCharacters,              // OK, Cancel, then the character order
    CharactersThenOkCancel,          // the character order, then OK, Cancel
};

struct PickerLayout {
    const char* formName;
    const wchar_t* caption;
    const char* characterFrame;
    const wchar_t* characterFrameCaption;
    ui::Rect characterFrameRect;
    const char* okCancelFrame;
    ui::Rect okCancelFrameRect;
    POINT firstCell;         // inside the character frame
    bool okCancelInWindow;   // OK and Cancel lie on the window, over their frame
    POINT ok;                // inside OK's parent; Cancel is 1320 to its right
    const wchar_t* okCaption;
    FocusOrder focusOrder;
};

extern const PickerLayout kStartMenuLayout;
extern const PickerLayout kDesktopShortcutsLayout;
extern const PickerLayout kFavoritesMenuLayout;
extern const PickerLayout kHomePageLayout;
extern const PickerLayout kDesktopBackgroundLayout;

// The character order: the catalogue rows (numbered from 1) in the order
// their buttons take the focus, a fixed order that follows neither the grid
// nor the catalogue.
extern const int kCharacterFocusOrder[kRowCount];

class PickerForm : public ui::Form {
public:
    explicit PickerForm(const PickerLayout& layout);
    void Click(std::string_view name) override;
    std::vector<std::string_view> ClickNames() const override;

protected:
    // A click on a character button, with that button's catalogue row.
    virtual void Character_Click(const Character& row) = 0;

private:
    static const ui::ClickHandler<PickerForm> kClicks[];

    void btnOK_Click();
    void btnCancel_Click();
};

}  // namespace catalogue
