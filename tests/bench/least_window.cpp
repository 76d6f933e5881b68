// The least window program: one class, one window the size of the splash
// (7380 x 4245 twips at 96 DPI, with the splash's dialog frame), painted once,
// and a message loop. Built plain, and with TW_BENCH_PRODUCT_IMPORTS also
// carrying the program's manifest and its static imports, so that start-up
// and memory can be set against what Windows itself loads for the program.
#include <windows.h>

#ifdef TW_BENCH_PRODUCT_IMPORTS
#include "tests/bench/product_imports.h"
#endif

namespace {

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT client;
        GetClientRect(hwnd, &client);
        DrawTextW(dc, L"Tumblewick", -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        EndPaint(hwnd, &ps);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"LeastWindow";
    RegisterClassExW(&wc);

    const DWORD style = WS_POPUP | WS_DLGFRAME;
    RECT frame{0, 0, 492, 283};
    AdjustWindowRect(&frame, style, FALSE);
    HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"", style, CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                                frame.bottom - frame.top, nullptr, nullptr, instance, nullptr);
    ShowWindow(hwnd, show);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
#ifdef TW_BENCH_PRODUCT_IMPORTS
    tw_bench::UseProductImports(msg.wParam);
#endif
    return static_cast<int>(msg.wParam);
}
