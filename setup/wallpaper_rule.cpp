#include "setup/wallpaper_rule.h"

#include <winternl.h>

#include <bcrypt.h>
#include <lmcons.h>
#include <sddl.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

#include "platform/scoped_handle.h"

extern "C" NTSTATUS NTAPI NtQueryDirectoryFile(HANDLE, HANDLE, PVOID, PVOID, PIO_STATUS_BLOCK, PVOID, ULONG,
                                               FILE_INFORMATION_CLASS, BOOLEAN, PUNICODE_STRING, BOOLEAN);

namespace wallpaper_rule {

namespace {

using platform::Failure;
using platform::ScopedFile;

// ntstatus.h clashes with windows.h; these are the few the rule tells apart.
constexpr NTSTATUS kNoMoreFiles = static_cast<NTSTATUS>(0x80000006);
constexpr NTSTATUS kNoSuchFile = static_cast<NTSTATUS>(0xC000000F);
constexpr NTSTATUS kNameNotFound = static_cast<NTSTATUS>(0xC0000034);
constexpr NTSTATUS kNameCollision = static_cast<NTSTATUS>(0xC0000035);
constexpr NTSTATUS kPathNotFound = static_cast<NTSTATUS>(0xC000003A);
constexpr NTSTATUS kNotADirectory = static_cast<NTSTATUS>(0xC0000103);

constexpr wchar_t kRecordPrefix[] = L"installed for ";
constexpr wchar_t kRecordSuffix[] = L".ini";
// A record's [folders] keys, one for each folder of the path.
constexpr const wchar_t* kFolderKeys[] = {L"share", L"product", L"backgrounds", L"wallpapers"};
constexpr DWORD kLargestRecord = 64 * 1024;
constexpr DWORD kChunk = 1024 * 1024;
// Held folders: others may read and write in them, never rename or remove them.
constexpr ULONG kHeldShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr ACCESS_MASK kFolderAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY;

using Flags = std::array<bool, 4>;

std::function<void()> g_onStep;

// One step of the rule is done; a test may stop the rule here.
void Step() {
    if (g_onStep)
        g_onStep();
}

[[noreturn]] void ThrowStatus(NTSTATUS status, const std::wstring& what) {
    long error = static_cast<long>(RtlNtStatusToDosError(status));
    throw Failure(error, L"Could not write " + what + L": " + platform::SystemErrorText(error));
}

bool Same(const std::wstring& a, const std::wstring& b) { return lstrcmpiW(a.c_str(), b.c_str()) == 0; }

NTSTATUS OpenRelative(HANDLE folder, const std::wstring& name, ACCESS_MASK access, ULONG share, ULONG disposition,
                      ULONG options, ScopedFile& out) {
    UNICODE_STRING text{static_cast<USHORT>(name.size() * sizeof(wchar_t)),
                        static_cast<USHORT>(name.size() * sizeof(wchar_t)), const_cast<wchar_t*>(name.c_str())};
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, folder, nullptr);
    IO_STATUS_BLOCK io{};
    HANDLE handle = nullptr;
    NTSTATUS status = NtCreateFile(&handle, access | SYNCHRONIZE | FILE_READ_ATTRIBUTES, &attributes, &io, nullptr,
                                   FILE_ATTRIBUTE_NORMAL, share, disposition,
                                   options | FILE_SYNCHRONOUS_IO_NONALERT | FILE_OPEN_REPARSE_POINT, nullptr, 0);
    if (NT_SUCCESS(status))
        out.Reset(handle);
    return status;
}

struct Entry {
    std::wstring name;
    DWORD attributes = 0;
    LONGLONG id = 0;
};

// The folder's entries as its listing gives them: every one, or the one
// named (none when it is not there).
std::vector<Entry> List(HANDLE folder, const std::wstring* only) {
    ScopedFile listing;
    NTSTATUS status = OpenRelative(folder, L"", FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   FILE_OPEN, FILE_DIRECTORY_FILE, listing);
    if (!NT_SUCCESS(status))
        ThrowStatus(status, L"a folder's listing");
    std::vector<Entry> entries;
    std::vector<LONGLONG> buffer(8 * 1024);
    UNICODE_STRING mask{};
    if (only != nullptr)
        mask = {static_cast<USHORT>(only->size() * sizeof(wchar_t)), static_cast<USHORT>(only->size() * sizeof(wchar_t)),
                const_cast<wchar_t*>(only->c_str())};
    for (bool first = true;; first = false) {
        IO_STATUS_BLOCK io{};
        status = NtQueryDirectoryFile(listing.Get(), nullptr, nullptr, nullptr, &io, buffer.data(),
                                      static_cast<ULONG>(buffer.size() * sizeof(LONGLONG)),
                                      FileIdBothDirectoryInformation, only != nullptr, only ? &mask : nullptr, first);
        if (status == kNoMoreFiles || status == kNoSuchFile || status == kNameNotFound)
            return entries;
        if (!NT_SUCCESS(status))
            ThrowStatus(status, L"a folder's listing");
        auto* bytes = reinterpret_cast<const unsigned char*>(buffer.data());
        for (;;) {
            auto* info = reinterpret_cast<const FILE_ID_BOTH_DIR_INFO*>(bytes);
            std::wstring name(info->FileName, info->FileNameLength / sizeof(wchar_t));
            if (name != L"." && name != L"..")
                entries.push_back({name, info->FileAttributes, info->FileId.QuadPart});
            if (info->NextEntryOffset == 0)
                break;
            bytes += info->NextEntryOffset;
        }
        if (only != nullptr)
            return entries;
    }
}

// Whether `handle`, opened for `name` in `folder`, is that entry itself and a
// plain file or folder: no reparse point on the handle nor in the listing, and
// the listing's file ID is the handle's. (Wine opens the target of a link even
// when asked for the link itself; the listing still tells the two apart.)
bool IsPlain(HANDLE folder, const std::wstring& name, HANDLE handle, bool isFolder) {
    FILE_ATTRIBUTE_TAG_INFO tag{};
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag) ||
        !GetFileInformationByHandle(handle, &info))
        return false;
    std::vector<Entry> entry = List(folder, &name);
    const DWORD kind = isFolder ? FILE_ATTRIBUTE_DIRECTORY : 0;
    const LONGLONG id = static_cast<LONGLONG>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
    return entry.size() == 1 && !((tag.FileAttributes | entry[0].attributes) & FILE_ATTRIBUTE_REPARSE_POINT) &&
           (tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) == kind &&
           (entry[0].attributes & FILE_ATTRIBUTE_DIRECTORY) == kind && entry[0].id == id;
}

