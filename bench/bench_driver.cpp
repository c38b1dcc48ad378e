// bench_driver: starts and steers the programs that bench/wine_bench.sh measures under Wine.
//
//   bench_driver startup RUNS RUDI.EXE MINIMAL.EXE
//       Starts the two programs strictly in turn, RUNS times each (after one start of each that
//       is not counted), and prints "startup rudi|minimal SHOWN_MS READY_MS" per start: from
//       CreateProcessW to the main window's visible flag (FindWindowExW on its class and
//       IsWindowVisible, every 5 ms), and to the program's first wait for a message after that
//       (WaitForInputIdle), which comes once the window has been painted. Each program is
//       ended its own way before the next start.
//   bench_driver start EXE        starts EXE in its own folder, waits until its first window is
//                                 visible, prints "pid N" (the Windows process id) and leaves it
//                                 running
//   bench_driver wait PID CLASS SECONDS   waits until PID shows a window of CLASS
//   bench_driver gone PID CLASS SECONDS   waits until PID shows no window of CLASS any more
//   bench_driver close PID CLASS  posts WM_CLOSE to PID's windows of CLASS
//   bench_driver hide PID         clicks rudi's 取消 button, which hides the main window
//   bench_driver end PID          ends the program its own way (rudi: the tray menu's 退出;
//                                 others: WM_CLOSE) and waits for it; terminates it if it
//                                 does not end within 10 s
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr wchar_t rudiMainClass[] = L"rudi.MainWindow";
constexpr wchar_t minimalClass[] = L"rudi.bench.MinimalWindow";
constexpr int rudiExitItem = 2002;   // the tray menu's 退出
constexpr int rudiHideButton = 1021; // 按钮2, 取消: hides the main window

class Handle {
  public:
    explicit Handle(HANDLE h = nullptr) : h_(h) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    Handle(Handle&& other) noexcept : h_(std::exchange(other.h_, nullptr)) {}
    Handle& operator=(Handle&& other) noexcept {
        if (this != &other) {
            close();
            h_ = std::exchange(other.h_, nullptr);
        }
        return *this;
    }
    ~Handle() { close(); }
    HANDLE get() const { return h_; }

  private:
    void close() {
        if (h_ != nullptr && h_ != INVALID_HANDLE_VALUE) {
            CloseHandle(h_);
        }
        h_ = nullptr;
    }
    HANDLE h_;
};

struct Started {
    Handle process;
    DWORD pid = 0;
};

double nowMs() {
    static const LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

struct Search {
    DWORD pid;
    const wchar_t* windowClass; // nullptr: any class
    bool visibleOnly;
    std::vector<HWND> found;
};

BOOL CALLBACK collect(HWND hwnd, LPARAM lParam) {
    auto& s = *reinterpret_cast<Search*>(lParam);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner != s.pid || (s.visibleOnly && !IsWindowVisible(hwnd))) {
        return TRUE;
    }
    if (s.windowClass != nullptr) {
        wchar_t name[256] = {};
        GetClassNameW(hwnd, name, 256);
        if (std::wcscmp(name, s.windowClass) != 0) {
            return TRUE;
        }
    }
    s.found.push_back(hwnd);
    return TRUE;
}

std::vector<HWND> windowsOf(DWORD pid, const wchar_t* windowClass, bool visibleOnly) {
    Search s{pid, windowClass, visibleOnly, {}};
    EnumWindows(collect, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

bool running(HANDLE process) {
    return WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
}

bool startProgram(const std::wstring& exe, Started& started) {
    const std::wstring folder = exe.substr(0, exe.find_last_of(L"\\/"));
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.c_str(), &startup, &info)) {
        std::fprintf(stderr, "bench_driver: cannot start %ls (error %lu)\n", exe.c_str(),
                     GetLastError());
        return false;
    }
    const Handle thread(info.hThread);
    started.process = Handle(info.hProcess);
    started.pid = info.dwProcessId;
    return true;
}

// Waits until the process shows a top-level window; false if it ended or 30 s went by.
bool waitUntilShown(const Started& p) {
    WaitForInputIdle(p.process.get(), 30000);
    const double end = nowMs() + 30000;
    while (windowsOf(p.pid, nullptr, true).empty()) {
        if (!running(p.process.get()) || nowMs() > end) {
            return false;
        }
        Sleep(50);
    }
    return true;
}

// Whether the process has a visible top-level window of the class.
bool showsWindow(DWORD pid, const wchar_t* windowClass) {
    for (HWND w = FindWindowExW(nullptr, nullptr, windowClass, nullptr); w != nullptr;
         w = FindWindowExW(nullptr, w, windowClass, nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == pid && IsWindowVisible(w)) {
            return true;
        }
    }
    return false;
}

bool endProgram(const Started& p) {
    for (HWND w : windowsOf(p.pid, rudiMainClass, false)) {
        PostMessageW(w, WM_COMMAND, MAKEWPARAM(rudiExitItem, 0), 0);
    }
    for (HWND w : windowsOf(p.pid, nullptr, true)) {
        wchar_t name[256] = {};
        GetClassNameW(w, name, 256);
        if (std::wcscmp(name, rudiMainClass) != 0) {
            PostMessageW(w, WM_CLOSE, 0, 0);
        }
    }
    if (WaitForSingleObject(p.process.get(), 10000) == WAIT_OBJECT_0) {
        return true;
    }
    std::fprintf(stderr, "bench_driver: process %lu did not end; terminated\n", p.pid);
    TerminateProcess(p.process.get(), 1);
    WaitForSingleObject(p.process.get(), 5000);
    return false;
}

