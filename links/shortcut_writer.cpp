#include "links/shortcut_writer.h"

#include <windows.h>

#include <optional>

#include "platform/failure.h"
#include "platform/file_write.h"
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

// The shortcut being written under its file number: a durable write that
// only takes the target's place once it is complete. Until then, and on any
// failure, the target stays as it was.
class ShortcutFile {
public:
    ShortcutFile() : number_(++g_openFiles) {}
    ~ShortcutFile() { --g_openFiles; }
    ShortcutFile(const ShortcutFile&) = delete;
    ShortcutFile& operator=(const ShortcutFile&) = delete;

    std::int32_t Number() const { return number_; }

    void Open(const std::wstring& target) { file_.emplace(target); }

    void WriteLine(std::string_view text) {
        file_->Write(text);
        file_->Write("\r\n");
    }

    void Commit() { file_->Commit(); }

private:
    std::optional<platform::FileWrite> file_;
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