bool Dispose(HANDLE handle) {
    FILE_DISPOSITION_INFO info{TRUE};
    return SetFileInformationByHandle(handle, FileDispositionInfo, &info, sizeof info);
}

NTSTATUS Rename(HANDLE file, HANDLE folder, const std::wstring& name, bool replace) {
    std::vector<LONGLONG> buffer((sizeof(FILE_RENAME_INFO) + name.size() * sizeof(wchar_t)) / sizeof(LONGLONG) + 1);
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = replace;
    info->RootDirectory = folder;
    info->FileNameLength = static_cast<DWORD>(name.size() * sizeof(wchar_t));
    std::memcpy(info->FileName, name.data(), info->FileNameLength);
    IO_STATUS_BLOCK io{};
    return NtSetInformationFile(file, &io, info, static_cast<ULONG>(buffer.size() * sizeof(LONGLONG)),
                                FileRenameInformation);
}

// Opens a plain file of the folder; false when it is missing, a link, a
// folder, or in use in a way that the access asked for does not allow.
bool OpenFile(HANDLE folder, const std::wstring& name, ACCESS_MASK access, ULONG share, ScopedFile& file) {
    return NT_SUCCESS(OpenRelative(folder, name, access, share, FILE_OPEN, FILE_NON_DIRECTORY_FILE, file)) &&
           IsPlain(folder, name, file.Get(), false);
}

void DeleteIfPlain(HANDLE folder, const std::wstring& name) {
    ScopedFile file;
    if (OpenFile(folder, name, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, file))
        Dispose(file.Get());
}

