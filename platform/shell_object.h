// The shell object: finds the current user's special folders by the names
// the link windows use ("Desktop", "StartMenu", "Favorites"). "StartMenu"
// is the Start menu's Programs folder, the one every Windows shows.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "platform/scoped_handle.h"

namespace platform {

class ShellObject {
public:
    // Throws Failure when the object cannot be made.
    static std::unique_ptr<ShellObject> Create();

    ShellObject(const ShellObject&) = delete;
    ShellObject& operator=(const ShellObject&) = delete;

    // The folder's absolute path without a trailing separator, or an empty
    // text when the user has no such folder (or the key is unknown). Throws
    // Failure when the lookup reports an error.
    std::wstring SpecialFolder(std::wstring_view key) const;

private:
    ShellObject() = default;
    ComApartment com_;
};

// For tests only: while set, SpecialFolder asks this instead of the shell,
// so a test can watch the lookup happen or make it fail.
using SpecialFolderHook = std::function<std::wstring(std::wstring_view key)>;
void SetSpecialFolderHookForTesting(SpecialFolderHook hook);

}  // namespace platform
