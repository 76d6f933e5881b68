#include "app/about.h"

#include "app/identity.h"
#include "app/system_info.h"

namespace app {

namespace {

using ui::Kind;

constexpr const char* kToolKey = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
constexpr const char* kToolValue = "PATH";
constexpr const char* kToolFolderKey = "SOFTWARE\\Microsoft\\Shared Tools Location";
constexpr const char* kToolFolderValue = "MSINFO";
constexpr const char* kToolFile = "MSINFO32.EXE";
constexpr const wchar_t* kUnavailable = L"System Information Is Unavailable At This Time";

// The two Line1 rows draw one etched separator: grey over white.
constexpr ui::ControlDef kControls[] = {
    {.name = "picIcon", .kind = Kind::PictureBox, .rect = {240, 240, 540, 540}, .tabIndex = 1},
    {.name = "lblTitle", .kind = Kind::Label, .rect = {1050, 240, 3885, 480}, .tabIndex = 5,
     .flags = ui::kBlackText},
    {.name = "lblVersion", .kind = Kind::Label, .rect = {1050, 780, 3885, 225}, .tabIndex = 6},
    {.name = "lblDescription", .kind = Kind::Label, .rect = {1050, 1125, 3885, 1170}, .tabIndex = 3,
     .caption = L"Tumblewick provides parents and children the ability to easily put the favorite kids website "
                L"links on their desktop, favorites menu and start menu. It also allows customization of the I.E. "
                L"Desktop and I.E. Home Page.",
     .flags = ui::kBlackText},
    {.name = "Line1", .kind = Kind::Line, .rect = {90, 2445, 5654, 2445}, .color = RGB(128, 128, 128),
     .lineWidth = 1},
    {.name = "Line1", .kind = Kind::Line, .rect = {105, 2460, 5654, 2460}, .color = RGB(255, 255, 255),
     .lineWidth = 2},
    {.name = "lblDisclaimer", .kind = Kind::Label, .rect = {255, 2625, 3870, 825}, .tabIndex = 4,
     .caption = L"Warning: this program is protected by copyright law. Copying or passing it on without the "
                L"owner's permission is not allowed.",
     .flags = ui::kBlackText},
    {.name = "cmdOK", .kind = Kind::Button, .rect = {4245, 2625, 1260, 345}, .tabIndex = 0, .caption = L"OK",
     .flags = ui::kDefaultButton | ui::kCancelButton},
    {.name = "cmdSysInfo", .kind = Kind::Button, .rect = {4260, 3075, 1245, 345}, .tabIndex = 2,
     .caption = L"&System Info..."},
};

constexpr ui::FormDef kForm{
    .name = "frmAbout",
    .caption = L"",
    .border = ui::Border::FixedDialog,
    .showInTaskbar = false,
    .clientWidth = 5730,
    .clientHeight = 3555,
    .controls = kControls,
};

}  // namespace

frmAbout::frmAbout() : Form(kForm) {}

void frmAbout::Form_Load() {
    SetCaption(std::wstring(L"About ") + kAppTitle);
    SetText("lblVersion", VersionText());
    SetText("lblTitle", kAppTitle);
}

const ui::ClickHandler<frmAbout> frmAbout::kClicks[] = {
    {"cmdOK", &frmAbout::cmdOK_Click},
    {"cmdSysInfo", &frmAbout::cmdSysInfo_Click},
};

void frmAbout::Click(std::string_view name) { ui::Dispatch(*this, kClicks, name); }
std::vector<std::string_view> frmAbout::ClickNames() const { return ui::NamesOf(kClicks); }

void frmAbout::cmdOK_Click() { Unload(); }

void frmAbout::cmdSysInfo_Click() { StartSysInfo(); }

void frmAbout::StartSysInfo() {
    // Every failure on the way, whatever it is, ends in the one message.
    bool started = false;
    try {
        std::string path;
        // A path from the first location is started as read, provided it is
        // a full path to a file; only the second location's folder is
        // searched for the tool.
        bool found = GetKeyValue(HKEY_LOCAL_MACHINE, kToolKey, kToolValue, path);
        if (!found && GetKeyValue(HKEY_LOCAL_MACHINE, kToolFolderKey, kToolFolderValue, path) &&
            HasNormalFile(path, kToolFile)) {
            path += std::string("\\") + kToolFile;
            found = true;
        }
        started = found && StartProgram(path);
    } catch (...) {
    }
    if (!started)
        MessageBoxW(Hwnd(), kUnavailable, kAppTitle, MB_OK);
}

}  // namespace app
