#include "platform/file_write.h"

#include <ntsecapi.h>
#include <winternl.h>

#include <algorithm>
#include <utility>

#include "platform/failure.h"
#include "platform/scoped_handle.h"
#include "platform/system_library.h"

namespace platform {

namespace {

std::function<std::uint64_t()> g_nameHook;

// Names are drawn again when one is taken already; a clash of 64 random
// bits is next to impossible, so running out means someone plants them.
constexpr int kNameAttempts = 16;
// Scanners, the search indexer and sync clients open a new or replaced file
// for a moment, and another copy of the program may put its file there or
// take the old one away between a look and a move: the place is tried again,
// the pause doubling from the first, for about this long in all.
constexpr DWORD kFirstPause = 10;
constexpr ULONGLONG kPlacingPatience = 1000;

// Attributes of a replaced file that its replacement takes over.
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

[[noreturn]] void Throw(DWORD error) {
    throw Failure(static_cast<long>(error), SystemErrorText(static_cast<long>(error)));
}

// The path made full and put in the "\\?\" form, in which Windows takes paths
// past MAX_PATH without the long-path setting; that form is passed on
// unparsed, so "..", "." and "/" are resolved first.
std::wstring ExtendedPath(const std::wstring& path) {
    if (path.starts_with(L"\\\\?\\"))
        return path;
    DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        ThrowLastError(L"");
    std::wstring full(size, L'\0');
    DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size)
        ThrowLastError(L"");
    full.resize(length);
    if (full.starts_with(L"\\\\.\\"))
        return full;
    if (full.starts_with(L"\\\\"))
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

std::wstring RandomPart() {
    std::uint64_t number = 0;
    if (g_nameHook)
        number = g_nameHook();
    else if (!RtlGenRandom(&number, sizeof(number)))
        ThrowLastError(L"");
    static constexpr wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring text(16, L'0');
    for (int i = 15; i >= 0; --i, number >>= 4)
        text[static_cast<std::size_t>(i)] = kDigits[number & 0xF];
    return text;
}

// The file's number on its volume and whether it is a plain file, not a
// link or a folder. Two light queries: GetFileInformationByHandle also asks
// for the volume's serial number, which costs Wine half a millisecond.
bool IdentifyPlainFile(HANDLE handle, LONGLONG& id) {
    using QueryFn = NTSTATUS(NTAPI*)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG, FILE_INFORMATION_CLASS);
    static const auto query = SystemFunction<QueryFn>(L"ntdll.dll", "NtQueryInformationFile");
    constexpr auto kFileInternalInformation = static_cast<FILE_INFORMATION_CLASS>(6);
    IO_STATUS_BLOCK status{};
    LARGE_INTEGER number{};
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!NT_SUCCESS(query(handle, &status, &number, sizeof(number), kFileInternalInformation)) ||
        !GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof(tag)))
        return false;
    id = number.QuadPart;
    return (tag.FileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0;
}

// Opens the name itself: a link found there is not followed to its target.
HANDLE OpenUnfollowed(const std::wstring& path, DWORD access) {
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

// Deletes the file the handle holds, whatever name it has by now.
void DeleteAndClose(HANDLE handle) {
    FILE_DISPOSITION_INFO dispose{TRUE};
    SetFileInformationByHandle(handle, FileDispositionInfo, &dispose, sizeof(dispose));
    CloseHandle(handle);
}

// Copies of the program put files in place one at a time, so that one's
// replace (old file to the backup name, new file to the target) does not run
// between another's two steps.
class PlacingTurn {
public:
    PlacingTurn() {
        HANDLE mutex = Mutex();
        if (mutex == nullptr)
            return;
        // An abandoned turn (a copy ended while placing) is ours just as
        // well; one that never comes is not waited for long, and then it is
        // not ours to give back.
        const DWORD waited = WaitForSingleObject(mutex, 10000);
        if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED)
            held_ = mutex;
    }
    ~PlacingTurn() {
        if (held_ != nullptr)
            ReleaseMutex(held_);
    }
    PlacingTurn(const PlacingTurn&) = delete;
    PlacingTurn& operator=(const PlacingTurn&) = delete;

private:
    // Made once and kept for the life of the program.
    static HANDLE Mutex() {
        static const ScopedHandle mutex(CreateMutexW(nullptr, FALSE, L"Local\\Tumblewick file placing"));
        return mutex.Get();
    }
    HANDLE held_ = nullptr;
};

bool WorthAnotherTry(DWORD error) {
    switch (error) {
    case ERROR_SHARING_VIOLATION:            // held open without the sharing a move needs
    case ERROR_ACCESS_DENIED:                // held open for deleting, or being deleted
    case ERROR_LOCK_VIOLATION:
    case ERROR_UNABLE_TO_REMOVE_REPLACED:    // both files keep their names
    case ERROR_UNABLE_TO_MOVE_REPLACEMENT:   // with a backup name: both keep their names
    case ERROR_UNABLE_TO_MOVE_REPLACEMENT_2: // the old file is under the backup name
    case ERROR_FILE_NOT_FOUND:               // gone between the look and the replace
    case ERROR_ALREADY_EXISTS:               // made between the look and the move
    case ERROR_FILE_EXISTS:
        return true;
    default:
        return false;
    }
}

}  // namespace

FileWrite::FileWrite(const std::wstring& target) : target_(ExtendedPath(target)) {
    DWORD attributes = GetFileAttributesW(target_.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0)
        Throw(ERROR_ACCESS_DENIED);
    Create();
}

FileWrite::~FileWrite() { RemoveTemporary(); }

