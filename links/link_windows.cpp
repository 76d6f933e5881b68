#include "links/link_windows.h"

namespace links {

void LinkWindow::Character_Click(const catalogue::Character& row) {
    WriteInternetShortcut(state_, folderKey_, row.linkTitle, row.linkTarget);
}

}  // namespace links
