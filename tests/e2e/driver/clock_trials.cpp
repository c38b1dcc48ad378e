// The one-second tick against a wall clock that does not run evenly: rudi's clock set forward
// and back while it runs, and its process stopped for half a minute and continued. After each,
// the ticks must land just after the second boundaries of the clock rudi reads, one per second
// (标签7 counting down by one each time), and an event set a few seconds ahead must show its
// box within its second, once.
//
// The clock is moved for rudi's process only: libfaketime, preloaded into its Linux process,
// adds the offset in a file that it reads on every reading of the clock (the driver rewrites the
// file), and leaves the monotonic clock, by which Wine times the timers, alone. The driver's
// own clock is not moved, so it adds the same offset to its readings. The process is stopped
// and continued with SIGSTOP and SIGCONT, sent by a shell started as a Linux program.
#include "tests/e2e/driver/checks.h"
#include "tests/e2e/driver/events.h"
#include "tests/e2e/driver/input.h"
#include "tests/e2e/driver/inspect.h"
#include "tests/e2e/driver/process_usage.h"
#include "tests/e2e/driver/steps.h"
#include "tests/e2e/driver/text.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <fstream>
#include <system_error>
#include <vector>

namespace e2e {

namespace fs = std::filesystem;

namespace {

// Debian's libfaketime, in the build that guards its state for several threads (Wine's are).
constexpr wchar_t fakeTimeLibrary[] = L"/usr/lib/x86_64-linux-gnu/faketime/libfaketimeMT.so.1";

// A tick later than this into its second has not followed the clock.
constexpr long long lateTickMs = 300;

// How long the process is held stopped.
constexpr DWORD stopMs = 25000;

bool mapsLibrary(unsigned long pid, const std::wstring& library) {
    const std::vector<std::string> files = mappedFiles(pid);
    return std::find(files.begin(), files.end(), utf8(library)) != files.end();
}

// The state letter in /proc/PID/stat ('T' stopped, 'S' sleeping, ...), or '?'.
char processState(unsigned long pid) {
    const std::string stat = procFile(pid, L"stat");
    const std::size_t end = stat.rfind(')');
    return end != std::string::npos && end + 2 < stat.size() ? stat[end + 2] : '?';
}

// Sends a signal to a Linux process with the shell's kill, started as a Linux program (Wine
// runs a file that is no Windows program as one). Wine does not follow the shell, so what it did
// is seen in the target's state.
bool sendSignal(Check& check, unsigned long pid, const std::wstring& signal) {
    const fs::path shell = windowsPath(L"/bin/sh");
    std::wstring commandLine = L"sh -c \"kill -" + signal + L" " + std::to_wstring(pid) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(shell.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info)) {
        check.fail(L"cannot start /bin/sh to send SIG" + signal + L" (error " +
                   std::to_wstring(GetLastError()) + L")");
        return false;
    }
    for (HANDLE h : {info.hProcess, info.hThread}) {
        if (h != nullptr) {
            CloseHandle(h);
        }
    }
    return true;
}

// A window's text as the system keeps it, asked without a message to its program (which may
// be stopped).
std::wstring keptText(HWND window) {
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    return text;
}

std::vector<HWND> eventBoxes(const RudiRun& rudi) {
    std::vector<HWND> boxes;
    for (HWND w : topLevelWindows(rudi.processId(), L"#32770")) {
        if (IsWindowVisible(w) && keptText(w) == L"事件提醒") {
            boxes.push_back(w);
        }
    }
    return boxes;
}

// rudi's clock: the driver's, plus the offset the preloaded library adds for rudi.
class RudiClock {
  public:
    explicit RudiClock(fs::path file) : file_(std::move(file)) {}
    const fs::path& file() const { return file_; }
    long long offsetMs() const { return offsetMs_; }
    long long nowMs() const { return localNowMs() + offsetMs_; }
    // The whole second `seconds` after the current one of rudi's clock began.
    SYSTEMTIME secondsAhead(int seconds) const {
        const long long now = nowMs();
        return timeOfMs(now - now % 1000 + seconds * 1000LL);
    }

