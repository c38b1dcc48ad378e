// The configuration file under hostile conditions: rudi killed at random moments while 确定 is
// applied again and again, and two copies of rudi applying to the same file in turn and at once.
// After every kill and every round the file must open and hold exactly one record, whole, with
// the values of an apply that was under way or done; a reader beside them must never see
// anything else either.
//
// The ordinary run kills 20 times and takes 40 rounds; the long forms ("crash-200",
// "two-copies-400") take 200 kills and 400 rounds.
#include "tests/e2e/driver/checks.h"
#include "tests/e2e/driver/inspect.h"
#include "tests/e2e/driver/text.h"

#include "runtime/files.h"
#include "settings/edb_format.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <random>
#include <set>
#include <thread>
#include <tuple>
#include <utility>

namespace e2e {

namespace {

// The two values each apply changes: 编辑框1 (the interval) and 编辑框2 (the rest message).
struct Values {
    std::wstring interval;
    std::wstring restMessage;
    bool operator==(const Values&) const = default;
    bool operator<(const Values& other) const {
        return std::tie(interval, restMessage) < std::tie(other.interval, other.restMessage);
    }
};

std::wstring shown(const Values& v) {
    return L"(" + v.interval + L", " + quote(v.restMessage.substr(0, 24)) +
           (v.restMessage.size() > 24 ? L"… " + std::to_wstring(v.restMessage.size()) + L" chars"
                                      : L"") +
           L")";
}

// Values that differ from apply to apply, and in length too, so that the files differ in size.
Values valuesFor(unsigned round, unsigned apply, const wchar_t* who) {
    Values v;
    v.interval = std::to_wstring(1 + (round * 37 + apply) % 9999);
    v.restMessage = std::wstring(who) + L"第" + std::to_wstring(round) + L"轮第" +
                    std::to_wstring(apply) + L"次" + std::wstring((round + apply) % 60 * 7, L'休');
    return v;
}

// What the file holds: its one record's two values, or why it is not such a file.
struct Stored {
    std::optional<Values> values;
    std::wstring problem;
};

Stored readStored(const std::filesystem::path& file) {
    const rudi::files::ReadResult read = rudi::files::readWholeFile(file, rudi::edb::maxFileBytes);
    if (read.status != rudi::files::ReadStatus::ok) {
        return {std::nullopt, read.status == rudi::files::ReadStatus::missing
                                  ? L"the file is missing"
                                  : L"the file cannot be read"};
    }
    if (read.bytes.empty()) {
        return {std::nullopt, L"the file is empty"};
    }
    rudi::edb::ParseError error = rudi::edb::ParseError::none;
    const auto table = rudi::edb::parse(read.bytes, &error);
    if (!table) {
        return {std::nullopt, L"the file does not parse (" +
                                  fromUtf8(std::string(rudi::edb::describe(error))) + L", " +
                                  std::to_wstring(read.bytes.size()) + L" bytes)"};
    }
    if (table->records.size() != 1 || table->records[0].deleted) {
        return {std::nullopt,
                L"the file holds " + std::to_wstring(table->records.size()) + L" records"};
    }
    const auto& values = table->records[0].values;
    const auto* interval = values.size() > 1 ? std::get_if<rudi::Text>(&values[0]) : nullptr;
    const auto* message = values.size() > 1 ? std::get_if<rudi::Text>(&values[1]) : nullptr;
    if (interval == nullptr || message == nullptr) {
        return {std::nullopt, L"the record's first two fields are not texts"};
    }
    return {Values{fromGbk(*interval), fromGbk(*message)}, L""};
}

std::wstring folderListing(const std::filesystem::path& folder, std::size_t& temporaries) {
    temporaries = 0;
    std::wstring names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const std::wstring name = entry.path().filename().wstring();
        if (name.size() > 4 && name.compare(name.size() - 4, 4, L".tmp") == 0) {
            ++temporaries;
        }
        names += (names.empty() ? L"" : L", ") + name;
    }
    return names;
}

// Puts the values into the edit boxes and clicks 确定 (its BN_CLICKED, as the button sends it).
// False when rudi did not take the apply to its end (it was killed, or it hangs).
bool apply(const RudiRun& rudi, const Values& values) {
    HWND main = rudi.mainWindow();
    HWND ok = GetDlgItem(main, ids::okButton);
    DWORD_PTR result = 0;
    auto send = [&](HWND window, UINT message, WPARAM w, LPARAM l) {
        return SendMessageTimeoutW(window, message, w, l, SMTO_ABORTIFHUNG, 10000, &result) != 0;
    };
    return send(GetDlgItem(main, ids::intervalEdit), WM_SETTEXT, 0,
                reinterpret_cast<LPARAM>(values.interval.c_str())) &&
           send(GetDlgItem(main, ids::restMessageEdit), WM_SETTEXT, 0,
                reinterpret_cast<LPARAM>(values.restMessage.c_str())) &&
           send(main, WM_COMMAND, MAKEWPARAM(ids::okButton, BN_CLICKED),
                reinterpret_cast<LPARAM>(ok));
}

Configuration initialConfiguration() {
    Configuration c;
    c.interval = L"30";
    c.restMessage = L"起始的提示。";
    c.autoRun = false;
    return c;
}

void runKills(Check& check, const Setup& setup, int kills) {
    const Configuration initial = initialConfiguration();
    const std::wstring folderName = L"crash";
    { RudiRun prepare(check, setup, folderName, initial); }
    const std::filesystem::path file = setup.workDir / folderName / L"配置.edb";
    const unsigned seed = GetTickCount();
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> delayMs(0, 800);
    Values before{initial.interval, initial.restMessage};
    int newer = 0, older = 0, applies = 0, killedInApply = 0;
    std::size_t temporaries = 0;
    for (int kill = 0; kill < kills; ++kill) {
        RudiRun rudi(check, setup, folderName, std::nullopt, Folder::kept);
        rudi.start();
        rudi.waitForMainWindow();
        const int delay = delayMs(random);
        std::thread killer([&] {
            Sleep(static_cast<DWORD>(delay));
            TerminateProcess(rudi.process(), 9);
        });
        Values done = before, inFlight = before;
        bool inApply = false;
        for (unsigned n = 0; rudi.running(); ++n) {
            inFlight = valuesFor(static_cast<unsigned>(kill), n, L"");
            inApply = true;
            if (!apply(rudi, inFlight)) {
                break;
            }
            inApply = false;
            done = inFlight;
            ++applies;
        }
        killer.join();
        rudi.waitForExit(10000);
        killedInApply += inApply ? 1 : 0;

        const Stored stored = readStored(file);
        if (!stored.values) {
            check.abort(L"after kill " + std::to_wstring(kill + 1) + L" (" +
                        std::to_wstring(delay) + L" ms after the window came): " + stored.problem);
        }
        if (*stored.values == inFlight && inApply) {
            ++newer;
        } else if (*stored.values == done) {
            ++older;
        } else {
            check.abort(L"after kill " + std::to_wstring(kill + 1) + L" the file holds " +
                        shown(*stored.values) + L", neither the last apply done " + shown(done) +
                        L" nor the one under way " + shown(inFlight));
        }
        before = *stored.values;
    }
    wchar_t figures[300];
    std::swprintf(figures, 300,
                  L"%d kills (seed %u), %d applies done in all; %d kills came during an apply; "
                  L"the file held the record under way %d times, the last one done %d times",
                  kills, seed, applies, killedInApply, newer, older);
    check.note(figures);
    // A start after the last kill reads the file as the last check saw it, and its first write
    // clears what the killed writers left beside the file.
    RudiRun last(check, setup, folderName, std::nullopt, Folder::kept);
    last.start();
    last.waitForMainWindow();
    check.expectEqual(L"编辑框1 after the last kill",
                      windowText(GetDlgItem(last.mainWindow(), ids::intervalEdit)),
                      before.interval);
    std::size_t leftBefore = 0;
    folderListing(setup.workDir / folderName, leftBefore);
    check.expect(apply(last, valuesFor(static_cast<unsigned>(kills), 0, L"")),
                 L"the apply after the last kill did not finish");
    const std::wstring listing = folderListing(setup.workDir / folderName, temporaries);
    check.note(L"temporary files: " + std::to_wstring(leftBefore) +
               L" left by the kills before the last write, " + std::to_wstring(temporaries) +
               L" after it (" + listing + L")");
    check.expect(temporaries == 0, L"the write after the kills left " +
                                       std::to_wstring(temporaries) +
                                       L" temporary files beside 配置.edb");
}

void runTwoCopies(Check& check, const Setup& setup, int rounds) {
    const Configuration initial = initialConfiguration();
    const std::wstring folderName = L"two copies 两份";
    RudiRun a(check, setup, folderName, initial);
    a.start();
    a.waitForMainWindow();
    RudiRun b(check, setup, folderName, std::nullopt, Folder::kept);
    b.start();
    b.waitForMainWindow();
    const std::filesystem::path file = a.folder() / L"配置.edb";

    // Every value ever sent, for the reader that watches the file meanwhile.
    std::set<Values> sent{{initial.interval, initial.restMessage}};
    SRWLOCK sentLock = SRWLOCK_INIT;
    std::atomic<bool> stop{false};
    std::atomic<long> reads{0};
    std::wstring readerProblem; // written by the reader before it sets readerFailed and ends
    std::atomic<bool> readerFailed{false};
    std::thread reader([&] {
        while (!stop) {
            const Stored stored = readStored(file);
            ++reads;
            AcquireSRWLockShared(&sentLock);
            const bool known = stored.values && sent.count(*stored.values) != 0;
            ReleaseSRWLockShared(&sentLock);
            if (!known) {
                readerProblem = stored.values
                                    ? L"a reader saw values never applied: " + shown(*stored.values)
                                    : L"a reader saw: " + stored.problem;
                readerFailed = true;
                return;
            }
        }
    });
    auto remember = [&](const Values& v) {
        AcquireSRWLockExclusive(&sentLock);
        sent.insert(v);
        ReleaseSRWLockExclusive(&sentLock);
    };

    // The reader ends with the trial, also when a round aborts it.
    struct Joiner {
        Joiner(std::atomic<bool>& stop, std::thread& thread) : stop(stop), thread(thread) {}
        Joiner(const Joiner&) = delete;
        Joiner& operator=(const Joiner&) = delete;
        ~Joiner() {
            stop = true;
            thread.join();
        }
        std::atomic<bool>& stop;
        std::thread& thread;
    };
    std::optional<Joiner> joiner(std::in_place, stop, reader);

    int inTurn = 0, atOnce = 0, aWon = 0, bWon = 0;
    for (int round = 0; round < rounds && !readerFailed; ++round) {
        const Values va = valuesFor(static_cast<unsigned>(round), 1, L"甲");
        const Values vb = valuesFor(static_cast<unsigned>(round), 2, L"乙");
        remember(va);
        remember(vb);
        const std::wstring at = L"round " + std::to_wstring(round + 1) + L": ";
        if (round % 2 == 0) {
            for (auto [rudi, values] : {std::pair{&a, va}, std::pair{&b, vb}}) {
                if (!apply(*rudi, values)) {
                    check.abort(at + L"an apply in turn did not finish");
                }
                const Stored stored = readStored(file);
                if (!stored.values || !(*stored.values == values)) {
                    check.abort(at + L"after an apply in turn the file holds " +
                                (stored.values ? shown(*stored.values) : stored.problem) +
                                L", expected " + shown(values));
                }
            }
            ++inTurn;
        } else {
            HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
            bool doneA = false, doneB = false;
            std::thread other([&] {
                WaitForSingleObject(go, INFINITE);
                doneB = apply(b, vb);
            });
            SetEvent(go);
            doneA = apply(a, va);
            other.join();
            CloseHandle(go);
            if (!doneA || !doneB) {
                check.abort(at + L"an apply at once did not finish");
            }
            const Stored stored = readStored(file);
            if (!stored.values || !(*stored.values == va || *stored.values == vb)) {
                check.abort(at + L"after two applies at once the file holds " +
                            (stored.values ? shown(*stored.values) : stored.problem));
            }
            (*stored.values == va ? aWon : bWon) += 1;
            ++atOnce;
        }
        if (a.errorBox() != nullptr || b.errorBox() != nullptr || !a.running() || !b.running()) {
            check.abort(at + L"a copy reported an error or ended");
        }
    }
    joiner.reset();
    check.expect(readerProblem.empty(), readerProblem);
    wchar_t figures[300];
    std::swprintf(figures, 300,
                  L"%d rounds in turn, %d at once (the last apply was the first copy's %d times, "
                  L"the second's %d times); %ld reads beside them, each one whole record",
                  inTurn, atOnce, aWon, bWon, reads.load());
    check.note(figures);
    std::size_t temporaries = 0;
    const std::wstring listing = folderListing(a.folder(), temporaries);
    check.expect(temporaries == 0, L"temporary files were left: " + listing);
}

} // namespace

void checkKilledDuringApplies(Check& check, const Setup& setup) {
    runKills(check, setup, 20);
}
void checkKilledDuringAppliesLong(Check& check, const Setup& setup) {
    runKills(check, setup, 200);
}
void checkTwoCopies(Check& check, const Setup& setup) {
    runTwoCopies(check, setup, 40);
}
void checkTwoCopiesLong(Check& check, const Setup& setup) {
    runTwoCopies(check, setup, 400);
}

} // namespace e2e
