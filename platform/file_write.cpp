#include "platform/file_write.h"

#include <ntsecapi.h>

#include <utility>

#include "platform/failure.h"
#include "platform/scoped_handle.h"

namespace platform {

namespace {

std::function<std::uint64_t()> g_nameHook;

// Names are drawn again when one is taken already; a clash of 64 random
// bits is next to impossible, so running out means someone plants them.
constexpr int kNameAttempts = 16;
// Another program writing the same target may put its file there, or take
// the old one away, between a look and a move.
constexpr int kPlaceAttempts = 8;

// Attributes of a replaced file that its replacement takes over.
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

[[noreturn]] void Throw(DWORD error) {
    throw Failure(static_cast<long>(error), SystemErrorText(static_cast<long>(error)));
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

// Copies of the program put files in place one at a time. Wine's ReplaceFileW
// moves the old file aside under a name of its own before moving the new one
// in; when another copy took the old file away meanwhile, it fails and leaves
// that name behind.
class PlacingTurn {
public:
    // Made once and kept for the life of the program.
    PlacingTurn() : mutex_(Mutex()) {
        // An abandoned turn (a copy ended while placing) is ours just as well;
        // one that never comes is not waited for long.
        if (mutex_ != nullptr)
            WaitForSingleObject(mutex_, 10000);
    }
    ~PlacingTurn() {
        if (mutex_ != nullptr)
            ReleaseMutex(mutex_);
    }
    PlacingTurn(const PlacingTurn&) = delete;
    PlacingTurn& operator=(const PlacingTurn&) = delete;

private:
    static HANDLE Mutex() {
        static const HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Local\\Tumblewick file placing");
        return mutex;
    }
    HANDLE mutex_;
};

bool TargetChangedMeanwhile(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:               // gone between the look and the replace
    case ERROR_ALREADY_EXISTS:               // made between the look and the move
    case ERROR_FILE_EXISTS:
    case ERROR_UNABLE_TO_MOVE_REPLACEMENT:   // moved aside, then another file took its place
    case ERROR_UNABLE_TO_REMOVE_REPLACED:    // held open for a moment
    case ERROR_SHARING_VIOLATION:
        return true;
    default:
        return false;
    }
}

}  // namespace

FileWrite::FileWrite(std::wstring target) : target_(std::move(target)) {
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
        std::wstring name = target_ + L"." + RandomPart() + L".tmp";
        // CREATE_NEW never opens what is there already: a file, a folder,
        // or a link to either planted under the name.
        HANDLE handle = CreateFileW(name.c_str(), GENERIC_WRITE | FILE_READ_ATTRIBUTES | DELETE, 0, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) {
            error = GetLastError();
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
                continue;
            Throw(error);
        }
        BY_HANDLE_FILE_INFORMATION info{};
        if (!GetFileInformationByHandle(handle, &info)) {
            error = GetLastError();
            DeleteAndClose(handle);
            Throw(error);
        }
        handle_ = handle;
        temporary_ = std::move(name);
        id_ = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
        return;
    }
    Throw(error);
}

void FileWrite::Write(std::string_view bytes) {
    DWORD written = 0;
    if (!WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
        ThrowLastError(L"");
    if (written != bytes.size())
        Throw(ERROR_DISK_FULL);
}

void FileWrite::Commit() {
    CarryTargetAttributes();
    if (!FlushFileBuffers(handle_))
        ThrowLastError(L"");
    HANDLE handle = std::exchange(handle_, INVALID_HANDLE_VALUE);
    if (!CloseHandle(handle))
        ThrowLastError(L"");
    PutInPlace();
    placed_ = true;
}

// Windows' ReplaceFileW keeps the replaced file's attributes by itself;
// Wine's gives the result the new file's, so the new file takes them first.
void FileWrite::CarryTargetAttributes() {
    DWORD attributes = GetFileAttributesW(target_.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & kKeptAttributes) == 0)
        return;
    FILE_BASIC_INFO info{};  // times of 0 stay as they are
    info.FileAttributes = attributes & kKeptAttributes;
    if (!SetFileInformationByHandle(handle_, FileBasicInfo, &info, sizeof(info)))
        ThrowLastError(L"");
}

void FileWrite::PutInPlace() {
    PlacingTurn turn;
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 0; attempt < kPlaceAttempts; ++attempt) {
        if (attempt > 0)
            Sleep(static_cast<DWORD>(attempt));
        if (!TemporaryIsOurs())
            Throw(ERROR_FILE_NOT_FOUND);
        DWORD attributes = GetFileAttributesW(target_.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            Throw(ERROR_ACCESS_DENIED);
        // The move never replaces: a target that appeared meanwhile is
        // replaced on the next round, keeping its attributes.
        BOOL placed = attributes == INVALID_FILE_ATTRIBUTES
                          ? MoveFileExW(temporary_.c_str(), target_.c_str(), MOVEFILE_WRITE_THROUGH)
                          : ReplaceFileW(target_.c_str(), temporary_.c_str(), nullptr, 0, nullptr, nullptr);
        if (placed)
            return;
        error = GetLastError();
        if (!TargetChangedMeanwhile(error))
            break;
    }
    Throw(error);
}

// The handle holds the file this write made, not a link or a folder put
// under its name since.
bool FileWrite::Holds(HANDLE handle) const {
    BY_HANDLE_FILE_INFORMATION info{};
    return GetFileInformationByHandle(handle, &info) &&
           (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) == 0 &&
           FileId{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow} == id_;
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
    if (handle_ != INVALID_HANDLE_VALUE) {
        DeleteAndClose(std::exchange(handle_, INVALID_HANDLE_VALUE));
        return;
    }
    ScopedFile handle(OpenUnfollowed(temporary_, DELETE | FILE_READ_ATTRIBUTES));
    if (handle && Holds(handle.Get()))
        DeleteAndClose(handle.Release());
}

void SetTemporaryNameHookForTesting(std::function<std::uint64_t()> hook) { g_nameHook = std::move(hook); }

}  // namespace platform
