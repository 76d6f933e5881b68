// A failure travels as an exception carrying an error number and a text.
// Numbers are Win32 error codes (or HRESULTs) wherever Windows gave one.
#pragma once

#include <stdexcept>
#include <string>

namespace platform {

class Failure : public std::exception {
public:
    Failure(long number, std::wstring description)
        : number_(number), description_(std::move(description)) {}

    long Number() const noexcept { return number_; }
    const std::wstring& Description() const noexcept { return description_; }
    const char* what() const noexcept override { return "Tumblewick failure"; }

private:
    long number_;
    std::wstring description_;
};

// The system's own text for a Win32 error or HRESULT, without the trailing
// line break; "Error N" when the system has none.
std::wstring SystemErrorText(long number);

// Throws a Failure for the calling thread's last Win32 error, with `what`
// (for instance the file concerned) put before the system's text.
[[noreturn]] void ThrowLastError(const std::wstring& what);

}  // namespace platform