class Sha256 {
public:
    Sha256() {
        if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&algorithm_, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ||
            !BCRYPT_SUCCESS(BCryptCreateHash(algorithm_, &hash_, nullptr, 0, nullptr, 0, 0)))
            throw Failure(ERROR_NOT_SUPPORTED, L"SHA-256 is not available");
    }
    ~Sha256() {
        if (hash_)
            BCryptDestroyHash(hash_);
        if (algorithm_)
            BCryptCloseAlgorithmProvider(algorithm_, 0);
    }
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;
    void Add(const unsigned char* data, DWORD size) { BCryptHashData(hash_, const_cast<PUCHAR>(data), size, 0); }
    std::array<std::uint8_t, 32> Digest() {
        std::array<std::uint8_t, 32> digest{};
        BCryptFinishHash(hash_, digest.data(), static_cast<ULONG>(digest.size()), 0);
        return digest;
    }

private:
    BCRYPT_ALG_HANDLE algorithm_ = nullptr;
    BCRYPT_HASH_HANDLE hash_ = nullptr;
};

// Whether the open file is the wallpaper as the build made it and has no
// other name: a hard link may be a parent's file elsewhere.
bool IsOwn(HANDLE file, const Wallpaper& wallpaper) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info) || info.nNumberOfLinks != 1 ||
        (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow) != wallpaper.size)
        return false;
    Sha256 sha;
    std::vector<unsigned char> chunk(kChunk);
    for (std::uint64_t left = wallpaper.size; left > 0;) {
        DWORD read = 0;
        if (!ReadFile(file, chunk.data(), kChunk, &read, nullptr) || read == 0)
            return false;
        sha.Add(chunk.data(), read);
        left -= std::min<std::uint64_t>(left, read);
    }
    return sha.Digest() == wallpaper.sha256;
}

enum class State { Missing, Own, Other };

// What the folder holds under the wallpaper's name. With `file`, an own file
// stays open there for deleting.
State StateOf(HANDLE folder, const Wallpaper& wallpaper, ScopedFile* file) {
    const std::wstring name = wallpaper.name;
    if (List(folder, &name).empty())
        return State::Missing;
    ScopedFile opened;
    if (!OpenFile(folder, name, GENERIC_READ | (file ? DELETE : 0), FILE_SHARE_READ, opened) ||
        !IsOwn(opened.Get(), wallpaper))
        return State::Other;
    if (file != nullptr)
        *file = std::move(opened);
    return State::Own;
}

// The folders of the path, held open from the base down.
struct Path {
    // [0] the base, [k + 1] folders[k]; `depth` of the folders are open.
    std::array<ScopedFile, 5> held;
    int depth = 0;
    HANDLE Wallpapers() const { return held[4].Get(); }
    bool Whole() const { return depth == 4; }
};

