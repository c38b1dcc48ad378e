// minimal_window: the least a window program does (one class, one window shown, a message
// loop), built like rudi.exe (static run time, window subsystem, wWinMain). The baseline for
// start-up, memory, idle wake-ups and size. WM_CLOSE (or Esc) ends it.
//
// Built a second time as ticking_window (BENCH_TICKING_WINDOW): the same window with a label
// counting down once a second from a 1000 ms timer, the least a once-a-second countdown costs.
// That is the baseline for rudi's idle wake-ups: the plain window does not wake at all while
// idle. The countdown is compiled out of minimal_window, so that its size stays the least.
#include <windows.h>

namespace {

constexpr wchar_t className[] = L"rudi.bench.MinimalWindow";
#ifndef BENCH_TICKING_WINDOW
constexpr int windowLeft = 0;
#else
// At the top right: when both run at once, neither this window nor rudi's centred main window
// covers the other, so that no label update repaints another program's window.
constexpr int windowLeft = 704;
constexpr UINT_PTR tickTimer = 1;
constexpr int labelId = 100;
int secondsLeft = 2700;

// "到下次提醒还有N秒。", put together by hand: no formatting code in the baseline's size.
void showCountdown(HWND hwnd) {
    wchar_t caption[64] = L"到下次提醒还有";
    wchar_t digits[12];
    int n = 0;
    for (int v = secondsLeft; n == 0 || v > 0; v /= 10) {
        digits[n++] = static_cast<wchar_t>(L'0' + v % 10);
    }
    int at = lstrlenW(caption);
    while (n > 0) {
        caption[at++] = digits[--n];
    }
    caption[at] = L'\0';
    lstrcatW(caption, L"秒。");
    SetDlgItemTextW(hwnd, labelId, caption);
}
#endif

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
#ifdef BENCH_TICKING_WINDOW
    case WM_TIMER:
        if (wParam == tickTimer) {
            secondsLeft = secondsLeft > 1 ? secondsLeft - 1 : 2700;
            showCountdown(hwnd);
        }
        return 0;
#endif
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE) {
            PostMessageW(hwnd, WM_CLOSE, 0, 0);
        }
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = windowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)); // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = className;
    if (RegisterClassExW(&wc) == 0) {
        return 1;
    }
    // At the top, clear of rudi's centred main window (380 x 294 on a 1024 x 768 screen).
    HWND hwnd = CreateWindowExW(0, className, L"minimal_window", WS_OVERLAPPEDWINDOW, windowLeft, 0,
                                320, 200, nullptr, nullptr, instance, nullptr);
    if (hwnd == nullptr) {
        return 1;
    }
#ifdef BENCH_TICKING_WINDOW
    CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 20, 20, 200, 24, hwnd,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(labelId)), instance, nullptr);
    showCountdown(hwnd);
    SetTimer(hwnd, tickTimer, 1000, nullptr);
#endif
    ShowWindow(hwnd, SW_SHOW);
    UpdateWindow(hwnd);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