    // Moves rudi's clock by deltaMs from where it is: the file gets the whole offset from the
    // real time in seconds ("+3600.450"), replaced in one rename so that no reading sees half
    // of it.
    bool move(Check& check, long long deltaMs) {
        const long long offset = offsetMs_ + deltaMs;
        const long long size = std::llabs(offset);
        char text[48];
        std::snprintf(text, sizeof text, "%c%lld.%03lld\n", offset < 0 ? '-' : '+', size / 1000,
                      size % 1000);
        const fs::path written = file_.wstring() + L".new";
        {
            std::ofstream out(written, std::ios::binary | std::ios::trunc);
            out << text;
            if (!out.flush()) {
                check.fail(L"cannot write " + written.wstring());
                return false;
            }
        }
        if (!MoveFileExW(written.c_str(), file_.c_str(), MOVEFILE_REPLACE_EXISTING)) {
            check.fail(L"cannot replace " + file_.wstring() + L" (error " +
                       std::to_wstring(GetLastError()) + L")");
            return false;
        }
        offsetMs_ = offset;
        return true;
    }

  private:
    fs::path file_;
    long long offsetMs_ = 0;
};

// A change of 标签7: when it was seen on rudi's clock, and the number it shows.
struct Tick {
    long long atMs = 0;
    long long seconds = 0;
};

struct Watched {
    std::vector<Tick> ticks;
    long long boxSeenAtMs = 0; // on rudi's clock; 0 when no event box came
};

// Watches 标签7 for forMs, every millisecond, and the event boxes every 10 ms. A change is
// counted against `since` when given (what 标签7 showed earlier), else against its text now.
Watched watchCountdown(const RudiRun& rudi, long long offsetMs, DWORD forMs,
                       const std::optional<std::wstring>& since = std::nullopt) {
    Watched watched;
    HWND label = rudi.control(ids::countdownLabel);
    std::wstring last = since ? *since : keptText(label);
    const ULONGLONG until = GetTickCount64() + forMs;
    for (int round = 0; GetTickCount64() < until; ++round) {
        const std::wstring now = keptText(label);
        if (now != last) {
            watched.ticks.push_back({localNowMs() + offsetMs, countdownSeconds(now).value_or(-1)});
            last = now;
        }
        if (round % 10 == 0 && watched.boxSeenAtMs == 0 && !eventBoxes(rudi).empty()) {
            watched.boxSeenAtMs = localNowMs() + offsetMs;
        }
        Sleep(1);
    }
    return watched;
}

long long intoSecond(long long ms) {
    return ms % 1000;
}

// "482, 31, 30 ms": where in their seconds the ticks landed.
std::wstring landings(const std::vector<Tick>& ticks) {
    std::wstring shown;
    for (const Tick& t : ticks) {
        shown += (shown.empty() ? L"" : L", ") + std::to_wstring(intoSecond(t.atMs));
    }
    return shown + L" ms";
}

// From ticks[from] on, one tick per second of rudi's clock, each early in its second; every
// tick shows one second less than the one before it (the first one less than `before`, when
// given).
void expectAlignedTicks(Check& check, const std::vector<Tick>& ticks, std::size_t from,
                        std::size_t atLeast, const std::wstring& when,
                        std::optional<long long> before = std::nullopt) {
    if (!check.expect(ticks.size() >= from + atLeast,
                      when + L": 标签7 changed " + std::to_wstring(ticks.size()) +
                          L" times, expected at least " + std::to_wstring(from + atLeast))) {
        return;
    }
    for (std::size_t i = 0; i < ticks.size(); ++i) {
        const std::optional<long long> previous =
            i > 0 ? std::optional<long long>(ticks[i - 1].seconds) : before;
        check.expect(!previous || ticks[i].seconds == *previous - 1,
                     when + L": the countdown went from " +
                         (previous ? std::to_wstring(*previous) : std::wstring()) + L" to " +
                         std::to_wstring(ticks[i].seconds) + L" at " + clockShown(ticks[i].atMs) +
                         L", expected one less");
        if (i < from) {
            continue;
        }
        check.expect(intoSecond(ticks[i].atMs) < lateTickMs,
                     when + L": a tick landed " + std::to_wstring(intoSecond(ticks[i].atMs)) +
                         L" ms into its second (" + clockShown(ticks[i].atMs) +
                         L"), not just after the boundary; ticks at " + landings(ticks));
        if (i > from) {
            const long long gap = ticks[i].atMs / 1000 - ticks[i - 1].atMs / 1000;
            check.expect(gap == 1, when + L": " +
                                       (gap == 0 ? L"two ticks in the second of "
                                                 : L"seconds without a tick before ") +
                                       clockShown(ticks[i].atMs));
        }
    }
}

// Waits until 标签7 changes (a tick), up to 2 s.
bool waitForTick(const RudiRun& rudi) {
    HWND label = rudi.control(ids::countdownLabel);
    const std::wstring before = keptText(label);
    const ULONGLONG until = GetTickCount64() + 2000;
    while (GetTickCount64() < until) {
        if (keptText(label) != before) {
            return true;
        }
        Sleep(1);
    }
    return false;
}

// Sets the event second `when` (on rudi's clock) and its message through the window and 确定;
// false (the check failed) when that did not work.
bool setEvent(Check& check, const RudiRun& rudi, const SYSTEMTIME& when,
              const std::wstring& message) {
    if (!showFromTray(check, rudi)) {
        return false;
    }
    sendTo(rudi.control(ids::eventMessageEdit), WM_SETTEXT, 0,
           reinterpret_cast<LPARAM>(message.c_str()));
    return setEventTime(check, rudi, when) && clickOk(check, rudi);
}

// An event set a few seconds ahead on rudi's clock: its box in its second, one box, and none
// again after it is dismissed. Returns how far into its second the box was seen.
std::optional<long long> expectEventOnce(Check& check, const RudiRun& rudi, const RudiClock& clock,
                                         const std::wstring& when) {
    const std::wstring message = L"事件：" + when;
    const SYSTEMTIME second = clock.secondsAhead(4);
    if (!setEvent(check, rudi, second, message)) {
        return std::nullopt;
    }
    const long long untilMs = msOf(second) + 3000; // on rudi's clock
    HWND box = nullptr;
    long long seenAtMs = 0;
    while (box == nullptr && clock.nowMs() < untilMs && rudi.running()) {
        const std::vector<HWND> boxes = eventBoxes(rudi);
        if (!boxes.empty()) {
            box = boxes.front();
            seenAtMs = clock.nowMs();
        }
        Sleep(5);
    }
    if (box == nullptr) {
        check.fail(when + L": no event box for " + quote(eventTimeText(second)) +
                   L" up to 2 s after its second on rudi's clock" +
                   (rudi.running() ? L"" : L"; rudi has ended"));
        return std::nullopt;
    }
    std::wstring timing;
    check.expect(withinSecond(second, seenAtMs, timing),
                 when + L": the event box came outside its second: " + timing);
    const MessageBoxParts parts = messageBoxParts(box);
    check.expect(parts.text != nullptr && windowText(parts.text) == message,
                 when + L": the event box shows " +
                     quote(parts.text ? windowText(parts.text) : std::wstring()) + L", expected " +
                     quote(message));
    // The ticks of the next second run inside the box's loop; none may open another.
    Sleep(1300);
    const std::size_t open = eventBoxes(rudi).size();
    check.expect(open == 1, when + L": " + std::to_wstring(open) +
                                L" event boxes are open 1.3 s after the first came");
    if (!dismissBox(check, box, L"the event box")) {
        return std::nullopt;
    }
    const ULONGLONG until = GetTickCount64() + 1500;
    while (GetTickCount64() < until && eventBoxes(rudi).empty()) {
        Sleep(10);
    }
    check.expect(eventBoxes(rudi).empty(),
                 when + L": another event box came after the first was dismissed");
    return seenAtMs - msOf(second);
}

// What the preloaded library leaves in /dev/shm of a process that ends (its state, under the
// process id; a later process with that id would fail on it), removed once the process is gone:
// declared before the run, so that the run ends rudi first.
struct FakedClockLeftovers {
    std::optional<unsigned long> pid;
    ~FakedClockLeftovers() {
        if (pid) {
            const std::wstring id = std::to_wstring(*pid);
            DeleteFileW(windowsPath(L"/dev/shm/faketime_shm_" + id).c_str());
            DeleteFileW(windowsPath(L"/dev/shm/sem.faketime_sem_" + id).c_str());
        }
    }
};

} // namespace