// Opens the path as far as it goes. `make` (when given) is told of each
// missing folder before it is made, and the folder is then made; otherwise
// the path ends at the first missing one. `forDelete` lets the folders be
// removed through their handles.
Path OpenPath(const Setting& setting, const std::function<void(int)>& make, bool forDelete) {
    Path path;
    // Accounts may make folders in a drive's root, not files.
    path.held[0].Reset(CreateFileW(setting.base.c_str(), FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_ADD_SUBDIRECTORY,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!path.held[0])
        platform::ThrowLastError(setting.base);
    std::wstring shown = setting.base;
    const ACCESS_MASK access = kFolderAccess | (forDelete ? DELETE : 0);
    for (int level = 0; level < 4; ++level) {
        const std::wstring& name = setting.folders[level];
        shown += (shown.back() == L'\\' ? L"" : L"\\") + name;
        HANDLE parent = path.held[level].Get();
        ScopedFile& folder = path.held[level + 1];
        NTSTATUS status = OpenRelative(parent, name, access, kHeldShare, FILE_OPEN, FILE_DIRECTORY_FILE, folder);
        const bool listed = !List(parent, &name).empty();
        if ((status == kNameNotFound || status == kPathNotFound) && !listed) {
            if (!make)
                return path;
            make(level);
            status = OpenRelative(parent, name, access, kHeldShare, FILE_CREATE, FILE_DIRECTORY_FILE, folder);
            if (status == kNameCollision)
                status = OpenRelative(parent, name, access, kHeldShare, FILE_OPEN, FILE_DIRECTORY_FILE, folder);
            if (!NT_SUCCESS(status))
                ThrowStatus(status, L"the folder " + shown);
            Step();
        }
        // A file, a link to one, or a link to nothing: not a plain folder
        // to write through.
        if (status == kNotADirectory || (!NT_SUCCESS(status) && listed && (status == kNameNotFound || status == kPathNotFound)) ||
            (NT_SUCCESS(status) && !IsPlain(parent, name, folder.Get(), true)))
            throw PathRefused(shown);
        if (!NT_SUCCESS(status))
            ThrowStatus(status, L"the folder " + shown);
        path.depth = level + 1;
    }
    return path;
}

// Removes the folders that `made` names, deepest first, each only when empty;
// one that stays keeps those above it.
void RemoveFolders(Path& path, const Flags& made) {
    for (int level = path.depth; level-- > 0;) {
        if (!made[level] || !Dispose(path.held[level + 1].Get()))
            return;
        path.held[level + 1].Reset();
        path.depth = level;
        Step();
    }
}

// What a run has begun, kept where only the installing account writes.
struct Journal {
    std::wstring run;  // "install" or "remove"; "" when no run is unfinished
    std::wstring tag;  // in the names of the run's new files
    bool newRecord = false;
    bool last = false;
    Flags made{};  // install: the folders this run made; remove: those it removes
    std::vector<std::wstring> placing;
};

std::wstring FlagText(const Flags& flags) {
    std::wstring text;
    for (bool flag : flags)
        text += flag ? L'1' : L'0';
    return text;
}

Flags FlagsOf(const std::wstring& text) {
    Flags flags{};
    for (std::size_t n = 0; n < flags.size() && n < text.size(); ++n)
        flags[n] = text[n] == L'1';
    return flags;
}

platform::ScopedKey JournalKey(const Setting& setting, bool create) {
    platform::ScopedKey key;
    const REGSAM access = KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_WOW64_64KEY;
    LSTATUS status = create ? RegCreateKeyExW(setting.journalRoot, setting.journalKey.c_str(), 0, nullptr, 0, access,
                                              nullptr, key.Put(), nullptr)
                            : RegOpenKeyExW(setting.journalRoot, setting.journalKey.c_str(), 0, access, key.Put());
    if (status != ERROR_SUCCESS && create)
        throw Failure(status, L"Could not write the setup's journal: " + platform::SystemErrorText(status));
    return key;
}

void WriteJournal(const Setting& setting, const Journal& journal) {
    std::wstring text = L"run=" + journal.run + L"\ntag=" + journal.tag + L"\nrecord=" +
                        (journal.newRecord ? L"new" : L"kept") + L"\nlast=" + (journal.last ? L"1" : L"0") +
                        L"\nmade=" + FlagText(journal.made) + L"\nplacing=";
    for (const std::wstring& name : journal.placing)
        text += name + L"|";
    platform::ScopedKey key = JournalKey(setting, true);
    LSTATUS status = RegSetValueExW(key.Get(), setting.record.c_str(), 0, REG_SZ,
                                    reinterpret_cast<const BYTE*>(text.c_str()),
                                    static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    if (status != ERROR_SUCCESS)
        throw Failure(status, L"Could not write the setup's journal: " + platform::SystemErrorText(status));
    // It must outlast a power cut, as the files it speaks of do.
    RegFlushKey(key.Get());
}

Journal ReadJournal(const Setting& setting) {
    Journal journal;
    platform::ScopedKey key = JournalKey(setting, false);
    DWORD type = 0, size = 0;
    if (!key || RegQueryValueExW(key.Get(), setting.record.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return journal;
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key.Get(), setting.record.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(text.data()),
                         &size) != ERROR_SUCCESS)
        return journal;
    text.resize(wcslen(text.c_str()));
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = std::min(text.find(L'\n', start), text.size());
        std::wstring line = text.substr(start, end - start);
        start = end + 1;
        std::size_t equals = line.find(L'=');
        if (equals == std::wstring::npos)
            continue;
        std::wstring name = line.substr(0, equals), value = line.substr(equals + 1);
        if (name == L"run")
            journal.run = value;
        else if (name == L"tag")
            journal.tag = value;
        else if (name == L"record")
            journal.newRecord = value == L"new";
        else if (name == L"last")
            journal.last = value == L"1";
        else if (name == L"made")
            journal.made = FlagsOf(value);
        else if (name == L"placing")
            for (std::size_t at = 0, bar; (bar = value.find(L'|', at)) != std::wstring::npos; at = bar + 1)
                journal.placing.push_back(value.substr(at, bar - at));
    }
    return journal;
}

void ClearJournal(const Setting& setting) {
    platform::ScopedKey key = JournalKey(setting, false);
    if (!key)
        return;
    RegDeleteValueW(key.Get(), setting.record.c_str());
    DWORD values = 0, subkeys = 0;
    if (RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                         nullptr, nullptr) == ERROR_SUCCESS &&
        values == 0 && subkeys == 0) {
        key.Reset();
        RegDeleteKeyExW(setting.journalRoot, setting.journalKey.c_str(), KEY_WOW64_64KEY, 0);
    }
}

