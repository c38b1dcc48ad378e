// The tune player on Windows (run under Wine): with a scripted device for the whole play, loop
// and stop sequence, and with winmm itself, which has no MIDI device here.
#include "runtime/win32/tune_player.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace rudi::win32 {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A format 0 file of `notes` notes of two ticks each, using running status.
Bytes tuneFile(int notes) {
    Bytes track;
    auto quantity = [&track](std::uint32_t value) {
        if (value >= 0x80) {
            track.push_back(static_cast<std::uint8_t>(0x80 | (value >> 7)));
        }
        track.push_back(static_cast<std::uint8_t>(value & 0x7F));
    };
    track.insert(track.end(), {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}); // 500000 µs
    for (int i = 0; i < notes; ++i) {
        quantity(i == 0 ? 0 : 1);
        if (i == 0) {
            track.push_back(0x90);
        }
        track.insert(track.end(), {static_cast<std::uint8_t>(0x30 + i % 24), 0x40});
        quantity(2);
        track.insert(track.end(), {static_cast<std::uint8_t>(0x30 + i % 24), 0x00});
    }
    quantity(100);
    track.insert(track.end(), {0xFF, 0x2F, 0x00});
    Bytes file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0, 'M', 'T', 'r', 'k'};
    const auto length = static_cast<std::uint32_t>(track.size());
    for (int shift = 24; shift >= 0; shift -= 8) {
        file.push_back(static_cast<std::uint8_t>(length >> shift));
    }
    file.insert(file.end(), track.begin(), track.end());
    return file;
}

void pumpMessages() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE) != 0) {
        DispatchMessageW(&message);
    }
}

// Behaves as winmm documents a stream device: headers must be prepared and not queued, a
// reset hands queued buffers back with MM_MOM_DONE, a queued header cannot be unprepared.
class ScriptedDevice : public MidiStreamDevice {
  public:
    MMRESULT openResult = MMSYSERR_NOERROR;
    MMRESULT timeDivisionResult = MMSYSERR_NOERROR;
    bool stuck = false; // a reset hands nothing back
    std::vector<std::string> calls;
    std::vector<MIDIHDR*> headers; // in the order first prepared
    std::vector<MIDIHDR*> queue;
    std::vector<std::vector<std::uint32_t>> played; // the words of each buffer queued
    HWND window = nullptr;
    const HMIDISTRM handle = reinterpret_cast<HMIDISTRM>(std::uintptr_t{0x5150});