void checkClockSetForwardAndBack(Check& check, const Setup& setup) {
    FakedClockLeftovers leftovers;
    RudiRun rudi(check, setup, L"clock-forward-back", Configuration{}); // 25 minutes: no rest
    std::error_code error;
    if (!fs::exists(windowsPath(fakeTimeLibrary), error)) {
        check.abort(std::wstring(fakeTimeLibrary) +
                    L" is missing: the faketime package moves rudi's clock");
    }
    RudiClock clock(rudi.folder() / L"faketime.rc");
    if (!clock.move(check, 0)) {
        return;
    }
    const std::wstring clockFile = linuxPath(clock.file());
    if (clockFile.empty()) {
        check.abort(L"Wine gives no Linux path for " + clock.file().wstring());
    }
    rudi.start({L"LD_PRELOAD=" + std::wstring(fakeTimeLibrary),
                L"FAKETIME_TIMESTAMP_FILE=" + clockFile, L"FAKETIME_NO_CACHE=1",
                L"FAKETIME_DONT_FAKE_MONOTONIC=1"});
    rudi.waitForMainWindow();
    const std::optional<unsigned long> pid = unixProcessOfFile(rudi.folder() / L"rudi.exe");
    if (!pid) {
        check.abort(L"the Linux process of rudi.exe was not found");
    }
    leftovers.pid = pid;
    if (!check.expect(mapsLibrary(*pid, fakeTimeLibrary),
                      L"libfaketime is not mapped into rudi's Linux process " +
                          std::to_wstring(*pid))) {
        return;
    }
    const std::optional<unsigned long> driver = ownUnixProcess();
    check.expect(driver && !mapsLibrary(*driver, fakeTimeLibrary),
                 driver ? L"libfaketime is mapped into the driver's own process too"
                        : L"the driver's own Linux process was not found");

    // From the second tick on: the first may come late while the program is still starting.
    waitForTick(rudi);
    const Watched before = watchCountdown(rudi, clock.offsetMs(), 2200);
    expectAlignedTicks(check, before.ticks, 0, 2, L"before the clock moved");
    std::wstring figures = L"ticks before the clock moved: " + landings(before.ticks);

    struct Move {
        long long deltaMs;
        const wchar_t* shown;
    };
    // Sub-second parts, so that the old timer lands elsewhere in the new seconds: 30 + 450 ms
    // and 30 - 250 ms (780 ms into the second before).
    const Move moves[] = {{3600450, L"forward by 1 h 0.45 s"}, {-7200250, L"back by 2 h 0.25 s"}};
    for (const Move& move : moves) {
        const std::wstring when = std::wstring(L"after the clock went ") + move.shown;
        // Just after a tick, so that the next one is the old timer's.
        if (!check.expect(waitForTick(rudi),
                          L"标签7 did not change for 2 s before " + std::wstring(move.shown))) {
            return;
        }
        Sleep(150);
        if (!clock.move(check, move.deltaMs)) {
            return;
        }
        const Watched after = watchCountdown(rudi, clock.offsetMs(), 3300);
        expectAlignedTicks(check, after.ticks, 1, 2, when);
        check.expect(after.boxSeenAtMs == 0, when +
                                                 L": an event box came without an event due (at " +
                                                 clockShown(after.boxSeenAtMs) + L")");
        const std::optional<long long> box = expectEventOnce(check, rudi, clock, when);
        figures += L"; " + when + L": ticks " + landings(after.ticks) + L", the event box " +
                   (box ? std::to_wstring(*box) + L" ms into its second" : L"missing");
    }
    check.note(figures);
    check.expect(rudi.running(), L"rudi ended while its clock moved");
}