// A record that counts: "installed for <SID>.ini", or the MSI's.
bool IsRecordName(const std::wstring& name) {
    const std::size_t prefix = wcslen(kRecordPrefix), suffix = wcslen(kRecordSuffix);
    if (name.size() <= prefix + suffix || !Same(name.substr(0, prefix), kRecordPrefix) ||
        !Same(name.substr(name.size() - suffix), kRecordSuffix))
        return false;
    std::wstring who = name.substr(prefix, name.size() - prefix - suffix);
    if (Same(name, kMachineRecord))
        return true;
    return who.size() > 4 && (who[0] == L'S' || who[0] == L's') && who.substr(1, 3) == L"-1-" &&
           who.find_first_not_of(L"0123456789-", 4) == std::wstring::npos;
}

// The folders a record says an install made.
Flags RecordFlags(HANDLE folder, const std::wstring& name) {
    Flags flags{};
    ScopedFile file;
    if (!OpenFile(folder, name, GENERIC_READ, FILE_SHARE_READ, file))
        return flags;
    std::string bytes(kLargestRecord, '\0');
    DWORD read = 0;
    if (!ReadFile(file.Get(), bytes.data(), kLargestRecord, &read, nullptr))
        return flags;
    bytes.resize(read);
    // An earlier setup's record may be UTF-16.
    std::erase(bytes, '\0');
    std::size_t section = bytes.find("[folders]");
    if (section == std::string::npos)
        return flags;
    std::size_t end = bytes.find('[', section + 1);
    std::string folders = bytes.substr(section, end == std::string::npos ? std::string::npos : end - section);
    for (std::size_t n = 0; n < flags.size(); ++n) {
        std::string key(kFolderKeys[n], kFolderKeys[n] + wcslen(kFolderKeys[n]));
        flags[n] = folders.find("\n" + key + "=1") != std::string::npos;
    }
    return flags;
}

struct Records {
    bool own = false;     // this install's, or its name-keyed one
    bool others = false;  // any other install's
    Flags made{};         // the folders any of them says an install made
    Flags ownMade{};
};

