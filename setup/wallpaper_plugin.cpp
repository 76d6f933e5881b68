// The NSIS plug-in through which the per-user setup and its uninstaller follow
// the wallpaper rule (wallpaper_rule.h) for the calling account:
//
//   Wallpapers::Plan VERSION            what the install would write and keep
//   Wallpapers::Place VERSION SOURCE    places them from SOURCE and records the install
//   Wallpapers::Finish VERSION          the install is whole
//   Wallpapers::Undo VERSION            takes an unfinished install back
//   Wallpapers::Remove VERSION          takes this account's install away
//
// Each pushes, from the top of the stack down: the status ("ok"; "link" when
// a folder of the path is a link, a junction or a file; "fail"), the failure's
// text, the KiB that placing writes, the kept wallpapers' names (each after a
// line break), the number of lines to tell, and those lines.
#include <windows.h>

#include <nsis/pluginapi.h>

#include <functional>
#include <string>
#include <vector>

#include "setup/wallpaper_list.h"
#include "setup/wallpaper_rule.h"

namespace {

using wallpaper_rule::Report;

std::wstring Pop() {
    std::vector<wchar_t> text(static_cast<std::size_t>(g_stringsize) + 1, L'\0');
    popstring(text.data());
    return text.data();
}

void Answer(const Report& report, const wchar_t* status, const std::wstring& message) {
    for (auto line = report.lines.rbegin(); line != report.lines.rend(); ++line)
        pushstring(line->c_str());
    pushstring(std::to_wstring(report.lines.size()).c_str());
    std::wstring kept;
    for (const std::wstring& name : report.kept)
        kept += L"\r\n" + name;
    pushstring(kept.c_str());
    pushstring(std::to_wstring((report.bytes + 1023) / 1024).c_str());
    pushstring(message.c_str());
    pushstring(status);
}

// No failure crosses into NSIS: each becomes a status and a text.
// The version comes first on the stack, then the call's other arguments.
void Answer(const std::function<Report(const wallpaper_rule::Setting&)>& work) {
    const std::wstring version = Pop();
    try {
        Answer(work(wallpaper_rule::UserSetting(version)), L"ok", L"");
    } catch (const wallpaper_rule::PathRefused& refused) {
        Answer({}, L"link", refused.Description());
    } catch (const platform::Failure& failure) {
        Answer({}, L"fail", failure.Description());
    } catch (...) {
        Answer({}, L"fail", L"The wallpapers could not be handled: " + platform::SystemErrorText(ERROR_INTERNAL_ERROR));
    }
}

}  // namespace

#define TW_PLUGIN_EXPORT(name)                                                                                 \
    extern "C" __declspec(dllexport) void name(HWND, int string_size, wchar_t* variables, stack_t** stacktop, \
                                               extra_parameters*)

TW_PLUGIN_EXPORT(Plan) {
    EXDLL_INIT();
    Answer([](const auto& setting) { return wallpaper_rule::Plan(setting, wallpaper_rule::kBuildWallpapers); });
}

TW_PLUGIN_EXPORT(Place) {
    EXDLL_INIT();
    Answer([](const auto& setting) {
        return wallpaper_rule::Place(setting, wallpaper_rule::kBuildWallpapers, Pop());
    });
}

TW_PLUGIN_EXPORT(Finish) {
    EXDLL_INIT();
    Answer([](const auto& setting) {
        wallpaper_rule::Finish(setting);
        return Report{};
    });
}

TW_PLUGIN_EXPORT(Undo) {
    EXDLL_INIT();
    Answer([](const auto& setting) {
        wallpaper_rule::Undo(setting, wallpaper_rule::kBuildWallpapers);
        return Report{};
    });
}

TW_PLUGIN_EXPORT(Remove) {
    EXDLL_INIT();
    Answer([](const auto& setting) { return wallpaper_rule::Remove(setting, wallpaper_rule::kBuildWallpapers); });
}
