// The program's message loop, and the edge that no failure crosses: what a
// handler does not trap is shown once, and the program ends.
#include <windows.h>

#include <commctrl.h>

#include <new>
#include <stdexcept>

#include "platform/failure.h"
#include "platform/text.h"
#include "ui/engine.h"
#include "ui/form.h"

namespace ui {

namespace {

bool g_failed = false;

}  // namespace

bool ProgramFailed() { return g_failed; }

void ReportUnhandledFailure(long number, const std::wstring& description) {
    if (g_failed)
        return;
    g_failed = true;
    // Unloading the last form on the way here posted the quit message; while
    // it is pending the box would close at once, so it waits until after.
    MSG quit;
    PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    std::wstring text = L"Error " + std::to_wstring(number) + L":\n\n" + description;
    MessageBoxW(nullptr, text.c_str(), ProgramTitle().c_str(), MB_OK | MB_ICONSTOP | MB_TASKMODAL);
    PostQuitMessage(1);
}

void ReportCurrentException() {
    try {
        throw;
    } catch (const platform::Failure& failure) {
        ReportUnhandledFailure(failure.Number(), failure.Description());
    } catch (const std::bad_alloc&) {
        ReportUnhandledFailure(ERROR_OUTOFMEMORY, platform::SystemErrorText(ERROR_OUTOFMEMORY));
    } catch (const std::exception& other) {
        ReportUnhandledFailure(ERROR_INTERNAL_ERROR, platform::FromAnsi(other.what()));
    } catch (...) {
        ReportUnhandledFailure(ERROR_INTERNAL_ERROR, platform::SystemErrorText(ERROR_INTERNAL_ERROR));
    }
}

void ProcessMessage(MSG& msg) {
    if (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSELAST) {
        Form* form = FormOf(GetAncestor(msg.hwnd, GA_ROOT));
        if (form != nullptr && !form->toolTipsMade_)
            form->MakeToolTips();
        if (form != nullptr && form->toolTip_ != nullptr)
            SendMessageW(form->toolTip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&msg));
    }
    if (msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) {
        if (Form* form = FormOf(GetAncestor(msg.hwnd, GA_ROOT)); form && form->IsLoaded()) {
            bool handled = false;
            try {
                handled = form->PreTranslate(msg);
            } catch (...) {
                ReportCurrentException();
                handled = true;
            }
            if (handled)
                return;
        }
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

int Run() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        ProcessMessage(msg);
    return g_failed ? 1 : static_cast<int>(msg.wParam);
}

int RunProgram(const std::function<void()>& start) {
    g_failed = false;
    try {
        start();
    } catch (...) {
        ReportCurrentException();
    }
    return Run();
}

}  // namespace ui