Records ReadRecords(HANDLE folder, const Setting& setting) {
    Records records;
    for (const Entry& entry : List(folder, nullptr)) {
        const bool legacy = !setting.legacyRecord.empty() && Same(entry.name, setting.legacyRecord);
        if ((entry.attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ||
            !(legacy || IsRecordName(entry.name)))
            continue;
        Flags flags = RecordFlags(folder, entry.name);
        const bool own = legacy || Same(entry.name, setting.record);
        (own ? records.own : records.others) = true;
        for (std::size_t n = 0; n < flags.size(); ++n) {
            records.made[n] = records.made[n] || flags[n];
            if (own)
                records.ownMade[n] = records.ownMade[n] || flags[n];
        }
    }
    return records;
}

// Writes a new file under a fresh name and renames it into the folder as
// `name`: `data` fills it, and no existing file is opened for writing.
// Returns false when a file of that name appeared meanwhile (and `replace`
// is false).
bool WriteNew(HANDLE folder, const std::wstring& name, const std::wstring& tag, bool replace, const std::wstring& shown,
              const std::function<void(HANDLE)>& data) {
    ScopedFile file;
    const std::wstring temporary = name + L"." + tag + L".new";
    NTSTATUS status = OpenRelative(folder, temporary, GENERIC_WRITE | DELETE, 0, FILE_CREATE, FILE_NON_DIRECTORY_FILE, file);
    if (!NT_SUCCESS(status))
        ThrowStatus(status, shown);
    try {
        data(file.Get());
        if (!FlushFileBuffers(file.Get()))
            platform::ThrowLastError(L"Could not write " + shown);
        Step();
        status = Rename(file.Get(), folder, name, replace);
        if (status == kNameCollision && !replace) {
            Dispose(file.Get());
            return false;
        }
        if (!NT_SUCCESS(status))
            ThrowStatus(status, shown);
    } catch (const Cut&) {
        throw;
    } catch (...) {
        Dispose(file.Get());
        throw;
    }
    return true;
}

void WriteAll(HANDLE file, const void* data, DWORD size, const std::wstring& shown) {
    DWORD written = 0;
    if (!WriteFile(file, data, size, &written, nullptr) || written != size)
        platform::ThrowLastError(L"Could not write " + shown);
}

void WriteRecord(HANDLE folder, const Setting& setting, const Flags& made, const std::wstring& tag,
                 const std::wstring& shown) {
    std::string text = "[install]\r\nversion=";
    for (wchar_t c : setting.version)
        text += static_cast<char>(c);
    text += "\r\n[folders]\r\n";
    for (std::size_t n = 0; n < made.size(); ++n) {
        for (const wchar_t* c = kFolderKeys[n]; *c; ++c)
            text += static_cast<char>(*c);
        text += made[n] ? "=1\r\n" : "=\r\n";
    }
    WriteNew(folder, setting.record, tag, true, shown,
             [&](HANDLE file) { WriteAll(file, text.data(), static_cast<DWORD>(text.size()), shown); });
}

// Copies the wallpaper from the installer's own folder, checking that what
// it wrote is the build's picture.
void CopyWallpaper(HANDLE target, const std::wstring& source, const Wallpaper& wallpaper, const std::wstring& shown) {
    ScopedFile from(CreateFileW(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!from)
        platform::ThrowLastError(L"Could not read " + source);
    Sha256 sha;
    std::vector<unsigned char> chunk(kChunk);
    std::uint64_t total = 0;
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(from.Get(), chunk.data(), kChunk, &read, nullptr))
            platform::ThrowLastError(L"Could not read " + source);
        if (read == 0)
            break;
        sha.Add(chunk.data(), read);
        WriteAll(target, chunk.data(), read, shown);
        total += read;
    }
    if (total != wallpaper.size || sha.Digest() != wallpaper.sha256)
        throw Failure(ERROR_FILE_CORRUPT, L"Could not write " + shown + L": the setup's copy of it is damaged.");
}

std::wstring NewTag() {
    wchar_t tag[40];
    wsprintfW(tag, L"%lx%llx", GetCurrentProcessId(), static_cast<unsigned long long>(GetTickCount64()));
    return tag;
}

std::wstring Within(const Setting& setting, const std::wstring& name) { return FolderPath(setting) + L"\\" + name; }

std::wstring KeptLine(const Setting& setting, const std::wstring& name) {
    return L"Kept " + Within(setting, name) + L": a file of that name that Tumblewick's setup did not place";
}

