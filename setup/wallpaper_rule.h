// The rule the setup and the MSI follow for the 24 wallpapers in the shared
// folder c:\share\Tumblewick\backgrounds\character backgrounds.
//
// Any account may make folders under c:\, so every folder of that path, and
// every file in it, may belong to someone else (on a school PC, a pupil). So:
//   - A file is setup's own by its content alone: its size and SHA-256 are
//     those of the wallpaper of that name in the build's list, and it has no
//     other name (no hard link). Any other file under a wallpaper's name is
//     kept, never written or deleted, whatever a record says.
//   - Each install records itself by one file in the wallpaper folder, named
//     by its account's SID ("installed for S-1-5-21-....ini"; the MSI's is
//     "installed for all users.ini", a name no SID takes). A record counts
//     only as a plain file of such a name, and says only that an install
//     exists and which folders of the path an install made. The wallpapers
//     go with the last record, and those folders with them, where empty.
//   - No check and then use: each folder of the path is opened once, from
//     the drive's root down, refused when it is a link, a junction or a
//     file, and held open (shared for reading and writing, never for
//     deleting, so that nobody can rename or remove it) until the last
//     write or delete. Files are made, renamed and deleted relative to those
//     handles, never by a path again; a wallpaper is written as a new file
//     under a fresh name and renamed into place, so no existing file is ever
//     opened for writing.
//   - Safe at any cut: a run writes down in a journal (a registry value of
//     the installing account's) what it is about to do before it does it; a
//     run that finds a journal first undoes an unfinished install, or
//     finishes an unfinished removal.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "platform/failure.h"

namespace wallpaper_rule {

// A wallpaper as the build made it.
struct Wallpaper {
    const wchar_t* name;
    std::uint64_t size;
    std::array<std::uint8_t, 32> sha256;
};

// Where the wallpapers go and which install places them.
struct Setting {
    // A folder nobody else controls: the drive's root, c:\.
    std::wstring base;
    // The folders below it, made where missing; the last holds the wallpapers.
    std::array<std::wstring, 4> folders;
    // This install's record, and the name-keyed record an earlier setup of
    // this version wrote for the same account (rewritten under the SID), or "".
    std::wstring record;
    std::wstring legacyRecord;
    std::wstring version;
    // Where a run writes its journal: HKEY_CURRENT_USER for the per-user
    // setup, HKEY_LOCAL_MACHINE for the MSI.
    HKEY journalRoot = HKEY_CURRENT_USER;
    std::wstring journalKey;
};

inline constexpr wchar_t kMachineRecord[] = L"installed for all users.ini";

// The fixed path, with the calling account's record (or the MSI's).
Setting UserSetting(const std::wstring& version);
Setting MachineSetting(const std::wstring& version);
std::wstring FolderPath(const Setting& setting);

// A folder of the path is a link, a junction or a file: nothing is written
// or deleted through it. Number() is ERROR_CANT_ACCESS_FILE.
class PathRefused : public platform::Failure {
public:
    explicit PathRefused(std::wstring folder);
    const std::wstring& Folder() const { return folder_; }

private:
    std::wstring folder_;
};

struct Report {
    // What a person is told, one line each: files kept, files left alone.
    std::vector<std::wstring> lines;
    // The wallpapers kept as they are (a file of that name that is not setup's).
    std::vector<std::wstring> kept;
    // What placing the wallpapers writes, in bytes.
    std::uint64_t bytes = 0;
};

// What Place would do, changing nothing. Throws PathRefused.
Report Plan(const Setting& setting, std::span<const Wallpaper> wallpapers);
// Places the missing wallpapers from `source` (a folder of the installer's
// own) and records the install; first undoes what an unfinished run began.
// The journal stays until Finish, so that Undo can take the run back.
// Throws PathRefused, or platform::Failure when a write fails.
Report Place(const Setting& setting, std::span<const Wallpaper> wallpapers, const std::wstring& source);
// The install is whole: its journal goes.
void Finish(const Setting& setting);
// Undoes an unfinished install (the wallpapers it placed, its new record, the
// folders it made) or finishes an unfinished removal; nothing without a
// journal. What a failed or rolled-back run calls.
void Undo(const Setting& setting, std::span<const Wallpaper> wallpapers);
// Takes this install's record away and, with the last record, the wallpapers
// that are setup's own and the emptied folders an install made. A path that
// is not plain folders is left alone and reported.
Report Remove(const Setting& setting, std::span<const Wallpaper> wallpapers);

// For tests: `hook` runs after each step of the rule that leaves something
// on disk or in the journal (none: nothing runs). A hook that throws Cut
// stops the rule there as a power cut would, leaving what is on disk.
struct Cut {};
void OnEachStep(std::function<void()> hook);

}  // namespace wallpaper_rule