void checkLongSuspend(Check& check, const Setup& setup) {
    RudiRun rudi(check, setup, L"clock-suspend", Configuration{});
    rudi.start();
    rudi.waitForMainWindow();
    const std::optional<unsigned long> pid = unixProcessOfFile(rudi.folder() / L"rudi.exe");
    if (!pid) {
        check.abort(L"the Linux process of rudi.exe was not found");
    }
    const RudiClock clock(fs::path{}); // rudi's clock is the driver's here
    waitForTick(rudi);
    const Watched before = watchCountdown(rudi, 0, 2200);
    expectAlignedTicks(check, before.ticks, 0, 2, L"before the stop");

    // An event due while the process is stopped. 确定 starts the countdown again, which 标签7
    // shows from the next tick on: the stop comes after that tick.
    const SYSTEMTIME missed = clock.secondsAhead(7);
    if (!setEvent(check, rudi, missed, L"停着时到期的事件")) {
        return;
    }
    check.expect(waitForTick(rudi), L"标签7 did not change for 2 s after 确定");
    HWND label = rudi.control(ids::countdownLabel);
    if (!sendSignal(check, *pid, L"STOP")) {
        return;
    }
    if (!waitUntil([&] { return processState(*pid) == 'T'; }, 3000)) {
        check.abort(L"rudi's Linux process " + std::to_wstring(*pid) +
                    L" is not stopped 3 s after SIGSTOP (state " +
                    std::wstring(1, static_cast<wchar_t>(processState(*pid))) + L")");
    }
    const long long stoppedAt = localNowMs();
    const std::wstring atStop = keptText(label);
    if (stoppedAt >= msOf(missed) - 500) {
        sendSignal(check, *pid, L"CONT");
        check.abort(L"the process stopped only at " + clockShown(stoppedAt) +
                    L", too near the event second " + clockShown(msOf(missed)));
    }
    bool heldStill = true;
    while (localNowMs() < stoppedAt + stopMs && heldStill) {
        Sleep(500);
        heldStill =
            check.expect(processState(*pid) == 'T',
                         L"rudi's process ran again during the stop, at " +
                             clockShown(localNowMs())) &&
            check.expect(keptText(label) == atStop,
                         L"标签7 changed while the process was stopped: " + quote(keptText(label)));
    }
    sendSignal(check, *pid, L"CONT");
    long long continuedAt = 0;
    for (const ULONGLONG until = GetTickCount64() + 3000; GetTickCount64() < until;) {
        if (processState(*pid) != 'T') {
            continuedAt = localNowMs();
            break;
        }
        Sleep(1);
    }
    if (continuedAt == 0) {
        check.abort(L"rudi's Linux process is still stopped 3 s after SIGCONT");
    }

    const Watched after = watchCountdown(rudi, 0, 3500, atStop);
    const long long firstTickMs = after.ticks.empty() ? -1 : after.ticks.front().atMs - continuedAt;
    check.expect(!after.ticks.empty() && firstTickMs <= 2000,
                 L"标签7 did not change within 2 s of the continue at " + clockShown(continuedAt));
    // The timer does not catch up: the stopped half minute is one tick, at the continue.
    expectAlignedTicks(check, after.ticks, 1, 2, L"after the continue", countdownSeconds(atStop));
    // The tick compares its second with the event's; the event second went by while the
    // process stood still, and no tick afterwards is in it.
    check.expect(after.boxSeenAtMs == 0,
                 L"the event due at " + clockShown(msOf(missed)) +
                     L" during the stop showed its box after the continue, at " +
                     clockShown(after.boxSeenAtMs));
    const std::optional<long long> box = expectEventOnce(check, rudi, clock, L"after the continue");
    wchar_t stopped[32];
    std::swprintf(stopped, 32, L"%.1f", static_cast<double>(continuedAt - stoppedAt) / 1000.0);
    check.note(std::wstring(L"stopped ") + stopped + L" s over the event second " +
               clockShown(msOf(missed)) +
               (after.boxSeenAtMs == 0 ? L" (no box for it after the continue)"
                                       : L" (its box came after the continue)") +
               L"; the first tick " +
               (after.ticks.empty() ? L"did not come"
                                    : L"came " + std::to_wstring(firstTickMs) +
                                          L" ms after the continue, the ticks at " +
                                          landings(after.ticks) + L" into their seconds") +
               L"; the next event's box " +
               (box ? std::to_wstring(*box) + L" ms into its second" : L"missing"));
    check.expect(rudi.running(), L"rudi ended after the stop");
}

} // namespace e2e
