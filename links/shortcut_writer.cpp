#include "links/shortcut_writer.h"

#include <windows.h>

#include "platform/failure.h"
#include "platform/mouse_pointer.h"
#include "platform/text.h"
#include "ui/form.h"

namespace links {

namespace {

std::string_view TrimSpaces(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

// Output files are opened one at a time, so the numbers 1..g_openFiles are
// taken and the first free one is the next.
std::int32_t g_openFiles = 0;

// The shortcut being written: a temporary file beside the target that only
// takes the target's place once it is complete. Until then, and on any
// failure, the target stays as it was and the temporary file goes away.
class ShortcutFile {
public:
    ShortcutFile() : number_(++g_openFiles) {}
    ~ShortcutFile() {
        Close();
        if (!temporary_.empty())
            DeleteFileW(temporary_.c_str());
        --g_openFiles;
    }
    ShortcutFile(const ShortcutFile&) = delete;
    ShortcutFile& operator=(const ShortcutFile&) = delete;

    std::int32_t Number() const { return number_; }

    void Open(const std::wstring& target) {
        target_ = target;
        // Windows refuses to replace a read-only file; Wine would replace it.
        DWORD attributes = GetFileAttributesW(target_.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0)
            throw platform::Failure(ERROR_ACCESS_DENIED, platform::SystemErrorText(ERROR_ACCESS_DENIED));
        temporary_ = target_ + L"." + std::to_wstring(GetCurrentProcessId()) + L".tmp";
        handle_ = CreateFileW(temporary_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle_ == INVALID_HANDLE_VALUE) {
            temporary_.clear();  // not ours: it could not be made
            platform::ThrowLastError(L"");
        }
    }

    void WriteLine(std::string_view text) {
        Write(text);
        Write("\r\n");
    }

    // Flushes and closes the file, then puts it in the target's place.
    void Commit() {
        if (!FlushFileBuffers(handle_))
            platform::ThrowLastError(L"");
        HANDLE handle = handle_;
        handle_ = INVALID_HANDLE_VALUE;
        if (!CloseHandle(handle))
            platform::ThrowLastError(L"");
        if (!MoveFileExW(temporary_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            platform::ThrowLastError(L"");
        temporary_.clear();
    }

private:
    void Write(std::string_view bytes) {
        DWORD written = 0;
        if (!WriteFile(handle_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
            platform::ThrowLastError(L"");
        if (written != bytes.size())
            throw platform::Failure(ERROR_DISK_FULL, platform::SystemErrorText(ERROR_DISK_FULL));
    }

    void Close() {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

    std::wstring target_;
    std::wstring temporary_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    std::int32_t number_;
};

// Shows the busy pointer over all of the program's windows for its lifetime.
class BusyPointer {
public:
    BusyPointer() { platform::SetMousePointer(platform::MousePointer::Busy); }
    ~BusyPointer() { platform::SetMousePointer(platform::MousePointer::Default); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;
};

// Releases the window's shell object when the click ends, however it ends.
class ShellObjectRelease {
public:
    explicit ShellObjectRelease(ShortcutState& state) : state_(state) {}
    ~ShellObjectRelease() { state_.ShellObject.reset(); }
    ShellObjectRelease(const ShellObjectRelease&) = delete;
    ShellObjectRelease& operator=(const ShellObjectRelease&) = delete;

private:
    ShortcutState& state_;
};

// Win32 errors read best in decimal, HRESULTs (negative) in hex.
std::wstring ErrorNumberText(long number) {
    if (number >= 0)
        return std::to_wstring(number);
    wchar_t text[16];
    wsprintfW(text, L"0x%08lX", static_cast<unsigned long>(number));
    return text;
}

void ReportFailure(const std::wstring& fileName, const platform::Failure& failure) {
    std::wstring text = L"The shortcut\r\n" + fileName + L"\r\ncould not be written.\r\n\r\nError " +
                        ErrorNumberText(failure.Number()) + L": " + failure.Description();
    MessageBoxW(GetActiveWindow(), text.c_str(), ui::ProgramTitle().c_str(), MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace

void WriteInternetShortcut(ShortcutState& state, std::wstring_view folderKey, std::string_view linkTitle,
                           std::string_view linkTarget) {
    state.LinkTitle = std::string(linkTitle);
    state.LinkTarget = std::string(linkTarget);
    const std::wstring name = platform::FromAnsi(TrimSpaces(state.LinkTitle)) + L".url";
    // What the message names if the click fails before the full name is known.
    std::wstring fileName = name;
    try {
        BusyPointer busy;
        ShellObjectRelease release(state);
        if (!state.ShellObject)
            state.ShellObject = platform::ShellObject::Create();
        state.FolderPath = state.ShellObject->SpecialFolder(folderKey);
        if (state.FolderPath.empty())
            throw platform::Failure(ERROR_PATH_NOT_FOUND,
                                    L"The " + std::wstring(folderKey) + L" folder is not available.");

        ShortcutFile file;
        state.FileNumber = file.Number();
        fileName = state.FolderPath + L"\\" + name;
        file.Open(fileName);
        file.WriteLine("[InternetShortcut]");
        file.WriteLine("URL=" + std::string(TrimSpaces(state.LinkTarget)));
        file.Commit();
    } catch (const platform::Failure& failure) {
        // The file, the shell object and the pointer are back as they were.
        ReportFailure(fileName, failure);
    }
}

}  // namespace links
