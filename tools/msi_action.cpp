// The custom actions of Tumblewick's MSI (tools/msi.wxs): the rule for the
// wallpapers that the per-user setup follows too. Each install, of any account
// or of the machine, records itself by one file in the wallpaper folder,
// "installed for <account>.ini"; the MSI's is "installed for all users.ini".
// A record names each wallpaper the install placed or found as its own
// (<file>=<size>:<CRC-32>), the folders of the path that an install made, and
// its version. The wallpapers go with the last record, and only those still
// as recorded.
//
// Windows Installer itself never removes the wallpapers: their components
// have no component code, so they are not registered. These actions are:
//
//   MachineFolders  immediate, before CostFinalize of every run: the
//                   shortcuts of a per-machine install go into all users'
//                   Start menu and desktop. Windows Installer already points
//                   ProgramMenuFolder and DesktopFolder there; Wine's points
//                   them at the current user's, and this corrects them.
//   PlanWallpapers  immediate, before CostFinalize of an install: refuses to
//                   write through a folder of the path that is a link or a
//                   file; keeps a file under a wallpaper's name that no
//                   install placed (sets Keep_<name>, which disables that
//                   wallpaper's component); hands the record to write to
//                   RecordInstall.
//   RecordInstall   deferred, at the end of an install: writes the record.
//   RemoveRecord    deferred, at the end of an uninstall (not an upgrade's):
//                   removes the record and, when no other is left, the
//                   wallpapers still as recorded and the folders an install
//                   made, where empty. Its data is the MSI's wallpaper list:
//                   only those names are ever removed.
//
// Wallpaper lists are "<file>=<size>:<CRC-32>;..." (TwWallpapers).
#include <windows.h>

#include <msi.h>
#include <msiquery.h>
#include <shlobj.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace {

const wchar_t* const kFolders[] = {
    L"c:\\share",
    L"c:\\share\\Tumblewick",
    L"c:\\share\\Tumblewick\\backgrounds",
    L"c:\\share\\Tumblewick\\backgrounds\\character backgrounds",
};
// The [folders] key of each, in the same order.
const wchar_t* const kFolderKeys[] = {L"share", L"product", L"backgrounds", L"wallpapers"};
const std::wstring kWallpaperFolder = kFolders[3];
const std::wstring kRecord = kWallpaperFolder + L"\\installed for all users.ini";
const DWORD kLargestFile = 32 * 1024 * 1024;

using Pairs = std::vector<std::pair<std::wstring, std::wstring>>;

void Say(MSIHANDLE install, INSTALLMESSAGE kind, const std::wstring& text) {
    // The text goes in a field, so that brackets in it are never formatted.
    PMSIHANDLE record = MsiCreateRecord(1);
    MsiRecordSetStringW(record, 0, L"[1]");
    MsiRecordSetStringW(record, 1, text.c_str());
    MsiProcessMessage(install, kind, record);
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

// "a=b;c=d" as pairs; entries without '=' are skipped.
Pairs Split(const std::wstring& list, wchar_t entrySeparator) {
    Pairs pairs;
    for (std::size_t start = 0; start < list.size();) {
        std::size_t end = list.find(entrySeparator, start);
        if (end == std::wstring::npos)
            end = list.size();
        std::wstring entry = list.substr(start, end - start);
        if (std::size_t equals = entry.find(L'='); equals != std::wstring::npos && equals > 0)
            pairs.emplace_back(entry.substr(0, equals), entry.substr(equals + 1));
        start = end + 1;
    }
    return pairs;
}

// A name from the MSI's own list: a plain file name, never a path.
bool PlainName(const std::wstring& name) {
    return !name.empty() && name.find_first_of(L"\\/:") == std::wstring::npos && name != L"." && name != L"..";
}

std::uint32_t Crc32(const unsigned char* data, std::size_t size) {
    static std::uint32_t table[256];
    if (table[1] == 0)
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[n] = c;
        }
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i)
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