// The second half of a removal, also where a cut one resumes: the wallpapers
// (with the last record), the record, then the folders.
void FinishRemoval(const Setting& setting, std::span<const Wallpaper> wallpapers, Path& path, const Journal& journal,
                   Report& report) {
    const bool last = journal.last && !ReadRecords(path.Wallpapers(), setting).others;
    if (last)
        for (const Wallpaper& wallpaper : wallpapers) {
            ScopedFile file;
            State state = StateOf(path.Wallpapers(), wallpaper, &file);
            if (state == State::Own && Dispose(file.Get())) {
                file.Reset();
                Step();
            } else if (state != State::Missing) {
                report.lines.push_back(L"Kept " + Within(setting, wallpaper.name) + L": not as setup placed it");
            }
        }
    DeleteIfPlain(path.Wallpapers(), setting.record);
    if (!setting.legacyRecord.empty())
        DeleteIfPlain(path.Wallpapers(), setting.legacyRecord);
    Step();
    if (last)
        RemoveFolders(path, journal.made);
}

// The fixed path, without its install.
Setting FixedSetting(const std::wstring& version) {
    Setting setting;
    setting.base = L"c:\\";
    setting.folders = {L"share", L"Tumblewick", L"backgrounds", L"character backgrounds"};
    setting.version = version;
    setting.journalKey = L"Software\\Tumblewick setup";
    return setting;
}

}  // namespace

PathRefused::PathRefused(std::wstring folder)
    : Failure(ERROR_CANT_ACCESS_FILE,
              L"\"" + folder + L"\" is a link or a file, not a plain folder; Tumblewick's setup writes no wallpaper "
                               L"through it. Remove it, then run setup again."),
      folder_(std::move(folder)) {}

std::wstring FolderPath(const Setting& setting) {
    std::wstring path = setting.base;
    for (const std::wstring& folder : setting.folders)
        path += (path.back() == L'\\' ? L"" : L"\\") + folder;
    return path;
}

Setting UserSetting(const std::wstring& version) {
    Setting setting = FixedSetting(version);
    platform::ScopedHandle token;
    HANDLE opened = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened))
        platform::ThrowLastError(L"The account's token");
    token.Reset(opened);
    std::vector<LONGLONG> user(64);
    DWORD size = 0;
    wchar_t* sid = nullptr;
    if (!GetTokenInformation(token.Get(), TokenUser, user.data(), static_cast<DWORD>(user.size() * sizeof(LONGLONG)), &size) ||
        !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &sid))
        platform::ThrowLastError(L"The account's SID");
    setting.record = kRecordPrefix + std::wstring(sid) + kRecordSuffix;
    LocalFree(sid);
    wchar_t name[UNLEN + 1] = L"";
    DWORD length = UNLEN + 1;
    if (GetUserNameW(name, &length) && name[0] != L'\0')
        setting.legacyRecord = kRecordPrefix + std::wstring(name) + kRecordSuffix;
    setting.journalRoot = HKEY_CURRENT_USER;
    return setting;
}

Setting MachineSetting(const std::wstring& version) {
    Setting setting = FixedSetting(version);
    setting.record = kMachineRecord;
    setting.journalRoot = HKEY_LOCAL_MACHINE;
    return setting;
}

Report Plan(const Setting& setting, std::span<const Wallpaper> wallpapers) {
    Path path = OpenPath(setting, {}, false);
    Report report;
    for (const Wallpaper& wallpaper : wallpapers) {
        State state = path.Whole() ? StateOf(path.Wallpapers(), wallpaper, nullptr) : State::Missing;
        if (state == State::Missing) {
            report.bytes += wallpaper.size;
        } else if (state == State::Other) {
            report.kept.push_back(wallpaper.name);
            report.lines.push_back(KeptLine(setting, wallpaper.name));
        }
    }
    return report;
}

