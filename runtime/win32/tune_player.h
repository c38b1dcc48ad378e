// The rest window's tune: a Standard MIDI File played in a loop on the MIDI mapper's stream.
#pragma once

#include "runtime/midi_file.h"

#include <windows.h>

#include <mmsystem.h>

#include <cstdint>
#include <memory>
#include <span>
#include <type_traits>

namespace rudi::win32 {

// The stream calls the player makes, one to one with winmm's. The program uses the system's;
// a test can put a scripted device in its place.
class MidiStreamDevice {
  public:
    virtual ~MidiStreamDevice() = default;

    // midiStreamOpen on the mapper, notifications posted to `window` (CALLBACK_WINDOW).
    virtual MMRESULT open(HMIDISTRM* stream, HWND window) = 0;
    virtual MMRESULT setTimeDivision(HMIDISTRM stream, DWORD ticksPerQuarter) = 0;
    virtual MMRESULT prepareHeader(HMIDISTRM stream, MIDIHDR* header) = 0;
    virtual MMRESULT unprepareHeader(HMIDISTRM stream, MIDIHDR* header) = 0;
    virtual MMRESULT out(HMIDISTRM stream, MIDIHDR* header) = 0;
    virtual MMRESULT restart(HMIDISTRM stream) = 0;
    virtual MMRESULT stop(HMIDISTRM stream) = 0;
    virtual MMRESULT reset(HMIDISTRM stream) = 0;
    virtual MMRESULT close(HMIDISTRM stream) = 0;

    // Set once an open has failed: the device is not tried again. A second midiStreamOpen
    // after a failed one has crashed Wine.
    bool absent = false;
};

// winmm itself; one per process, so "no device" is remembered for the whole run.
MidiStreamDevice& systemMidiStreamDevice();

// Plays one tune at a time until stop() or destruction. All calls, and the re-queueing of the
// buffers, happen on the thread that calls play(): the device only posts messages to a
// message-only window of the player's own.
class TunePlayer {
  public:
    TunePlayer();
    explicit TunePlayer(MidiStreamDevice& device);
    ~TunePlayer();
    TunePlayer(const TunePlayer&) = delete;
    TunePlayer& operator=(const TunePlayer&) = delete;

    // Parses the file and starts it looping. False, quietly, when the file is not playable or
    // there is no MIDI device; once an open has failed, later plays do not try again.
    bool play(std::span<const std::uint8_t> smf);

    // Silences and closes the stream; does nothing when not playing.
    void stop();

    bool playing() const { return stream_ != nullptr; }

  private:
    struct WindowDeleter {
        void operator()(HWND window) const;
    };
    using Window = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDeleter>;

    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);
    void bufferDone();
    bool queueAll();
    void closeStream();

    MidiStreamDevice& device_;
    Window window_;
    HMIDISTRM stream_ = nullptr;
    MidiStream tune_;
    // Fixed in size while the stream is open: the device holds pointers to them.
    std::unique_ptr<MIDIHDR[]> headers_;
    std::size_t headerCount_ = 0;
    std::size_t prepared_ = 0;
};

} // namespace rudi::win32
