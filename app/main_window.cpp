#include "app/main_window.h"

#include "app/about.h"
#include "links/link_windows.h"
#include "platform/shell_open.h"
#include "settings/desktop_background.h"
#include "settings/home_page.h"

namespace app {

namespace {

using ui::Kind;

constexpr ui::ControlDef kControls[] = {
    {.name = "frameOptions", .kind = Kind::Frame, .rect = {120, 120, 9735, 5655}, .tabIndex = 0,
     .caption = L"Tumblewick Options"},
    {.name = "Label", .kind = Kind::Label, .parent = "frameOptions", .rect = {240, 360, 9255, 1095}, .tabIndex = 7,
     .caption = L"Tumblewick provides the following options so that you can add links to the best websites for kids "
                L"on the internet. There are over 20 links to add to your computer. You can choose from 1 to all of "
                L"them for each area. You can also change your desktop image and your Internet Explorer Home Page."},
    {.name = "Frame1", .kind = Kind::Frame, .parent = "frameOptions", .rect = {240, 1080, 4500, 4335}, .tabIndex = 5,
     .caption = L"Desktop"},
    {.name = "btnDesktopShortcuts", .kind = Kind::Button, .parent = "Frame1", .rect = {360, 1800, 3615, 855},
     .tabIndex = 9, .caption = L"Desktop &Shortcuts..."},
    {.name = "btnStartMenu", .kind = Kind::Button, .parent = "Frame1", .rect = {360, 3120, 3615, 855},
     .tabIndex = 12, .caption = L"Start &Menu..."},
    {.name = "btnDesktopBackground", .kind = Kind::Button, .rect = {720, 1800, 3615, 855}, .tabIndex = 8,
     .caption = L"Desktop &Background..."},
    {.name = "frameBrowserOptions", .kind = Kind::Frame, .rect = {5160, 1200, 4433, 4335}, .tabIndex = 4,
     .caption = L"I.E. Browser"},
    {.name = "btnHomePage", .kind = Kind::Button, .parent = "frameBrowserOptions", .rect = {360, 480, 3615, 855},
     .tabIndex = 10, .caption = L"Home &Page..."},
    {.name = "btnFavoritesMenu", .kind = Kind::Button, .parent = "frameBrowserOptions",
     .rect = {360, 1800, 3615, 855}, .tabIndex = 11, .caption = L"F&avorites Menu"},
    {.name = "frameOKCancel", .kind = Kind::Frame, .rect = {120, 5880, 9735, 855}, .tabIndex = 1},
    {.name = "btnOK", .kind = Kind::Button, .rect = {7200, 6120, 1215, 495}, .tabIndex = 2, .caption = L"&OK"},
    {.name = "btnCancel", .kind = Kind::Button, .rect = {8520, 6120, 1215, 495}, .tabIndex = 3,
     .caption = L"&Cancel"},
};

constexpr ui::MenuDef kMenu[] = {
    {"File", nullptr, L"&File"},
    {"Close", "File", L"&Close", VK_F4},
    {"TumblewickOptions", nullptr, L"&Tumblewick Options"},
    {"DesktopBackground", "TumblewickOptions", L"Desktop &Background", 'B'},
    {"DesktopShortcuts", "TumblewickOptions", L"Desktop &Shortcuts", 'S'},
    {"FavoritesMenu", "TumblewickOptions", L"&Favorites Menu", 'A'},
    {"IEHomePage", "TumblewickOptions", L"I.E. &Home Page", 'P'},
    {"StartMenu", "TumblewickOptions", L"Start &Menu", 'M'},
    {"Help", nullptr, L"&Help"},
    {"AboutTumblewick", "Help", L"Ab&out Tumblewick", 'O'},
    {"TumblewickWebsite", "Help", L"&Tumblewick Website", 'K'},
};

constexpr ui::FormDef kForm{
    .name = "Form1",
    .caption = L"Tumblewick",
    .border = ui::Border::Sizable,
    .minButton = true,
    .clientWidth = 9930,
    .clientHeight = 6885,
    .controls = kControls,
    .menu = kMenu,
};

}  // namespace

// A button and its menu item do the same.
const ui::ClickHandler<Form1> Form1::kClicks[] = {
    {"btnOK", &Form1::btnOK_Click},
    {"btnCancel", &Form1::btnCancel_Click},
    {"Close", &Form1::Close_Click},
    {"btnDesktopShortcuts", &Form1::btnDesktopShortcuts_Click},
    {"DesktopShortcuts", &Form1::btnDesktopShortcuts_Click},
    {"btnStartMenu", &Form1::btnStartMenu_Click},
    {"StartMenu", &Form1::btnStartMenu_Click},
    {"btnFavoritesMenu", &Form1::btnFavoritesMenu_Click},
    {"FavoritesMenu", &Form1::btnFavoritesMenu_Click},
    {"btnHomePage", &Form1::btnHomePage_Click},
    {"IEHomePage", &Form1::btnHomePage_Click},
    {"btnDesktopBackground", &Form1::btnDesktopBackground_Click},
    {"DesktopBackground", &Form1::btnDesktopBackground_Click},
    {"AboutTumblewick", &Form1::AboutTumblewick_Click},
    {"TumblewickWebsite", &Form1::TumblewickWebsite_Click},
};

Form1::Form1() : Form(kForm) {}

void Form1::Click(std::string_view name) { ui::Dispatch(*this, kClicks, name); }
std::vector<std::string_view> Form1::ClickNames() const { return ui::NamesOf(kClicks); }

// Closing the main window closes nothing else; the program goes on while
// any other window is open.
void Form1::btnOK_Click() { Unload(); }
void Form1::btnCancel_Click() { Unload(); }
void Form1::Close_Click() { Unload(); }

void Form1::btnDesktopShortcuts_Click() { ui::Instance<links::frmDesktopShortcuts>().Show(); }
void Form1::btnStartMenu_Click() { ui::Instance<links::frmStartMenu>().Show(); }
void Form1::btnFavoritesMenu_Click() { ui::Instance<links::frmFavoritesMenu>().Show(); }
void Form1::btnHomePage_Click() { ui::Instance<settings::frmHomePage>().Show(); }
void Form1::btnDesktopBackground_Click() { ui::Instance<settings::frmDesktopBackground>().Show(); }
void Form1::AboutTumblewick_Click() { ui::Instance<frmAbout>().Show(); }

void Form1::TumblewickWebsite_Click() {
    platform::OpenWebAddress(kWebsiteAddress);
}

}  // namespace app