    MMRESULT open(HMIDISTRM* stream, HWND callbackWindow) override {
        calls.push_back("open");
        window = callbackWindow;
        if (openResult != MMSYSERR_NOERROR) {
            return openResult;
        }
        *stream = handle;
        open_ = true;
        return MMSYSERR_NOERROR;
    }
    MMRESULT setTimeDivision(HMIDISTRM stream, DWORD ticksPerQuarter) override {
        calls.push_back("timediv " + std::to_string(ticksPerQuarter));
        return check(stream) ? timeDivisionResult : MMSYSERR_INVALHANDLE;
    }
    MMRESULT prepareHeader(HMIDISTRM stream, MIDIHDR* header) override {
        calls.push_back("prepare " + name(header));
        if (!check(stream)) {
            return MMSYSERR_INVALHANDLE;
        }
        header->dwFlags |= MHDR_PREPARED;
        headers.push_back(header);
        return MMSYSERR_NOERROR;
    }
    MMRESULT unprepareHeader(HMIDISTRM stream, MIDIHDR* header) override {
        calls.push_back("unprepare " + name(header));
        if (!check(stream)) {
            return MMSYSERR_INVALHANDLE;
        }
        if ((header->dwFlags & MHDR_INQUEUE) != 0) {
            return MIDIERR_STILLPLAYING;
        }
        header->dwFlags &= ~static_cast<DWORD>(MHDR_PREPARED);
        return MMSYSERR_NOERROR;
    }
    MMRESULT out(HMIDISTRM stream, MIDIHDR* header) override {
        calls.push_back("out " + name(header));
        if (!check(stream)) {
            return MMSYSERR_INVALHANDLE;
        }
        if ((header->dwFlags & MHDR_PREPARED) == 0) {
            return MIDIERR_UNPREPARED;
        }
        if ((header->dwFlags & MHDR_INQUEUE) != 0) {
            return MIDIERR_STILLPLAYING;
        }
        header->dwFlags = (header->dwFlags | MHDR_INQUEUE) & ~static_cast<DWORD>(MHDR_DONE);
        queue.push_back(header);
        const auto* words = reinterpret_cast<const std::uint32_t*>(header->lpData);
        played.emplace_back(words, words + header->dwBytesRecorded / 4);
        EXPECT_EQ(header->dwBufferLength, header->dwBytesRecorded);
        return MMSYSERR_NOERROR;
    }
    MMRESULT restart(HMIDISTRM stream) override {
        calls.push_back("restart");
        return check(stream) ? MMSYSERR_NOERROR : MMSYSERR_INVALHANDLE;
    }
    MMRESULT stop(HMIDISTRM stream) override {
        calls.push_back("stop");
        return check(stream) ? MMSYSERR_NOERROR : MMSYSERR_INVALHANDLE;
    }
    MMRESULT reset(HMIDISTRM stream) override {
        calls.push_back("reset");
        if (!check(stream)) {
            return MMSYSERR_INVALHANDLE;
        }
        while (!stuck && !queue.empty()) {
            finishNext();
        }
        return MMSYSERR_NOERROR;
    }
    MMRESULT close(HMIDISTRM stream) override {
        calls.push_back("close");
        if (!check(stream)) {
            return MMSYSERR_INVALHANDLE;
        }
        for (MIDIHDR* header : headers) {
            EXPECT_TRUE(stuck || (header->dwFlags & (MHDR_PREPARED | MHDR_INQUEUE)) == 0)
                << "closed in use";
        }
        open_ = false;
        headers.clear();
        return MMSYSERR_NOERROR;
    }

    // The device has played the first queued buffer.
    void finishNext() {
        ASSERT_FALSE(queue.empty());
        MIDIHDR* header = queue.front();
        queue.erase(queue.begin());
        header->dwFlags = (header->dwFlags | MHDR_DONE) & ~static_cast<DWORD>(MHDR_INQUEUE);
        PostMessageW(window, MM_MOM_DONE, reinterpret_cast<WPARAM>(handle),
                     reinterpret_cast<LPARAM>(header));
    }

    std::vector<std::string> takeCalls() { return std::exchange(calls, {}); }

  private:
    bool check(HMIDISTRM stream) {
        EXPECT_TRUE(open_) << "call on a closed stream";
        EXPECT_EQ(stream, handle);
        return open_ && stream == handle;
    }
    std::string name(const MIDIHDR* header) const {
        for (std::size_t i = 0; i < headers.size(); ++i) {
            if (headers[i] == header) {
                return std::to_string(i);
            }
        }
        return std::to_string(headers.size()); // about to be prepared
    }
    bool open_ = false;
};

using Calls = std::vector<std::string>;

const Calls kStartTwoBuffers = {"open",  "timediv 480", "prepare 0", "prepare 1",
                                "out 0", "out 1",       "restart"};
const Calls kStopTwoBuffers = {"stop", "reset", "unprepare 0", "unprepare 1", "close"};

TEST(TunePlayer, PlaysLoopsAndStopsOnTheStream) {
    const Bytes file = tuneFile(3000); // 6002 events: two buffers
    const auto expected = parseMidiFile(file);
    ASSERT_TRUE(expected && expected->chunks.size() == 2);

    ScriptedDevice device;
    TunePlayer player(device);
    ASSERT_TRUE(player.play(file));
    EXPECT_TRUE(player.playing());
    EXPECT_EQ(device.takeCalls(), kStartTwoBuffers);
    EXPECT_EQ(device.played, expected->chunks);

    // The notices come to a message-only window of the player's own class.
    wchar_t className[64] = {};
    GetClassNameW(device.window, className, 64);
    EXPECT_STREQ(className, L"rudi.TunePlayer");
    HWND probe =
        CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    EXPECT_EQ(GetAncestor(device.window, GA_PARENT), GetAncestor(probe, GA_PARENT));
    DestroyWindow(probe);

    for (int pass = 0; pass < 3; ++pass) {
        device.finishNext();
        pumpMessages();
        EXPECT_TRUE(device.takeCalls().empty()) << "re-queued before the last buffer, " << pass;
        device.finishNext();
        pumpMessages();
        EXPECT_EQ(device.takeCalls(), (Calls{"out 0", "out 1"})) << "pass " << pass;
    }
    EXPECT_EQ(device.played.size(), 8u);
    EXPECT_EQ(device.played[6], expected->chunks[0]);

    player.stop();
    EXPECT_FALSE(player.playing());
    EXPECT_EQ(device.takeCalls(), kStopTwoBuffers);
    pumpMessages(); // the notices of the buffers the reset handed back
    player.stop();
    EXPECT_TRUE(device.takeCalls().empty());
}

