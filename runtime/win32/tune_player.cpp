#include "runtime/win32/tune_player.h"

#include <utility>

namespace rudi::win32 {
namespace {

constexpr wchar_t kWindowClass[] = L"rudi.TunePlayer";

HMIDIOUT asOut(HMIDISTRM stream) {
    return reinterpret_cast<HMIDIOUT>(stream);
}

class SystemMidiStreamDevice final : public MidiStreamDevice {
  public:
    MMRESULT open(HMIDISTRM* stream, HWND window) override {
        UINT device = MIDI_MAPPER;
        return midiStreamOpen(stream, &device, 1, reinterpret_cast<DWORD_PTR>(window), 0,
                              CALLBACK_WINDOW);
    }
    MMRESULT setTimeDivision(HMIDISTRM stream, DWORD ticksPerQuarter) override {
        MIDIPROPTIMEDIV property{sizeof(MIDIPROPTIMEDIV), ticksPerQuarter};
        return midiStreamProperty(stream, reinterpret_cast<LPBYTE>(&property),
                                  MIDIPROP_SET | MIDIPROP_TIMEDIV);
    }
    MMRESULT prepareHeader(HMIDISTRM stream, MIDIHDR* header) override {
        return midiOutPrepareHeader(asOut(stream), header, sizeof(MIDIHDR));
    }
    MMRESULT unprepareHeader(HMIDISTRM stream, MIDIHDR* header) override {
        return midiOutUnprepareHeader(asOut(stream), header, sizeof(MIDIHDR));
    }
    MMRESULT out(HMIDISTRM stream, MIDIHDR* header) override {
        return midiStreamOut(stream, header, sizeof(MIDIHDR));
    }
    MMRESULT restart(HMIDISTRM stream) override { return midiStreamRestart(stream); }
    MMRESULT stop(HMIDISTRM stream) override { return midiStreamStop(stream); }
    MMRESULT reset(HMIDISTRM stream) override { return midiOutReset(asOut(stream)); }
    MMRESULT close(HMIDISTRM stream) override { return midiStreamClose(stream); }
};

// Buffers a device would not hand back stay allocated until the process ends, so that it
// never writes into freed memory.
struct AbandonedBuffers {
    std::unique_ptr<MIDIHDR[]> headers;
    MidiStream tune;
};

std::vector<AbandonedBuffers>& abandonedBuffers() {
    static std::vector<AbandonedBuffers> buffers;
    return buffers;
}

} // namespace

MidiStreamDevice& systemMidiStreamDevice() {
    static SystemMidiStreamDevice device;
    return device;
}

void TunePlayer::WindowDeleter::operator()(HWND window) const {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    DestroyWindow(window);
}

TunePlayer::TunePlayer() : TunePlayer(systemMidiStreamDevice()) {}

TunePlayer::TunePlayer(MidiStreamDevice& device) : device_(device) {}

TunePlayer::~TunePlayer() {
    stop();
}

LRESULT CALLBACK TunePlayer::windowProcedure(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    if (message == MM_MOM_DONE) {
        try {
            auto* player = reinterpret_cast<TunePlayer*>(GetWindowLongPtrW(window, GWLP_USERDATA));
            if (player != nullptr) {
                player->bufferDone();
            }
        } catch (...) {
            // The tune is not worth a crash; at worst the loop ends.
        }
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool TunePlayer::play(std::span<const std::uint8_t> smf) {
    stop();
    if (device_.absent) {
        return false;
    }
    std::optional<MidiStream> parsed = parseMidiFile(smf);
    if (!parsed) {
        return false;
    }

    if (!window_) {
        const HINSTANCE instance = GetModuleHandleW(nullptr);
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = &TunePlayer::windowProcedure;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = kWindowClass;
        if (RegisterClassExW(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
            return false;
        }
        window_.reset(CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      instance, nullptr));
        if (!window_) {
            return false;
        }
        SetWindowLongPtrW(window_.get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }

    HMIDISTRM stream = nullptr;
    if (device_.open(&stream, window_.get()) != MMSYSERR_NOERROR || stream == nullptr) {
        device_.absent = true;
        return false;
    }
    stream_ = stream;
    tune_ = std::move(*parsed);
    headerCount_ = tune_.chunks.size();
    headers_ = std::make_unique<MIDIHDR[]>(headerCount_);
    for (std::size_t i = 0; i < headerCount_; ++i) {
        std::vector<std::uint32_t>& words = tune_.chunks[i];
        MIDIHDR& header = headers_[i];
        header.lpData = reinterpret_cast<LPSTR>(words.data());
        header.dwBufferLength = static_cast<DWORD>(words.size() * sizeof(std::uint32_t));
        header.dwBytesRecorded = header.dwBufferLength;
    }

    bool started = device_.setTimeDivision(stream_, tune_.ticksPerQuarter) == MMSYSERR_NOERROR;
    while (started && prepared_ < headerCount_) {
        started = device_.prepareHeader(stream_, &headers_[prepared_]) == MMSYSERR_NOERROR;
        prepared_ += started ? 1 : 0;
    }
    started = started && queueAll() && device_.restart(stream_) == MMSYSERR_NOERROR;
    if (!started) {
        closeStream();
    }
    return started;
}

bool TunePlayer::queueAll() {
    for (std::size_t i = 0; i < headerCount_; ++i) {
        headers_[i].dwFlags &= ~static_cast<DWORD>(MHDR_DONE);
        if (device_.out(stream_, &headers_[i]) != MMSYSERR_NOERROR) {
            return false;
        }
    }
    return true;
}

void TunePlayer::bufferDone() {
    // The pass is over when every buffer is back: then it starts again from the first. A notice
    // that finds a buffer still queued is one of the earlier buffers, or a late one of a stream
    // stopped before this one was opened.
    if (stream_ == nullptr) {
        return;
    }
    for (std::size_t i = 0; i < headerCount_; ++i) {
        const DWORD flags = headers_[i].dwFlags;
        if ((flags & MHDR_INQUEUE) != 0 || (flags & MHDR_DONE) == 0) {
            return;
        }
    }
    if (!queueAll()) {
        closeStream();
    }
}

void TunePlayer::stop() {
    closeStream();
}

void TunePlayer::closeStream() {
    if (stream_ == nullptr) {
        return;
    }
    device_.stop(stream_);
    device_.reset(stream_); // hands every queued buffer back
    bool returned = true;
    for (std::size_t i = 0; i < prepared_; ++i) {
        MMRESULT result = device_.unprepareHeader(stream_, &headers_[i]);
        for (int attempt = 0; result == MIDIERR_STILLPLAYING && attempt < 20; ++attempt) {
            Sleep(5);
            device_.reset(stream_);
            result = device_.unprepareHeader(stream_, &headers_[i]);
        }
        returned = returned && result != MIDIERR_STILLPLAYING;
    }
    device_.close(stream_);
    if (!returned) {
        try {
            std::vector<AbandonedBuffers>& kept = abandonedBuffers();
            kept.reserve(kept.size() + 1); // so that the push below cannot throw
            kept.push_back({std::move(headers_), std::move(tune_)});
        } catch (...) {
            // Out of memory: the headers at least are leaked rather than freed under the device.
            static_cast<void>(headers_.release());
        }
    }
    stream_ = nullptr;
    headers_.reset();
    headerCount_ = 0;
    prepared_ = 0;
    tune_ = MidiStream{};

    // The notices of the buffers just handed back mean nothing any more.
    MSG message;
    while (window_ &&
           PeekMessageW(&message, window_.get(), MM_MOM_OPEN, MM_MOM_DONE, PM_REMOVE) != 0) {
    }
}

} // namespace rudi::win32