// "missing", "other" (a folder, a link, too big, unreadable) or
// "<size>:<CRC-32>" of the file's bytes, as the per-user setup tells them.
std::wstring FileState(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return L"missing";
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
        return L"other";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return L"other";
    std::wstring state = L"other";
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file, &size) && size.QuadPart <= kLargestFile) {
        std::vector<unsigned char> bytes(static_cast<std::size_t>(size.QuadPart));
        DWORD read = 0;
        if (bytes.empty() || (ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) &&
                              read == bytes.size())) {
            wchar_t text[32];
            wsprintfW(text, L"%u:%08X", static_cast<unsigned>(bytes.size()), Crc32(bytes.data(), bytes.size()));
            state = text;
        }
    }
    CloseHandle(file);
    return state;
}

bool IsFolder(const wchar_t* path) {
    DWORD attributes = GetFileAttributesW(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The first folder of the wallpaper path that is there but is a link, a
// junction or a file; "" when each is a plain folder or missing. Any account
// may make folders under c:\, and these actions run with the machine's rights.
std::wstring PathProblem() {
    for (const wchar_t* folder : kFolders) {
        DWORD attributes = GetFileAttributesW(folder);
        if (attributes != INVALID_FILE_ATTRIBUTES &&
            ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) || !(attributes & FILE_ATTRIBUTE_DIRECTORY)))
            return folder;
    }
    return L"";
}

// Every install's record in the wallpaper folder.
std::vector<std::wstring> Records() {
    std::vector<std::wstring> records;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((kWallpaperFolder + L"\\installed for *.ini").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return records;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            records.push_back(kWallpaperFolder + L"\\" + found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return records;
}

std::wstring ReadIni(const std::wstring& file, const wchar_t* section, const std::wstring& key) {
    wchar_t value[256] = L"";
    GetPrivateProfileStringW(section, key.c_str(), L"", value, 256, file.c_str());
    return value;
}

}  // namespace

// Wine: its msiexec points these folders at the current user's even for a per-machine install.
extern "C" __declspec(dllexport) UINT __stdcall MachineFolders(MSIHANDLE install) {
    if (Property(install, L"ALLUSERS") != L"1")
        return ERROR_SUCCESS;
    const std::pair<const wchar_t*, int> folders[] = {{L"ProgramMenuFolder", CSIDL_COMMON_PROGRAMS},
                                                      {L"DesktopFolder", CSIDL_COMMON_DESKTOPDIRECTORY}};
    for (const auto& [name, csidl] : folders) {
        wchar_t path[MAX_PATH] = L"";
        if (SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK || path[0] == L'\0')
            continue;
        const std::wstring common = std::wstring(path) + L"\\";
        if (lstrcmpiW(Property(install, name).c_str(), common.c_str()) != 0) {
            Say(install, INSTALLMESSAGE_INFO, std::wstring(name) + L" for all users: " + common);
            MsiSetPropertyW(install, name, common.c_str());
        }
    }
    return ERROR_SUCCESS;
}

extern "C" __declspec(dllexport) UINT __stdcall PlanWallpapers(MSIHANDLE install) {
    if (std::wstring problem = PathProblem(); !problem.empty()) {
        Say(install, INSTALLMESSAGE(INSTALLMESSAGE_ERROR | MB_OK | MB_ICONERROR),
            L"\"" + problem + L"\" is a link or a file, not a plain folder; Tumblewick's setup writes no "
            L"wallpaper through it. Remove it, then run setup again. Nothing was changed.");
        return ERROR_INSTALL_FAILURE;
    }
    const std::vector<std::wstring> records = Records();
    // Lines of "section\tkey\tvalue", in the order they are written.
    std::wstring data;
    for (const auto& [name, own] : Split(Property(install, L"TwWallpapers"), L';')) {
        if (!PlainName(name))
            continue;
        const std::wstring state = FileState(kWallpaperFolder + L"\\" + name);
        bool placed = state == L"missing" || state == own;
        for (const std::wstring& record : records)
            placed = placed || (state != L"other" && ReadIni(record, L"wallpapers", name) == state);
        if (placed) {
            data += L"wallpapers\t" + name + L"\t" + own + L"\n";
        } else {
            std::wstring stem = name.substr(0, name.rfind(L'.'));
            MsiSetPropertyW(install, (L"Keep_" + stem).c_str(), L"1");
            Say(install, INSTALLMESSAGE_INFO, L"Kept " + kWallpaperFolder + L"\\" + name +
                                                  L": a file of that name that Tumblewick's setup did not place");
        }
    }
    // A folder counts as made when this install makes it, or when any
    // install before it did.
    for (std::size_t n = 0; n < 4; ++n) {
        bool made = !IsFolder(kFolders[n]);
        for (const std::wstring& record : records)
            made = made || ReadIni(record, L"folders", kFolderKeys[n]) == L"1";
        data += std::wstring(L"folders\t") + kFolderKeys[n] + L"\t" + (made ? L"1" : L"") + L"\n";
    }
    data += L"install\tversion\t" + Property(install, L"ProductVersion") + L"\n";
    MsiSetPropertyW(install, L"RecordInstall", data.c_str());
    return ERROR_SUCCESS;
}

extern "C" __declspec(dllexport) UINT __stdcall RecordInstall(MSIHANDLE install) {
    const std::wstring data = Property(install, L"CustomActionData");
    DeleteFileW(kRecord.c_str());
    bool written = true;
    for (std::size_t start = 0; start < data.size();) {
        std::size_t end = data.find(L'\n', start);
        if (end == std::wstring::npos)
            end = data.size();
        std::wstring line = data.substr(start, end - start);
        std::size_t tab1 = line.find(L'\t'), tab2 = line.find(L'\t', tab1 + 1);
        if (tab1 != std::wstring::npos && tab2 != std::wstring::npos)
            written = WritePrivateProfileStringW(line.substr(0, tab1).c_str(),
                                                 line.substr(tab1 + 1, tab2 - tab1 - 1).c_str(),
                                                 line.substr(tab2 + 1).c_str(), kRecord.c_str()) &&
                      written;
        start = end + 1;
    }
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, kRecord.c_str());
    if (!written) {
        Say(install, INSTALLMESSAGE(INSTALLMESSAGE_ERROR | MB_OK | MB_ICONERROR),
            L"Could not write " + kRecord + L".");
        return ERROR_INSTALL_FAILURE;
    }
    return ERROR_SUCCESS;
}