TEST(TunePlayer, NoticesOfAStoppedStreamDoNotRequeueANewOne) {
    const Bytes file = tuneFile(3000);
    ScriptedDevice device;
    TunePlayer player(device);
    ASSERT_TRUE(player.play(file));
    player.stop();
    // Notices the device posts late, after the stop, for the buffers of the first stream.
    MIDIHDR first = {};
    PostMessageW(device.window, MM_MOM_DONE, reinterpret_cast<WPARAM>(device.handle),
                 reinterpret_cast<LPARAM>(&first));
    ASSERT_TRUE(player.play(file));
    ASSERT_EQ(device.headers.size(), 2u);
    PostMessageW(device.window, MM_MOM_DONE, reinterpret_cast<WPARAM>(device.handle),
                 reinterpret_cast<LPARAM>(device.headers[1])); // the last buffer, still queued
    device.takeCalls();
    pumpMessages();
    EXPECT_TRUE(device.takeCalls().empty());
}

TEST(TunePlayer, DestructionStopsTheStream) {
    ScriptedDevice device;
    {
        TunePlayer player(device);
        ASSERT_TRUE(player.play(tuneFile(10)));
        device.takeCalls();
    }
    EXPECT_EQ(device.takeCalls(), (Calls{"stop", "reset", "unprepare 0", "close"}));
    pumpMessages();
}

TEST(TunePlayer, PlayingAgainReplacesTheTune) {
    ScriptedDevice device;
    TunePlayer player(device);
    ASSERT_TRUE(player.play(tuneFile(10)));
    device.takeCalls();
    ASSERT_TRUE(player.play(tuneFile(20)));
    EXPECT_EQ(device.takeCalls(), (Calls{"stop", "reset", "unprepare 0", "close", "open",
                                         "timediv 480", "prepare 0", "out 0", "restart"}));
    pumpMessages();
}

// A device that keeps a buffer after the reset: the player gives up after a few tries and
// keeps the buffer's memory alive instead of freeing it under the device.
TEST(TunePlayer, BufferTheDeviceKeepsIsNeitherAwaitedForeverNorFreed) {
    ScriptedDevice device;
    TunePlayer player(device);
    ASSERT_TRUE(player.play(tuneFile(10)));
    MIDIHDR* header = device.headers.at(0);
    const std::vector<std::uint32_t> words = device.played.at(0);
    device.stuck = true;
    device.takeCalls();
    player.stop();
    EXPECT_FALSE(player.playing());
    const Calls calls = device.takeCalls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "unprepare 0"), 21);
    EXPECT_EQ(calls.back(), "close");
    ASSERT_TRUE(player.play(tuneFile(20))); // a new tune: the old buffers must stay put
    player.stop();
    const auto* kept = reinterpret_cast<const std::uint32_t*>(header->lpData);
    EXPECT_TRUE(std::equal(words.begin(), words.end(), kept));
    EXPECT_NE(header->dwFlags & MHDR_INQUEUE, 0u);
}