Report Place(const Setting& setting, std::span<const Wallpaper> wallpapers, const std::wstring& source) {
    Undo(setting, wallpapers);
    Journal journal;
    journal.run = L"install";
    journal.tag = NewTag();
    WriteJournal(setting, journal);
    Step();
    Path path = OpenPath(setting, [&](int level) {
        journal.made[level] = true;
        WriteJournal(setting, journal);
    }, false);
    HANDLE folder = path.Wallpapers();
    Records records = ReadRecords(folder, setting);
    Report report;
    for (const Wallpaper& wallpaper : wallpapers) {
        State state = StateOf(folder, wallpaper, nullptr);
        if (state == State::Missing) {
            journal.placing.push_back(wallpaper.name);
            report.bytes += wallpaper.size;
        } else if (state == State::Other) {
            report.kept.push_back(wallpaper.name);
        }
    }
    journal.newRecord = !records.own;
    WriteJournal(setting, journal);
    Step();

    // The record says which folders an install made before a wallpaper is
    // placed: this run's and any earlier install's.
    Flags made = records.made;
    for (std::size_t n = 0; n < made.size(); ++n)
        made[n] = made[n] || journal.made[n];
    const std::wstring shownRecord = Within(setting, setting.record);
    WriteRecord(folder, setting, made, journal.tag, shownRecord);
    Step();
    for (const std::wstring& name : journal.placing) {
        const Wallpaper& wallpaper = *std::find_if(wallpapers.begin(), wallpapers.end(),
                                                   [&](const Wallpaper& w) { return name == w.name; });
        const std::wstring shown = Within(setting, name);
        if (!WriteNew(folder, name, journal.tag, false, shown,
                      [&](HANDLE file) { CopyWallpaper(file, source + L"\\" + name, wallpaper, shown); })) {
            report.kept.push_back(name);
            report.lines.push_back(KeptLine(setting, name));
        }
        Step();
    }
    if (!setting.legacyRecord.empty() && !Same(setting.legacyRecord, setting.record)) {
        DeleteIfPlain(folder, setting.legacyRecord);
        Step();
    }
    return report;
}

void Finish(const Setting& setting) { ClearJournal(setting); }

void Undo(const Setting& setting, std::span<const Wallpaper> wallpapers) {
    Journal journal = ReadJournal(setting);
    if (journal.run.empty())
        return;
    try {
        Path path = OpenPath(setting, {}, true);
        if (journal.run == L"remove" && path.Whole()) {
            Report ignored;
            FinishRemoval(setting, wallpapers, path, journal, ignored);
        } else if (journal.run == L"remove") {
            // Cut among the folders: the rest of them.
            if (journal.last)
                RemoveFolders(path, journal.made);
        } else if (path.Whole()) {
            HANDLE folder = path.Wallpapers();
            for (const Wallpaper& wallpaper : wallpapers)
                DeleteIfPlain(folder, std::wstring(wallpaper.name) + L"." + journal.tag + L".new");
            DeleteIfPlain(folder, setting.record + L"." + journal.tag + L".new");
            for (const std::wstring& name : journal.placing)
                for (const Wallpaper& wallpaper : wallpapers) {
                    ScopedFile file;
                    if (name == wallpaper.name && StateOf(folder, wallpaper, &file) == State::Own)
                        Dispose(file.Get());
                }
            if (journal.newRecord)
                DeleteIfPlain(folder, setting.record);
            Step();
            RemoveFolders(path, journal.made);
        } else {
            RemoveFolders(path, journal.made);
        }
    } catch (const PathRefused&) {
        // Nothing is undone through a link; what the run left stays.
    }
    ClearJournal(setting);
}

Report Remove(const Setting& setting, std::span<const Wallpaper> wallpapers) {
    Undo(setting, wallpapers);
    Report report;
    Path path;
    try {
        path = OpenPath(setting, {}, true);
    } catch (const PathRefused& refused) {
        report.lines.push_back(L"Left the wallpapers alone: \"" + refused.Folder() +
                               L"\" is a link or a file, not a plain folder.");
        return report;
    }
    if (!path.Whole())
        return report;
    Records records = ReadRecords(path.Wallpapers(), setting);
    if (!records.own)
        return report;
    Journal journal;
    journal.run = L"remove";
    journal.last = !records.others;
    journal.made = records.ownMade;
    WriteJournal(setting, journal);
    Step();
    FinishRemoval(setting, wallpapers, path, journal, report);
    ClearJournal(setting);
    return report;
}

void OnEachStep(std::function<void()> hook) { g_onStep = std::move(hook); }

}  // namespace wallpaper_rule
