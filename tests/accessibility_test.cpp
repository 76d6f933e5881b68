// What a screen reader hears of the windows: it asks each window for its
// accessible object as a reader does (AccessibleObjectFromWindow) and reads
// the role, name and state of the object itself. Interface ids come through
// IID_PPV_ARGS, as the 64-bit oleacc library's IID_IAccessible is no id.
#include <gtest/gtest.h>

#include <windows.h>

#include <oleacc.h>

#include <string>
#include <utility>
#include <vector>

#include "app/about.h"
#include "app/main_window.h"
#include "app/splash.h"
#include "tests/support/host.h"
#include "tests/support/ui_driver.h"

using namespace tw_test;

namespace {

struct Heard {
    LONG role = -1;
    std::wstring name;
    LONG state = 0;
    bool Hidden() const { return (state & STATE_SYSTEM_INVISIBLE) != 0; }
};

Heard Read(IAccessible* object) {
    Heard heard;
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    VARIANT role{}, state{};
    BSTR name = nullptr;
    EXPECT_EQ(object->get_accRole(self, &role), S_OK);
    EXPECT_TRUE(SUCCEEDED(object->get_accName(self, &name)));
    EXPECT_EQ(object->get_accState(self, &state), S_OK);
    heard.role = role.vt == VT_I4 ? role.lVal : -1;
    heard.state = state.vt == VT_I4 ? state.lVal : 0;
    if (name != nullptr)
        heard.name = name;
    SysFreeString(name);
    object->Release();
    return heard;
}

// As a screen reader hears the window.
Heard Aloud(HWND window) {
    IAccessible* object = nullptr;
    EXPECT_EQ(AccessibleObjectFromWindow(window, OBJID_CLIENT, IID_PPV_ARGS(&object)), S_OK)
        << ui::ControlName(window).c_str();
    return object != nullptr ? Read(object) : Heard{};
}

// What Windows itself would say of the window.
Heard Standard(HWND window) {
    IAccessible* object = nullptr;
    EXPECT_EQ(CreateStdAccessibleObject(window, OBJID_CLIENT, IID_PPV_ARGS(&object)), S_OK);
    return object != nullptr ? Read(object) : Heard{};
}

// Whether an object is Windows' own, which tells its window (IOleWindow);
// the program's object laid over it tells nothing beyond IAccessible.
bool TellsItsWindow(IAccessible* object) {
    IOleWindow* window = nullptr;
    if (FAILED(object->QueryInterface(IID_PPV_ARGS(&window))))
        return false;
    window->Release();
    return true;
}

// Whether this system's standard objects take Dynamic Annotation: a role laid
// on a static control of the test's own, as a reader hears it.
bool StandardObjectsTakeAnnotation() {
    HWND probe = CreateWindowExW(0, L"STATIC", L"probe", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    IAccPropServices* services = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                               reinterpret_cast<void**>(&services)),
              S_OK);
    bool taken = false;
    if (services != nullptr) {
        VARIANT role{};
        role.vt = VT_I4;
        role.lVal = ROLE_SYSTEM_GRAPHIC;
        const DWORD client = static_cast<DWORD>(OBJID_CLIENT);
        taken = SUCCEEDED(services->SetHwndProp(probe, client, CHILDID_SELF, PROPID_ACC_ROLE, role)) &&
                Aloud(probe).role == ROLE_SYSTEM_GRAPHIC;
        services->ClearHwndProps(probe, client, CHILDID_SELF, &PROPID_ACC_ROLE, 1);
        services->Release();
    }
    DestroyWindow(probe);
    return taken;
}