struct StartTimes {
    double shown = -1; // CreateProcessW to the window's visible flag
    double ready = -1; // CreateProcessW to the first wait for a message after that
};

// One timed start. Nothing signals the moment a window becomes visible, so it is polled for,
// every 5 ms: at 50 ms the step would be most of a start of the baseline (about 60 ms). Fast
// polling made explorer fail in cold sessions only; the session is warm by the first counted
// start. WaitForInputIdle alone comes later than the visible flag (after the first paint:
// about 50 ms later for rudi, 10 ms for the baseline, in trials here), so it is taken as the
// second figure; its event stays set once the program has waited for a message, so asking
// after the poll loses nothing; in those trials the idle times with and without the poll
// running beside the program were about the same (medians within the run-to-run spread).
StartTimes timedStart(const std::wstring& exe, const wchar_t* windowClass) {
    StartTimes t;
    Started p;
    const double start = nowMs();
    if (!startProgram(exe, p)) {
        return t;
    }
    const double end = start + 30000;
    while (!showsWindow(p.pid, windowClass)) {
        if (!running(p.process.get()) || nowMs() > end) {
            std::fprintf(stderr, "bench_driver: %ls showed no %ls window\n", exe.c_str(),
                         windowClass);
            endProgram(p);
            return t;
        }
        Sleep(5);
    }
    t.shown = nowMs() - start;
    if (WaitForInputIdle(p.process.get(), 30000) == 0) {
        t.ready = nowMs() - start;
    }
    endProgram(p);
    return t;
}

int startupRuns(int runs, const std::wstring& rudiExe, const std::wstring& minimalExe) {
    struct Program {
        const char* name;
        std::wstring exe;
        const wchar_t* windowClass;
    };
    const Program programs[] = {{"rudi", rudiExe, rudiMainClass},
                                {"minimal", minimalExe, minimalClass}};
    // Strictly alternating; the first start of each is not counted.
    for (int i = -1; i < runs; ++i) {
        for (const Program& program : programs) {
            const StartTimes t = timedStart(program.exe, program.windowClass);
            if (t.shown < 0 || t.ready < 0) {
                return 1;
            }
            if (i >= 0) {
                std::printf("startup %s %.2f %.2f\n", program.name, t.shown, t.ready);
                std::fflush(stdout);
            }
            Sleep(200); // let the ended program's windows and tray icon go
        }
    }
    return 0;
}

Handle openProcess(DWORD pid) {
    return Handle(OpenProcess(SYNCHRONIZE | PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION,
                              FALSE, pid));
}

// Waits until PID shows (or no longer shows) a visible window of the class.
int waitForWindow(DWORD pid, const wchar_t* windowClass, int seconds, bool shown) {
    const double end = nowMs() + seconds * 1000.0;
    while (windowsOf(pid, windowClass, true).empty() == shown) {
        if (nowMs() > end) {
            std::fprintf(stderr, "bench_driver: process %lu: no change of %ls within %d s\n", pid,
                         windowClass, seconds);
            return 1;
        }
        Sleep(100);
    }
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"startup" && argc == 5) {
        return startupRuns(_wtoi(argv[2]), argv[3], argv[4]);
    }
    if (command == L"start" && argc == 3) {
        Started p;
        if (!startProgram(argv[2], p) || !waitUntilShown(p)) {
            return 1;
        }
        std::printf("pid %lu\n", p.pid);
        return 0;
    }
    const DWORD pid = argc > 2 ? static_cast<DWORD>(_wtoi(argv[2])) : 0;
    if ((command == L"wait" || command == L"gone") && argc == 5) {
        return waitForWindow(pid, argv[3], _wtoi(argv[4]), command == L"wait");
    }
    if (command == L"close" && argc == 4) {
        const auto windows = windowsOf(pid, argv[3], false);
        for (HWND w : windows) {
            PostMessageW(w, WM_CLOSE, 0, 0);
        }
        return windows.empty() ? 1 : 0;
    }
    if (command == L"hide" && argc == 3) {
        const auto windows = windowsOf(pid, rudiMainClass, true);
        HWND button = windows.empty() ? nullptr : GetDlgItem(windows.front(), rudiHideButton);
        if (button == nullptr) {
            std::fprintf(stderr, "bench_driver: process %lu has no visible main window\n", pid);
            return 1;
        }
        SendMessageW(button, BM_CLICK, 0, 0);
        return waitForWindow(pid, rudiMainClass, 5, false);
    }
    if (command == L"end" && argc == 3) {
        Started p;
        p.process = openProcess(pid);
        p.pid = pid;
        if (p.process.get() == nullptr) {
            return 0; // already gone
        }
        return endProgram(p) ? 0 : 1;
    }
    std::fprintf(stderr, "usage: bench_driver startup RUNS RUDI.EXE MINIMAL.EXE | start EXE |\n"
                         "       wait|gone PID CLASS SECONDS | close PID CLASS | hide PID |\n"
                         "       end PID\n");
    return 2;
}
