// The Desktop, Start-menu and Favorites windows: a click on a character
// writes its shortcut into the window's folder.
#pragma once

#include "catalogue/picker.h"
#include "links/shortcut_writer.h"

namespace links {

class LinkWindow : public catalogue::PickerForm {
public:
    LinkWindow(const catalogue::PickerLayout& layout, const wchar_t* folderKey)
        : PickerForm(layout), folderKey_(folderKey) {}

protected:
    void Character_Click(const catalogue::Character& row) override;

private:
    const wchar_t* folderKey_;
    ShortcutState state_;
};

class frmDesktopShortcuts : public LinkWindow {
public:
    frmDesktopShortcuts() : LinkWindow(catalogue::kDesktopShortcutsLayout, L"Desktop") {}
};

class frmStartMenu : public LinkWindow {
public:
    frmStartMenu() : LinkWindow(catalogue::kStartMenuLayout, L"StartMenu") {}
};

class frmFavoritesMenu : public LinkWindow {
public:
    frmFavoritesMenu() : LinkWindow(catalogue::kFavoritesMenuLayout, L"Favorites") {}
};

}  // namespace links
