// Writes a character's Internet Shortcut (.url file) into one of the current
// user's special folders: the work behind every character button of the
// Desktop, Start-menu and Favorites windows.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/shell_object.h"

namespace links {

// The working values of one link window, kept from its latest click.
struct ShortcutState {
    std::wstring FolderPath;
    std::int32_t FileNumber = 0;
    std::unique_ptr<platform::ShellObject> ShellObject;
    std::string LinkTitle;
    std::string LinkTarget;
};

// Writes "<folder>\<title>.url" for the folder key ("Desktop", "StartMenu" or
// "Favorites"), replacing a file of that name. Shows nothing on success; on
// failure shows one message box and leaves the program as it was before,
// apart from a changed state record.
void WriteInternetShortcut(ShortcutState& state, std::wstring_view folderKey, std::string_view linkTitle,
                           std::string_view linkTarget);

}  // namespace links
