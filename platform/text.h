// Text in the system's ANSI code page, as the catalogue and the registry
// values hold it, turned into the program's own wide text.
#pragma once

#include <string>
#include <string_view>

namespace platform {

std::wstring FromAnsi(std::string_view text);

}  // namespace platform
