// A file written whole or not at all. The bytes go to a new temporary file
// beside the target, under a name no one can predict; only when they are all
// on disk does that file take the target's place. Until then, and on any
// failure, the target stays as it was and the temporary file goes away.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/scoped_handle.h"

namespace platform {

class FileWrite {
public:
    // Creates the temporary file for `target`. Throws Failure: with
    // ERROR_ACCESS_DENIED when the target is a folder or read-only (Windows
    // refuses to replace a read-only file), or with the system's error.
    explicit FileWrite(const std::wstring& target);
    // Removes the temporary file unless Commit put it in place.
    ~FileWrite();
    FileWrite(const FileWrite&) = delete;
    FileWrite& operator=(const FileWrite&) = delete;

    // Throws Failure, ERROR_DISK_FULL when not every byte was taken.
    void Write(std::string_view bytes);

    // Flushes and closes the temporary file and puts it in the target's
    // place: an existing target is replaced keeping its attributes, a
    // missing one is made by a move. A file that another program holds open
    // for a moment is waited for, about a second in all. Afterwards the
    // target holds the old bytes or the new ones, and nothing is left under
    // another name. Throws Failure.
    void Commit();

private:
    void Create();
    void CarryTargetAttributes();
    void PutInPlace();
    DWORD TryPlace();
    void DropBackup();
    void RestoreBackup();
    bool Holds(HANDLE handle) const;
    bool TemporaryIsOurs() const;
    void RemoveTemporary();

    // Every path in the "\\?\" form, which Windows takes past MAX_PATH.
    std::wstring target_;
    std::wstring temporary_;
    // Where a replaced file goes until the new one is in place.
    std::wstring backup_;
    bool backupHeld_ = false;
    ScopedFile handle_;
    // The temporary file's number on its volume. Its name lies in the
    // target's folder and is opened without following links, so it is on
    // that folder's volume: the number alone tells our file from another.
    LONGLONG id_ = 0;
    bool placed_ = false;
};

// For tests only: while set, temporary names take their random part from
// this instead of the system's random source, so a test can make them clash
// with files planted beforehand.
void SetTemporaryNameHookForTesting(std::function<std::uint64_t()> hook);

}  // namespace platform