TEST(TunePlayer, FailedOpenMeansNoMusicAndNoSecondOpen) {
    ScriptedDevice device;
    device.openResult = MIDIERR_INVALIDSETUP;
    TunePlayer player(device);
    EXPECT_FALSE(player.play(tuneFile(10)));
    EXPECT_FALSE(player.playing());
    EXPECT_EQ(device.takeCalls(), (Calls{"open"}));
    EXPECT_TRUE(device.absent);

    device.openResult = MMSYSERR_NOERROR; // not asked again in this run
    EXPECT_FALSE(player.play(tuneFile(10)));
    TunePlayer another(device);
    EXPECT_FALSE(another.play(tuneFile(10)));
    player.stop();
    player.stop();
    EXPECT_TRUE(device.takeCalls().empty());
}

TEST(TunePlayer, FailureAfterOpenClosesTheStreamAndMayTryAgain) {
    ScriptedDevice device;
    device.timeDivisionResult = MMSYSERR_NOTSUPPORTED;
    TunePlayer player(device);
    EXPECT_FALSE(player.play(tuneFile(10)));
    EXPECT_FALSE(player.playing());
    EXPECT_EQ(device.takeCalls(), (Calls{"open", "timediv 480", "stop", "reset", "close"}));
    EXPECT_FALSE(device.absent);

    device.timeDivisionResult = MMSYSERR_NOERROR;
    EXPECT_TRUE(player.play(tuneFile(10)));
    player.stop();
}

TEST(TunePlayer, UnplayableFileOpensNothing) {
    ScriptedDevice device;
    TunePlayer player(device);
    const Bytes garbage = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 0, 0x01, 0xE0};
    EXPECT_FALSE(player.play(garbage));
    EXPECT_FALSE(player.play({}));
    EXPECT_TRUE(device.takeCalls().empty());
    EXPECT_FALSE(device.absent);
}

// winmm itself, counting the opens it is asked for.
class CountingDevice : public MidiStreamDevice {
  public:
    explicit CountingDevice(MidiStreamDevice& inner) : inner_(inner) {}
    int opens = 0;
    MMRESULT lastOpen = MMSYSERR_NOERROR;

    MMRESULT open(HMIDISTRM* stream, HWND window) override {
        ++opens;
        lastOpen = inner_.open(stream, window);
        return lastOpen;
    }
    MMRESULT setTimeDivision(HMIDISTRM s, DWORD d) override { return inner_.setTimeDivision(s, d); }
    MMRESULT prepareHeader(HMIDISTRM s, MIDIHDR* h) override { return inner_.prepareHeader(s, h); }
    MMRESULT unprepareHeader(HMIDISTRM s, MIDIHDR* h) override {
        return inner_.unprepareHeader(s, h);
    }
    MMRESULT out(HMIDISTRM s, MIDIHDR* h) override { return inner_.out(s, h); }
    MMRESULT restart(HMIDISTRM s) override { return inner_.restart(s); }
    MMRESULT stop(HMIDISTRM s) override { return inner_.stop(s); }
    MMRESULT reset(HMIDISTRM s) override { return inner_.reset(s); }
    MMRESULT close(HMIDISTRM s) override { return inner_.close(s); }

  private:
    MidiStreamDevice& inner_;
};

// The only test that opens winmm's stream: a second open in the same process is what it must
// never come to when the first has failed.
TEST(TunePlayer, WinmmWithoutDeviceIsQuietSilence) {
    CountingDevice device(systemMidiStreamDevice());
    const bool hasDevice = midiOutGetNumDevs() > 0;
    {
        TunePlayer player(device);
        player.stop(); // before any play
        const bool played = player.play(tuneFile(50));
        std::printf("MIDI output devices: %u, open result %u\n", midiOutGetNumDevs(),
                    device.lastOpen);
        EXPECT_EQ(device.opens, 1);
        if (hasDevice) {
            EXPECT_TRUE(played);
            player.stop();
            return;
        }
        EXPECT_FALSE(played);
        EXPECT_NE(device.lastOpen, static_cast<MMRESULT>(MMSYSERR_NOERROR));
        EXPECT_FALSE(player.playing());
        EXPECT_FALSE(player.play(tuneFile(50)));
        player.stop();
        player.stop();
        TunePlayer another(device);
        EXPECT_FALSE(another.play(tuneFile(50)));
        EXPECT_EQ(device.opens, 1);
    }
    pumpMessages();
}

} // namespace
} // namespace rudi::win32