std::vector<HWND> ControlsNamed(HWND form, const std::wstring& name) {
    std::vector<HWND> found;
    for (HWND child = GetWindow(form, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
        if (ui::ControlName(child) == name)
            found.push_back(child);
    return found;
}

class ScreenReader : public testing::Test {
protected:
    void TearDown() override {
        ui::Instance<app::frmSplash>().Unload();
        ui::Instance<app::Form1>().Unload();
        ui::Instance<app::frmAbout>().Unload();
        Pump(20);
    }
    static HWND Open(ui::Form& form) {
        form.Show();
        Pump(50);
        return form.Hwnd();
    }
};

TEST_F(ScreenReader, SplashIsNamedItsLogoIsAGraphicAndItsBorderIsHidden) {
    auto& splash = ui::Instance<app::frmSplash>();
    HWND window = Open(splash);
    EXPECT_EQ(GetWindowTextLengthW(window), 0) << "the window text stays empty";
    Heard heard = Aloud(window);
    Heard standard = Standard(window);
    EXPECT_EQ(heard.name, L"Tumblewick");
    EXPECT_EQ(heard.role, standard.role) << "role and state come from Windows' own object";
    EXPECT_EQ(heard.state, standard.state);

    Heard logo = Aloud(splash.Control("imgLogo"));
    EXPECT_EQ(logo.role, ROLE_SYSTEM_GRAPHIC);
    EXPECT_EQ(logo.name, L"Tumblewick logo");
    EXPECT_FALSE(logo.Hidden());
    // The uncaptioned frame around the logo keeps it within a reader's reach.
    Heard frame = Aloud(splash.Control("Frame1"));
    EXPECT_EQ(frame.role, ROLE_SYSTEM_PANE);
    EXPECT_FALSE(frame.Hidden());

    // A system button is left to Windows: a push button there, the generic
    // client role under Wine.
    Heard ok = Aloud(splash.Control("btnOK"));
    EXPECT_EQ(ok.role, Standard(splash.Control("btnOK")).role);
    EXPECT_EQ(ok.name, L"OK");
}

TEST_F(ScreenReader, FramesAreGroupsNamedByTheirCaptionOrUnnamedPanes) {
    auto& window = ui::Instance<app::Form1>();
    Open(window);
    for (auto [control, caption] : {std::pair{"frameOptions", L"Tumblewick Options"}, std::pair{"Frame1", L"Desktop"},
                                    std::pair{"frameBrowserOptions", L"I.E. Browser"}}) {
        Heard frame = Aloud(window.Control(control));
        EXPECT_EQ(frame.role, ROLE_SYSTEM_GROUPING) << control;
        EXPECT_EQ(frame.name, caption) << control;
        EXPECT_FALSE(frame.Hidden()) << control;
    }
    Heard okCancel = Aloud(window.Control("frameOKCancel"));
    EXPECT_FALSE(okCancel.Hidden());
    EXPECT_EQ(okCancel.role, ROLE_SYSTEM_PANE);

    Heard cancel = Aloud(window.Control("btnCancel"));
    EXPECT_EQ(cancel.role, Standard(window.Control("btnCancel")).role);
    EXPECT_EQ(cancel.name, L"Cancel");
}

// The program lays its names and roles over Windows' own objects, and
// answers with an object of its own only where they are not heard (Wine).
TEST_F(ScreenReader, TheProgramsOwnObjectAnswersOnlyWhereAnnotationIsNotHeard) {
    auto& splash = ui::Instance<app::frmSplash>();
    Open(splash);
    HWND logo = splash.Control("imgLogo");
    IAccessible* object = nullptr;
    ASSERT_EQ(AccessibleObjectFromWindow(logo, OBJID_CLIENT, IID_PPV_ARGS(&object)), S_OK);
    bool standardAnswered = TellsItsWindow(object);
    Heard heard = Read(object);
    EXPECT_EQ(heard.role, ROLE_SYSTEM_GRAPHIC);
    EXPECT_EQ(heard.name, L"Tumblewick logo");

    IAccessible* standard = nullptr;
    ASSERT_EQ(CreateStdAccessibleObject(logo, OBJID_CLIENT, IID_PPV_ARGS(&standard)), S_OK);
    EXPECT_TRUE(TellsItsWindow(standard));
    standard->Release();
    EXPECT_EQ(standardAnswered, StandardObjectsTakeAnnotation());
}

// On Windows a reader hears the annotation from Windows' own object.
TEST_F(ScreenReader, OnWindowsTheAnnotationIsReadBackFromWindowsOwnObject) {
    if (UnderWine())
        GTEST_SKIP() << "Wine's standard objects take no annotation";
    EXPECT_TRUE(StandardObjectsTakeAnnotation());
    auto& splash = ui::Instance<app::frmSplash>();
    Open(splash);
    IAccessible* object = nullptr;
    ASSERT_EQ(AccessibleObjectFromWindow(splash.Control("imgLogo"), OBJID_CLIENT, IID_PPV_ARGS(&object)), S_OK);
    EXPECT_TRUE(TellsItsWindow(object));
    Heard heard = Read(object);
    EXPECT_EQ(heard.role, ROLE_SYSTEM_GRAPHIC);
    EXPECT_EQ(heard.name, L"Tumblewick logo");
}

TEST_F(ScreenReader, AboutSeparatorLinesAreHidden) {
    auto& about = ui::Instance<app::frmAbout>();
    std::vector<HWND> lines = ControlsNamed(Open(about), L"Line1");
    ASSERT_EQ(lines.size(), 2u) << "grey and white";
    for (HWND line : lines)
        EXPECT_TRUE(Aloud(line).Hidden());
}

}  // namespace
