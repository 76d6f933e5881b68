#include "app/splash.h"

#include "app/identity.h"
#include "app/main_window.h"
#include "app/resource_ids.h"

namespace app {

namespace {

using ui::Kind;

constexpr ui::FontSpec kTitleFont{L"Comic Sans MS", 21.75, FW_BOLD};
constexpr ui::FontSpec kPlatformFont{L"Comic Sans MS", 15.75, FW_NORMAL};
constexpr ui::FontSpec kVersionFont{L"Arial", 12, FW_BOLD};

constexpr ui::ControlDef kControls[] = {
    {.name = "Frame1", .kind = Kind::Frame, .rect = {150, 60, 7080, 4050}, .tabIndex = 0},
    {.name = "imgLogo", .kind = Kind::Image, .parent = "Frame1", .rect = {240, 315, 3015, 3225},
     .accessibleName = L"Tumblewick logo", .resource = IDR_LOGO},
    {.name = "lblProductName", .kind = Kind::Label, .parent = "Frame1", .rect = {3960, 1200, 1845, 600},
     .tabIndex = 5, .font = kTitleFont, .flags = ui::kAutoSizeKeepLeft | ui::kNoWrap},
    {.name = "lblPlatform", .kind = Kind::Label, .parent = "Frame1", .rect = {5445, 2280, 1410, 435}, .tabIndex = 4,
     .caption = L"Windows", .font = kPlatformFont, .flags = ui::kAutoSizeKeepRight | ui::kAlignRight},
    {.name = "lblVersion", .kind = Kind::Label, .parent = "Frame1", .rect = {6525, 2700, 330, 285}, .tabIndex = 3,
     .font = kVersionFont, .flags = ui::kAutoSizeKeepRight | ui::kAlignRight},
    {.name = "lblCopyright", .kind = Kind::Label, .parent = "Frame1", .rect = {4560, 1800, 2415, 255},
     .tabIndex = 2, .caption = L"Copyright \u00A9 2026 Tumblewick", .flags = ui::kNoWrap},
    {.name = "lblWarning", .kind = Kind::Label, .parent = "Frame1", .rect = {150, 3660, 6855, 315}, .tabIndex = 1,
     .caption = L"All rights reserved. Patent pending.", .flags = ui::kNoWrap},
    {.name = "btnOK", .kind = Kind::Button, .rect = {5760, 3360, 1215, 495}, .tabIndex = 6, .caption = L"OK"},
};

constexpr ui::FormDef kForm{
    .name = "frmSplash",
    .caption = L"",
    .accessibleName = kAppTitle,
    .border = ui::Border::FixedNoCaption,
    .showInTaskbar = false,
    .keyPreview = true,
    .clientWidth = 7380,
    .clientHeight = 4245,
    .controls = kControls,
};

}  // namespace

frmSplash::frmSplash() : Form(kForm) {}

void frmSplash::Form_Load() {
    SetText("lblVersion", VersionText());
    SetText("lblProductName", kAppTitle);
}

void frmSplash::Form_KeyPress(wchar_t) { Unload(); }

const ui::ClickHandler<frmSplash> frmSplash::kClicks[] = {{"btnOK", &frmSplash::btnOK_Click}};

void frmSplash::Click(std::string_view name) { ui::Dispatch(*this, kClicks, name); }
std::vector<std::string_view> frmSplash::ClickNames() const { return ui::NamesOf(kClicks); }

void frmSplash::btnOK_Click() {
    ui::Instance<Form1>().Show();
    Unload();
}

}  // namespace app
