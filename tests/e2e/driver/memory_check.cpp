// Memory over many rests: rudi with an interval of one minute, each rest window ended after a
// few seconds with its 开始工作 button, and the process sampled after each rest: private bytes,
// working set, kernel handles, GDI and USER objects, and its windows. Nothing may grow after the
// first rest: every rest builds the same window, loads the same tune and frees them again.
//
// The ordinary run takes three rests; the long form ("memory-2h") rests for two hours. Every
// sample goes to shots/memory-samples.csv.
#include "tests/e2e/driver/checks.h"
#include "tests/e2e/driver/inspect.h"
#include "tests/e2e/driver/process_usage.h"
#include "tests/e2e/driver/steps.h"
#include "tests/e2e/driver/text.h"

#include <windows.h>

#include <mmsystem.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <vector>

namespace e2e {

namespace {

struct Sample {
    int rest = 0;
    double minutes = 0;
    ProcessUsage usage;
};

Sample sampleOf(const RudiRun& rudi, std::optional<unsigned long> unixPid, int rest,
                ULONGLONG startedMs) {
    return Sample{rest, static_cast<double>(GetTickCount64() - startedMs) / 60000.0,
                  usageOf(rudi.process(), rudi.processId(), unixPid)};
}

void writeSamples(Check& check, const Setup& setup, const std::vector<Sample>& samples) {
    const std::filesystem::path file = setup.shotsDir / L"memory-samples.csv";
    std::ofstream out(file, std::ios::binary);
    out << "rest,minutes,private_bytes,resident_bytes,kernel_handles,gdi_objects,windows\n";
    for (const Sample& s : samples) {
        const ProcessUsage& u = s.usage;
        char line[200];
        std::snprintf(line, sizeof line, "%d,%.2f,%llu,%llu,%lu,%lu,%lu\n", s.rest, s.minutes,
                      u.privateBytes.value_or(0), u.residentBytes.value_or(0),
                      u.kernelHandles.value_or(0), u.gdiObjects.value_or(0), u.windows);
        out << line;
    }
    if (!out) {
        check.fail(L"cannot write " + file.wstring());
    }
}

std::wstring kib(unsigned long long bytes) {
    return std::to_wstring(bytes / 1024) + L" KiB";
}

// Growth is judged on the median of the last three samples against the sample after the first
// rest, so that one sample taken while the heap is between two states does not decide it.
unsigned long long latePrivateBytes(const std::vector<Sample>& samples) {
    std::vector<unsigned long long> last;
    for (std::size_t i = samples.size() >= 3 ? samples.size() - 3 : 0; i < samples.size(); ++i) {
        last.push_back(samples[i].usage.privateBytes.value_or(0));
    }
    std::sort(last.begin(), last.end());
    return last[last.size() / 2];
}

std::wstring count(std::optional<unsigned long> value) {
    return value ? std::to_wstring(*value) : L"?";
}

void runRests(Check& check, const Setup& setup, int minRests, double minMinutes) {
    Configuration configuration;
    configuration.interval = L"1";
    configuration.restMessage = L"休息一下，看看窗外。";
    RudiRun rudi(check, setup, L"memory", configuration);
    rudi.start();
    HWND main = rudi.waitForMainWindow();
    // By the whole path: another run may have a "memory" folder too.
    const std::optional<unsigned long> unixPid = unixProcessOfFile(rudi.folder() / L"rudi.exe");
    check.expect(unixPid.has_value(), L"the Linux process of rudi.exe was not found");
    // 取消 hides the window; the countdown goes on from the start.
    sendTo(rudi.control(ids::cancelButton), BM_CLICK);
    check.expect(waitUntil([&] { return !IsWindowVisible(main); }, 3000),
                 L"取消 left the main window on the screen");

    const ULONGLONG startedMs = GetTickCount64();
    std::vector<Sample> samples;
    samples.push_back(sampleOf(rudi, unixPid, 0, startedMs));
    std::optional<unsigned long> gdiDuringRest;
    for (int rest = 1;; ++rest) {
        const double minutes = static_cast<double>(GetTickCount64() - startedMs) / 60000.0;
        if (rest > minRests && minutes >= minMinutes) {
            break;
        }
        HWND window = nullptr;
        if (!waitUntil([&] { return (window = restWindowOf(rudi)) != nullptr || !rudi.running(); },
                       70000, 200) ||
            window == nullptr) {
            check.fail(L"rest " + std::to_wstring(rest) +
                       (rudi.running() ? L": no rest window within 70 s" : L": rudi ended"));
            break;
        }
        Sleep(3000);
        if (rest == 1) {
            gdiDuringRest = usageOf(rudi.process(), rudi.processId(), unixPid).gdiObjects;
        }
        HWND button = GetDlgItem(window, ids::restWindowButton);
        if (button == nullptr) {
            check.fail(L"rest " + std::to_wstring(rest) + L": the rest window has no 按钮1");
            break;
        }
        sendTo(button, BM_CLICK);
        if (!waitUntil([&] { return !IsWindow(window); }, 5000)) {
            check.fail(L"rest " + std::to_wstring(rest) + L": 开始工作 did not end the rest");
            break;
        }
        Sleep(2000);
        samples.push_back(sampleOf(rudi, unixPid, rest, startedMs));
    }
    writeSamples(check, setup, samples);
    check.expect(rudi.running(), L"rudi ended during the rests");
    if (samples.size() < 3) {
        check.fail(L"only " + std::to_wstring(samples.size() - 1) + L" rests were sampled");
        return;
    }

    const ProcessUsage& before = samples[0].usage;
    const ProcessUsage& first = samples[1].usage;
    const ProcessUsage& last = samples.back().usage;
    for (const Sample& s : samples) {
        const std::wstring at = L" after rest " + std::to_wstring(s.rest);
        check.expect(s.usage.privateBytes.has_value(), L"no private bytes could be read" + at);
        check.expect(s.usage.kernelHandles.value_or(0) > 0, L"no kernel handles were counted" + at);
        check.expect(s.usage.gdiObjects.value_or(0) > 0, L"no GDI objects were counted" + at);
    }
    // The tune has no device to play on here: every rest meets the missing device.
    check.note(L"MIDI output devices: " + std::to_wstring(midiOutGetNumDevs()));
    check.note(L"rests: " + std::to_wstring(samples.size() - 1) + L" in " +
               std::to_wstring(static_cast<int>(samples.back().minutes)) + L" min");
    check.note(L"private bytes: " + kib(before.privateBytes.value_or(0)) +
               L" before the first rest, " + kib(first.privateBytes.value_or(0)) + L" after it, " +
               kib(last.privateBytes.value_or(0)) + L" at the end");
    check.note(L"kernel handles " + count(before.kernelHandles) + L", " +
               count(first.kernelHandles) + L", " + count(last.kernelHandles) + L"; GDI objects " +
               count(before.gdiObjects) + L", " + count(first.gdiObjects) + L" (" +
               count(gdiDuringRest) + L" during the first rest), " + count(last.gdiObjects) +
               L"; windows " + std::to_wstring(before.windows) + L", " +
               std::to_wstring(first.windows) + L", " + std::to_wstring(last.windows) +
               L" (before the first rest, after it, at the end)");

    const unsigned long long slack = 256 * 1024;
    const unsigned long long latePrivate = latePrivateBytes(samples);
    check.expect(latePrivate <= first.privateBytes.value_or(0) + slack,
                 L"private bytes grew from " + kib(first.privateBytes.value_or(0)) +
                     L" after the first rest to " + kib(latePrivate) +
                     L" (median of the last three samples)");
    for (std::size_t i = 2; i < samples.size(); ++i) {
        const ProcessUsage& u = samples[i].usage;
        const std::wstring at = L" after rest " + std::to_wstring(samples[i].rest) + L", ";
        check.expect(u.kernelHandles <= first.kernelHandles,
                     L"kernel handles " + count(u.kernelHandles) + at + count(first.kernelHandles) +
                         L" after the first");
        check.expect(u.gdiObjects <= first.gdiObjects, L"GDI objects " + count(u.gdiObjects) + at +
                                                           count(first.gdiObjects) +
                                                           L" after the first");
        check.expect(u.windows <= first.windows, L"windows " + std::to_wstring(u.windows) + at +
                                                     std::to_wstring(first.windows) +
                                                     L" after the first");
    }
}

} // namespace

void checkMemoryOverRests(Check& check, const Setup& setup) {
    runRests(check, setup, 3, 0.0);
}

void checkMemoryTwoHours(Check& check, const Setup& setup) {
    runRests(check, setup, 3, 120.0);
}

} // namespace e2e
