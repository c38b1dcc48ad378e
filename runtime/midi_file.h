// A Standard MIDI File turned into stream buffers for the system's MIDI stream output.
// Portable: the layout of a stream event is written out here, so no Windows header is needed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace rudi {

// One stream event without parameters (MIDIEVENT): delta time in ticks, stream ID, event.
inline constexpr std::size_t kStreamEventWords = 3;
inline constexpr std::size_t kStreamEventBytes = kStreamEventWords * sizeof(std::uint32_t);

// Event types, in the high byte of the event word (MEVT_SHORTMSG, MEVT_TEMPO).
inline constexpr std::uint32_t kStreamShortMessage = 0x00;
inline constexpr std::uint32_t kStreamTempo = 0x01;

// A stream buffer may hold at most 64 KB.
inline constexpr std::size_t kMaxStreamBufferBytes = 64 * 1024;

// The tempo of a file that sets none: 120 quarter notes a minute.
inline constexpr std::uint32_t kDefaultTempo = 500000;

// The largest file we read: far more than any tune, and it bounds the memory a parse takes.
inline constexpr std::size_t kMaxMidiFileBytes = 1024 * 1024;

enum class MidiError {
    none,
    tooLarge,          // more than kMaxMidiFileBytes
    notMidi,           // no MThd header chunk at the start
    truncated,         // a chunk or an event runs past the end of its data
    unsupportedFormat, // format 2 or unknown
    smpteDivision,     // time code division instead of ticks per quarter note
    zeroDivision,      // zero ticks per quarter note
    noTracks,          // the header announces no track
    missingTracks,     // fewer MTrk chunks than announced
    badQuantity,       // a variable-length quantity of more than 4 bytes
    noRunningStatus,   // data bytes before any status byte
    badEvent,          // a status a file may not hold, a data byte >= 80h, a bad tempo
    tooLong,           // a gap between two events that a stream delta cannot hold
    nothingToPlay,     // no channel message, or the whole tune lasts no tick
};

struct MidiStream {
    std::uint16_t ticksPerQuarter = 0; // the stream's time division
    // Stream buffers in playing order: {delta, 0, event} word triples, whole events only,
    // each buffer at most kMaxStreamBufferBytes.
    std::vector<std::vector<std::uint32_t>> chunks;
    // Length of one pass in ticks, up to the latest End of Track: the last event of the stream
    // sits there, so a loop restarts only after the last note has been released.
    std::uint64_t loopTicks = 0;
};

// The stream of a format 0 or 1 file, tracks merged in time order (equal times keep track
// order, then file order). Tick 0 of the stream always sets a tempo (500000 µs when the file
// sets none there), so every pass of a loop starts at the same speed. Any input gives either a
// stream or an error; `error`, when given, receives the reason (none on success).
std::optional<MidiStream> parseMidiFile(std::span<const std::uint8_t> bytes,
                                        MidiError* error = nullptr);

// The fields of an event word.
constexpr std::uint32_t streamEventType(std::uint32_t event) {
    return event >> 24;
}
constexpr std::uint32_t streamEventParameter(std::uint32_t event) {
    return event & 0xFFFFFF;
}

} // namespace rudi