void FileWrite::Create() {
    DWORD error = ERROR_FILE_EXISTS;
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::wstring name = target_ + L"." + RandomPart();
        // CREATE_NEW never opens what is there already: a file, a folder,
        // or a link to either planted under the name.
        ScopedFile handle(CreateFileW((name + L".tmp").c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES | DELETE, 0,
                                      nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!handle) {
            error = GetLastError();
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
                continue;
            Throw(error);
        }
        LONGLONG id = 0;
        if (!IdentifyPlainFile(handle.Get(), id)) {
            error = GetLastError();
            DeleteAndClose(handle.Release());
            Throw(error != ERROR_SUCCESS ? error : ERROR_INVALID_FUNCTION);
        }
        handle_ = std::move(handle);
        temporary_ = name + L".tmp";
        backup_ = name + L".old";
        id_ = id;
        return;
    }
    Throw(error);
}

void FileWrite::Write(std::string_view bytes) {
    DWORD written = 0;
    if (!WriteFile(handle_.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        ThrowLastError(L"");
    if (written != bytes.size())
        Throw(ERROR_DISK_FULL);
}

void FileWrite::Commit() {
    CarryTargetAttributes();
    if (!FlushFileBuffers(handle_.Get()))
        ThrowLastError(L"");
    if (!CloseHandle(handle_.Release()))
        ThrowLastError(L"");
    PutInPlace();
    placed_ = true;
}

// Wine: its ReplaceFileW gives the result the new file's attributes, not the replaced file's as Windows'.
// So the new file takes the kept ones over before it is put in place.
void FileWrite::CarryTargetAttributes() {
    DWORD attributes = GetFileAttributesW(target_.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & kKeptAttributes) == 0)
        return;
    FILE_BASIC_INFO info{};  // times of 0 stay as they are
    info.FileAttributes = attributes & kKeptAttributes;
    if (!SetFileInformationByHandle(handle_.Get(), FileBasicInfo, &info, sizeof(info)))
        ThrowLastError(L"");
}

void FileWrite::PutInPlace() {
    PlacingTurn turn;
    const ULONGLONG start = GetTickCount64();
    DWORD pause = kFirstPause;
    for (;;) {
        const DWORD error = TryPlace();
        if (error == ERROR_SUCCESS) {
            DropBackup();
            return;
        }
        const ULONGLONG waited = GetTickCount64() - start;
        if (!WorthAnotherTry(error) || waited >= kPlacingPatience) {
            RestoreBackup();
            Throw(error);
        }
        // The target is free now: the new file goes in at once.
        if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)
            continue;
        Sleep(static_cast<DWORD>(std::min<ULONGLONG>(pause, kPlacingPatience - waited)));
        pause *= 2;
    }
}

// One try at putting the new file in place; the error, or ERROR_SUCCESS.
DWORD FileWrite::TryPlace() {
    if (!TemporaryIsOurs())
        Throw(ERROR_FILE_NOT_FOUND);
    DWORD attributes = GetFileAttributesW(target_.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        Throw(ERROR_ACCESS_DENIED);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        // The move never replaces: a target that appeared meanwhile is
        // replaced on the next round, keeping its attributes.
        return MoveFileExW(temporary_.c_str(), target_.c_str(), MOVEFILE_WRITE_THROUGH) ? ERROR_SUCCESS
                                                                                          : GetLastError();
    }
    // Another copy's whole file took the target since the old one went to
    // the backup name: the old bytes are not needed any more.
    DropBackup();
    // The replaced file goes to a backup name of ours rather than one that
    // Windows picks, so that when the new file cannot follow it in (1177)
    // the old one is found again. Security that cannot be carried over (a
    // share without the right to change permissions) does not stop it.
    if (ReplaceFileW(target_.c_str(), temporary_.c_str(), backup_.c_str(), REPLACEFILE_IGNORE_MERGE_ERRORS,
                     nullptr, nullptr)) {
        backupHeld_ = true;
        return ERROR_SUCCESS;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)
        backupHeld_ = true;
    return error;
}

void FileWrite::DropBackup() {
    if (backupHeld_ && DeleteFileW(backup_.c_str()))
        backupHeld_ = false;
}

// The new file could not be put in place after the old one went to the
// backup name: the old one goes back, unless another whole file is there. An
// old file that cannot go back stays under the backup name, not lost.
void FileWrite::RestoreBackup() {
    if (!backupHeld_)
        return;
    if (GetFileAttributesW(target_.c_str()) != INVALID_FILE_ATTRIBUTES)
        DropBackup();
    else if (MoveFileExW(backup_.c_str(), target_.c_str(), MOVEFILE_WRITE_THROUGH))
        backupHeld_ = false;
}

// The handle holds the file this write made, not a link or a folder put
// under its name since.
bool FileWrite::Holds(HANDLE handle) const {
    LONGLONG id = 0;
    return IdentifyPlainFile(handle, id) && id == id_;
}

bool FileWrite::TemporaryIsOurs() const {
    ScopedFile handle(OpenUnfollowed(temporary_, FILE_READ_ATTRIBUTES));
    return handle && Holds(handle.Get());
}

// Deletes through a handle: the open one, or one to the name if that still
// holds our file, so nothing else is ever deleted in its place.
void FileWrite::RemoveTemporary() {
    if (temporary_.empty() || placed_)
        return;
    if (handle_) {
        DeleteAndClose(handle_.Release());
        return;
    }
    ScopedFile handle(OpenUnfollowed(temporary_, DELETE | FILE_READ_ATTRIBUTES));
    if (handle && Holds(handle.Get()))
        DeleteAndClose(handle.Release());
}

void SetTemporaryNameHookForTesting(std::function<std::uint64_t()> hook) { g_nameHook = std::move(hook); }

}  // namespace platform
