// tick_watch: how the one-second tick follows the wall clock.
//
//   tick_watch rudi SECONDS   reads rudi's countdown label every 50 ms for SECONDS seconds
//   tick_watch plain SECONDS  counts down with a plain repeating 1000 ms timer, the baseline
//
// For each wall-clock second it takes the last count seen in that second and compares it with
// the last count of the second before: one decrement is right, none is a skipped second, two or
// more a doubled one. It prints the totals as "key value" lines.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <map>
#include <string>

namespace {

// The wall clock in 100-nanosecond units.
long long wallTicks() {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    ULARGE_INTEGER t{{ft.dwLowDateTime, ft.dwHighDateTime}};
    return static_cast<long long>(t.QuadPart);
}

long long wallSecond() {
    return wallTicks() / 10000000LL;
}

// The digits of "到下次提醒还有N秒。", or nothing.
bool countOf(const std::wstring& caption, long long& count) {
    const std::size_t start = caption.find_first_of(L"-0123456789");
    if (start == std::wstring::npos) {
        return false;
    }
    count = std::wcstoll(caption.c_str() + start, nullptr, 10);
    return true;
}

int report(const std::map<long long, long long>& lastCountOfSecond) {
    int right = 0, skipped = 0, doubled = 0, seconds = 0;
    auto previous = lastCountOfSecond.begin();
    for (auto it = std::next(previous); it != lastCountOfSecond.end(); previous = it++) {
        if (it->first != previous->first + 1) {
            continue; // a second the watcher itself did not see
        }
        ++seconds;
        const long long steps = previous->second - it->second;
        right += steps == 1 ? 1 : 0;
        skipped += steps == 0 ? 1 : 0;
        doubled += steps >= 2 ? 1 : 0;
    }
    std::printf("seconds %d\nright %d\nskipped %d\ndoubled %d\n", seconds, right, skipped, doubled);
    return 0;
}

int watchRudi(int seconds) {
    HWND main = nullptr;
    for (int i = 0; i < 400 && main == nullptr; ++i) {
        main = FindWindowW(L"rudi.MainWindow", nullptr);
        Sleep(50);
    }
    HWND label = main != nullptr ? GetDlgItem(main, 1007) : nullptr;
    if (label == nullptr) {
        std::fprintf(stderr, "tick_watch: no rudi main window\n");
        return 1;
    }
    std::map<long long, long long> last;
    const long long end = wallSecond() + seconds;
    while (wallSecond() < end) {
        wchar_t text[128] = {};
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(label, WM_GETTEXT, 128, reinterpret_cast<LPARAM>(text), SMTO_BLOCK,
                            1000, &ignored);
        long long count = 0;
        if (countOf(text, count)) {
            last[wallSecond()] = count;
        }
        Sleep(50);
    }
    return report(last);
}

std::map<long long, long long>* plainCounts = nullptr;
long long plainCount = 1000000;
long long firstTick = 0, lastTick = 0, tickCount = 0;

void CALLBACK plainTick(HWND, UINT, UINT_PTR, DWORD) {
    (*plainCounts)[wallSecond()] = --plainCount;
    lastTick = wallTicks();
    firstTick = firstTick == 0 ? lastTick : firstTick;
    ++tickCount;
}

int watchPlainTimer(int seconds) {
    std::map<long long, long long> last;
    plainCounts = &last;
    SetTimer(nullptr, 0, 1000, plainTick);
    const long long end = wallSecond() + seconds;
    MSG msg;
    while (wallSecond() < end && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        DispatchMessageW(&msg);
    }
    // How far the timer slipped against the wall clock: its mean period beyond 1000 ms, and
    // the whole slip over the run.
    if (tickCount > 1) {
        const double period = (lastTick - firstTick) / 1e4 / static_cast<double>(tickCount - 1);
        std::printf("period_ms %.3f\nslip_ms %.1f\n", period, (period - 1000.0) * (tickCount - 1));
    }
    return report(last);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: tick_watch rudi|plain SECONDS\n");
        return 2;
    }
    const int seconds = _wtoi(argv[2]);
    return std::wstring(argv[1]) == L"plain" ? watchPlainTimer(seconds) : watchRudi(seconds);
}