extern "C" __declspec(dllexport) UINT __stdcall RemoveRecord(MSIHANDLE install) {
    if (std::wstring problem = PathProblem(); !problem.empty()) {
        Say(install, INSTALLMESSAGE_INFO,
            L"Left the wallpapers alone: \"" + problem + L"\" is a link or a file, not a plain folder.");
        return ERROR_SUCCESS;
    }
    if (GetFileAttributesW(kRecord.c_str()) == INVALID_FILE_ATTRIBUTES)
        return ERROR_SUCCESS;
    Pairs recorded;
    for (const auto& [name, own] : Split(Property(install, L"CustomActionData"), L';'))
        if (PlainName(name))
            recorded.emplace_back(name, ReadIni(kRecord, L"wallpapers", name));
    bool made[4];
    for (std::size_t n = 0; n < 4; ++n)
        made[n] = ReadIni(kRecord, L"folders", kFolderKeys[n]) == L"1";
    if (!DeleteFileW(kRecord.c_str())) {
        Say(install, INSTALLMESSAGE_INFO, L"Could not remove " + kRecord + L"; left the wallpapers alone.");
        return ERROR_SUCCESS;
    }
    if (!Records().empty())
        return ERROR_SUCCESS;
    for (const auto& [name, state] : recorded) {
        if (state.empty())
            continue;
        const std::wstring path = kWallpaperFolder + L"\\" + name;
        if (FileState(path) == state)
            DeleteFileW(path.c_str());
        else
            Say(install, INSTALLMESSAGE_INFO, L"Kept " + path + L": not as setup placed it");
    }
    // Deepest first; a folder goes only when empty.
    for (std::size_t n = 4; n-- > 0;)
        if (made[n])
            RemoveDirectoryW(kFolders[n]);
    return ERROR_SUCCESS;
}
