// One end-to-end check: a named function that records what it found wrong and goes on, so that
// one run reports every fault it meets; it stops early only where going on makes no sense.
#pragma once

#include <string>
#include <vector>

namespace e2e {

struct Setup;

// Thrown by Check::abort: the rest of the check depends on what just failed.
struct CheckAborted {};

class Check {
  public:
    void fail(std::wstring message) { failures_.push_back(std::move(message)); }

    bool expect(bool condition, const std::wstring& message) {
        if (!condition) {
            fail(message);
        }
        return condition;
    }

    // "what: got X, expected Y" on a difference; texts are shown quoted with control
    // characters escaped, so a missing "\r\n" or a trailing blank is seen.
    bool expectEqual(const std::wstring& what, const std::wstring& actual,
                     const std::wstring& expected);
    bool expectEqual(const std::wstring& what, long long actual, long long expected);

    [[noreturn]] void abort(std::wstring message) {
        fail(std::move(message));
        throw CheckAborted{};
    }

    // Notes that are not failures: what the check saw, for the log (screenshots saved, counts).
    void note(std::wstring message) { notes_.push_back(std::move(message)); }

    const std::vector<std::wstring>& failures() const { return failures_; }
    const std::vector<std::wstring>& notes() const { return notes_; }

  private:
    std::vector<std::wstring> failures_;
    std::vector<std::wstring> notes_;
};

// A text shown for a message: quoted, with \r, \n, \t and other control characters escaped.
std::wstring quote(const std::wstring& text);

using CheckFunction = void (*)(Check&, const Setup&);

struct CheckEntry {
    const wchar_t* name;
    CheckFunction run;
    // A long-form measurement, not part of the ordinary run: it runs only when a NAME on the
    // command line is exactly this key.
    const wchar_t* longKey = nullptr;
};

} // namespace e2e
