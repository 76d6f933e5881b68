// The custom actions of Tumblewick's MSI (setup/msi.wxs). Windows Installer
// copies the wallpapers into the program folder only; these actions place
// them in the shared folder by the wallpaper rule (wallpaper_rule.h), as the
// machine's install, so that nothing of Windows Installer's own writes there
// with the machine's rights:
//
//   MachineFolders     immediate, Wine only (WINEALLUSERSFOLDERS=1)
//   CheckWallpapers    immediate, before an install changes anything: refuses
//                      a path that is not plain folders, tells the kept files
//   PlaceWallpapers    deferred: places them from the program folder and
//                      records the install; UnplaceWallpapers, its rollback,
//                      takes that back, FinishWallpapers, its commit, ends it
//   RemoveWallpapers   deferred, at an uninstall that is not an upgrade's:
//                      takes the record and, with the last, the wallpapers
//                      away; RestoreWallpapers, its rollback, places them
//                      again from the program folder that rollback restores
//
// The deferred actions' data is "<version>;<program folder>\wallpapers".
#include <windows.h>

#include <msi.h>
#include <msiquery.h>
#include <shlobj.h>

#include <string>
#include <utility>

#include "setup/wallpaper_list.h"
#include "setup/wallpaper_rule.h"

namespace {

using wallpaper_rule::kBuildWallpapers;

void Say(MSIHANDLE install, INSTALLMESSAGE kind, const std::wstring& text) {
    // The text goes in a field, so that brackets in it are never formatted.
    PMSIHANDLE record = MsiCreateRecord(1);
    MsiRecordSetStringW(record, 0, L"[1]");
    MsiRecordSetStringW(record, 1, text.c_str());
    MsiProcessMessage(install, kind, record);
}

void Tell(MSIHANDLE install, const wallpaper_rule::Report& report) {
    for (const std::wstring& line : report.lines)
        Say(install, INSTALLMESSAGE_INFO, line);
}

std::wstring Property(MSIHANDLE install, const wchar_t* name) {
    DWORD size = 0;
    wchar_t none[1] = L"";
    if (MsiGetPropertyW(install, name, none, &size) != ERROR_MORE_DATA)
        return L"";
    std::wstring value(++size, L'\0');
    if (MsiGetPropertyW(install, name, value.data(), &size) != ERROR_SUCCESS)
        return L"";
    value.resize(size);
    return value;
}

// The deferred actions' version and source folder (which Windows Installer
// gives with a backslash at its end).
std::pair<std::wstring, std::wstring> Data(MSIHANDLE install) {
    std::wstring data = Property(install, L"CustomActionData");
    std::size_t semicolon = data.find(L';');
    if (semicolon == std::wstring::npos)
        return {data, L""};
    std::wstring source = data.substr(semicolon + 1);
    if (!source.empty() && source.back() == L'\\')
        source.pop_back();
    return {data.substr(0, semicolon), source};
}

// No failure crosses into Windows Installer: each is shown, and fails the
// install where `fatal`.
template <class Work>
UINT Run(MSIHANDLE install, bool fatal, Work work) {
    try {
        work();
        return ERROR_SUCCESS;
    } catch (const platform::Failure& failure) {
        if (!fatal) {
            Say(install, INSTALLMESSAGE_INFO, L"Left the wallpapers alone: " + failure.Description());
            return ERROR_SUCCESS;
        }
        Say(install, INSTALLMESSAGE(INSTALLMESSAGE_ERROR | MB_OK | MB_ICONERROR),
            failure.Description() + L" Nothing was changed.");
    } catch (...) {
        if (!fatal)
            return ERROR_SUCCESS;
        Say(install, INSTALLMESSAGE(INSTALLMESSAGE_ERROR | MB_OK | MB_ICONERROR),
            L"The wallpapers could not be placed. Nothing was changed.");
    }
    return ERROR_INSTALL_FAILURE;
}

}  // namespace

// Wine: its msiexec points these folders at the current user's even for a
// per-machine install; Windows Installer already points them at all users'.
extern "C" __declspec(dllexport) UINT __stdcall MachineFolders(MSIHANDLE install) {
    if (Property(install, L"ALLUSERS") != L"1")
        return ERROR_SUCCESS;
    const std::pair<const wchar_t*, int> folders[] = {{L"ProgramMenuFolder", CSIDL_COMMON_PROGRAMS},
                                                      {L"DesktopFolder", CSIDL_COMMON_DESKTOPDIRECTORY}};
    for (const auto& [name, csidl] : folders) {
        wchar_t path[MAX_PATH] = L"";
        if (SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path) == S_OK && path[0] != L'\0')
            MsiSetPropertyW(install, name, (std::wstring(path) + L"\\").c_str());
    }
    return ERROR_SUCCESS;
}

extern "C" __declspec(dllexport) UINT __stdcall CheckWallpapers(MSIHANDLE install) {
    return Run(install, true, [&] {
        Tell(install, wallpaper_rule::Plan(wallpaper_rule::MachineSetting(Property(install, L"ProductVersion")),
                                           kBuildWallpapers));
    });
}

extern "C" __declspec(dllexport) UINT __stdcall PlaceWallpapers(MSIHANDLE install) {
    auto [version, source] = Data(install);
    return Run(install, true, [&] {
        Tell(install, wallpaper_rule::Place(wallpaper_rule::MachineSetting(version), kBuildWallpapers, source));
    });
}

extern "C" __declspec(dllexport) UINT __stdcall UnplaceWallpapers(MSIHANDLE install) {
    return Run(install, false,
               [&] { wallpaper_rule::Undo(wallpaper_rule::MachineSetting(Data(install).first), kBuildWallpapers); });
}

extern "C" __declspec(dllexport) UINT __stdcall FinishWallpapers(MSIHANDLE install) {
    return Run(install, false, [&] { wallpaper_rule::Finish(wallpaper_rule::MachineSetting(Data(install).first)); });
}

// An uninstall goes on whatever happens to the shared wallpapers.
extern "C" __declspec(dllexport) UINT __stdcall RemoveWallpapers(MSIHANDLE install) {
    return Run(install, false, [&] {
        Tell(install, wallpaper_rule::Remove(wallpaper_rule::MachineSetting(Data(install).first), kBuildWallpapers));
    });
}

extern "C" __declspec(dllexport) UINT __stdcall RestoreWallpapers(MSIHANDLE install) {
    auto [version, source] = Data(install);
    return Run(install, false, [&] {
        const wallpaper_rule::Setting setting = wallpaper_rule::MachineSetting(version);
        wallpaper_rule::Place(setting, kBuildWallpapers, source);
        wallpaper_rule::Finish(setting);
    });
}
