#include "catalogue/picker.h"

#include <map>
#include <memory>

#include "platform/text.h"

namespace catalogue {

const int kCharacterFocusOrder[kRowCount] = {11, 3, 7, 24, 19, 12, 16, 2, 4, 20, 8, 23,
                                       22, 18, 14, 10, 6, 21, 17, 9, 5, 1, 13, 15};

const PickerLayout kStartMenuLayout{
    "frmStartMenu", L"Start Menu", "lblStartMenu",
    L"Start Menu - Click on Button Picture to Add Shortcut to the Start Menu", {120, 120, 9855, 6375},
    "frameOKCancel", {120, 6480, 9855, 855}, {360, 480}, true, {7320, 6720}, L"OK",
    FocusOrder::CancelOkFirstRowThenCharacters};

const PickerLayout kDesktopShortcutsLayout{
    "frmDesktopShortcuts", L"Desktop Shortcuts", "frameDesktop",
    L"Desktop - Click on picture button to add shortcut to your Desktop", {120, 120, 9735, 6135},
    "frameOKCancel", {120, 6240, 9735, 975}, {240, 360}, false, {7080, 240}, L" OK",
    FocusOrder::CancelOkCharactersBackwards};

const PickerLayout kFavoritesMenuLayout{
    "frmFavoritesMenu", L"Favorites", "frameFavorites",
    L"Favorites - Click on picture button to add shortcuts to your Favorites.", {120, 120, 9855, 6375},
    "frameOKCancel", {120, 6480, 9855, 855}, {360, 480}, false, {7200, 240}, L" OK", FocusOrder::OkCancelCharacters};

const PickerLayout kHomePageLayout{
    "frmHomePage", L"Home Page", "frameHomePage",
    L"Home Page - Click on picture button to set your Home Page in I.E.", {120, 120, 9735, 6135},
    "frameOKCancel", {120, 6360, 9735, 855}, {240, 360}, false, {7080, 240}, L" OK", FocusOrder::OkCancelCharacters};

const PickerLayout kDesktopBackgroundLayout{
    "frmDesktopBackground", L"Desktop Background", "frmDesktopBackground",
    L"Desktop Background - Click on button picture to change the background image of your desktop.",
    {240, 120, 9615, 6015}, "frmOKCancel", {240, 6240, 9615, 855}, {240, 240}, false, {6840, 240}, L" OK",
    FocusOrder::CharactersThenOkCancel};

namespace {

constexpr int kColumnOffsets[4] = {0, 2520, 5040, 7440};
constexpr int kRowOffsets[6] = {0, 960, 1920, 2880, 3840, 4800};
constexpr int kCharacterWidth = 1700, kCharacterHeight = 650;
constexpr int kButtonWidth = 1215, kButtonHeight = 495, kCancelOffset = 1320;
constexpr ui::FontSpec kCharacterFont{L"Comic Sans MS", 8.25, FW_BOLD};

// The table of one picker window, built once from its layout and kept for
// the life of the program, as the forms' constant tables are.
struct PickerTable {
    std::vector<std::wstring> captions;
    std::vector<ui::ControlDef> controls;
    ui::FormDef form;
};

// Tab indices: OK, Cancel and each catalogue row's place in the order.
struct TabIndices {
    int ok, cancel;
    int rows[kRowCount + 1];
};

TabIndices TabIndicesFor(FocusOrder order) {
    TabIndices tabs{};
    int next = 0;
    auto place = [&](int row) { tabs.rows[row] = next++; };
    switch (order) {
    case FocusOrder::CancelOkFirstRowThenCharacters:
        tabs.cancel = next++;
        tabs.ok = next++;
        place(1);
        for (int row : kCharacterFocusOrder)
            if (row != 1)
                place(row);
        break;
    case FocusOrder::CancelOkCharactersBackwards:
        tabs.cancel = next++;
        tabs.ok = next++;
        for (int i = kRowCount - 1; i >= 0; --i)
            place(kCharacterFocusOrder[i]);
        break;
    case FocusOrder::OkCancelCharacters:
        tabs.ok = next++;
        tabs.cancel = next++;
        for (int row : kCharacterFocusOrder)
            place(row);
        break;
    case FocusOrder::CharactersThenOkCancel:
        for (int row : kCharacterFocusOrder)
            place(row);
        tabs.ok = next++;
        tabs.cancel = next++;
        break;
    }
    return tabs;
}

const ui::FormDef& TableFor(const PickerLayout& layout) {
    static std::map<const PickerLayout*, std::unique_ptr<PickerTable>> tables;
    std::unique_ptr<PickerTable>& table = tables[&layout];
    if (table)
        return table->form;
    table = std::make_unique<PickerTable>();
    const TabIndices tabs = TabIndicesFor(layout.focusOrder);
    auto rows = Rows();
    table->captions.reserve(kRowCount);
    for (const Character& row : rows)
        table->captions.push_back(platform::FromAnsi(row.caption));

    auto& controls = table->controls;
    controls.push_back({.name = layout.characterFrame, .kind = ui::Kind::Frame, .rect = layout.characterFrameRect,
                        .caption = layout.characterFrameCaption});
    for (int n = 1; n <= kRowCount; ++n) {
        const Character& row = rows[n - 1];
        const int r = (n - 1) / 4, c = (n - 1) % 4;
        const wchar_t* caption = table->captions[n - 1].c_str();
        controls.push_back({.name = row.controlName, .kind = ui::Kind::PictureButton,
                            .parent = layout.characterFrame,
                            .rect = {layout.firstCell.x + kColumnOffsets[c], layout.firstCell.y + kRowOffsets[r],
                                     kCharacterWidth, kCharacterHeight},
                            .tabIndex = tabs.rows[n], .caption = caption, .font = kCharacterFont,
                            .resource = row.pictureResource, .toolTip = caption});
    }
    controls.push_back({.name = layout.okCancelFrame, .kind = ui::Kind::Frame, .rect = layout.okCancelFrameRect});
    const char* buttonParent = layout.okCancelInWindow ? nullptr : layout.okCancelFrame;
    controls.push_back({.name = "btnOK", .kind = ui::Kind::PictureButton, .parent = buttonParent,
                        .rect = {layout.ok.x, layout.ok.y, kButtonWidth, kButtonHeight}, .tabIndex = tabs.ok,
                        .caption = layout.okCaption, .toolTip = L"OK"});
    controls.push_back({.name = "btnCancel", .kind = ui::Kind::PictureButton, .parent = buttonParent,
                        .rect = {layout.ok.x + kCancelOffset, layout.ok.y, kButtonWidth, kButtonHeight},
                        .tabIndex = tabs.cancel, .caption = L"Cancel", .toolTip = L"Cancel"});

    table->form = {.name = layout.formName,
                   .caption = layout.caption,
                   .border = ui::Border::FixedSingle,
                   .clientWidth = 10080,
                   .clientHeight = 7335,
                   .controls = controls};
    return table->form;
}

}  // namespace

PickerForm::PickerForm(const PickerLayout& layout) : Form(TableFor(layout)) {}

const ui::ClickHandler<PickerForm> PickerForm::kClicks[] = {
    {"btnOK", &PickerForm::btnOK_Click},
    {"btnCancel", &PickerForm::btnCancel_Click},
};

// The 24 character buttons share one handler, which is given the button's row.
void PickerForm::Click(std::string_view name) {
    if (const Character* row = Find(name))
        Character_Click(*row);
    else
        ui::Dispatch(*this, kClicks, name);
}

std::vector<std::string_view> PickerForm::ClickNames() const {
    std::vector<std::string_view> names = ui::NamesOf(kClicks);
    for (const Character& row : Rows())
        names.push_back(row.controlName);
    return names;
}

void PickerForm::btnOK_Click() { Unload(); }
void PickerForm::btnCancel_Click() { Unload(); }

}  // namespace catalogue
