// The user's display and keyboard settings that change how the windows are
// drawn.
#pragma once

namespace platform {

// The user has turned high contrast on: text takes the system's colours.
bool HighContrastOn();

// The user has asked for focus rectangles and access-key underlines to show
// always, not only once the keyboard is used.
bool KeyboardCuesAlwaysShown();

}  // namespace platform
