// Opening a web address with whatever the user's system opens it with.
#pragma once

namespace platform {

// Asks the shell to open `address` as a document, its window shown normally.
// Whatever the shell answers, nothing is reported: having no browser is not
// a failure of the program's.
void OpenWebAddress(const char* address);

}  // namespace platform
