// Any bytes given to the tune parser: no crash, no hang, and a stream only in the shape the
// system's MIDI stream output accepts.
#include "runtime/midi_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

namespace {

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    rudi::MidiError error = rudi::MidiError::none;
    const auto stream = rudi::parseMidiFile(std::span<const std::uint8_t>(data, size), &error);
    check(stream.has_value() == (error == rudi::MidiError::none));
    if (!stream) {
        return 0;
    }
    check(stream->ticksPerQuarter != 0 && stream->ticksPerQuarter < 0x8000);
    check(stream->loopTicks > 0);
    check(!stream->chunks.empty());
    std::uint64_t ticks = 0;
    std::size_t messages = 0;
    bool first = true;
    for (const auto& words : stream->chunks) {
        const std::size_t bytes = words.size() * sizeof(std::uint32_t);
        check(bytes > 0 && bytes <= rudi::kMaxStreamBufferBytes);
        check(bytes % rudi::kStreamEventBytes == 0);
        for (std::size_t i = 0; i < words.size(); i += rudi::kStreamEventWords) {
            const std::uint32_t type = rudi::streamEventType(words[i + 2]);
            check(words[i + 1] == 0);
            check(type == rudi::kStreamShortMessage || type == rudi::kStreamTempo);
            if (type == rudi::kStreamShortMessage) {
                const std::uint32_t message = rudi::streamEventParameter(words[i + 2]);
                check((message & 0x80) != 0 && (message & 0xF0) != 0xF0); // a channel status
                check((message & 0x8000) == 0 && (message & 0x800000) == 0);
                ++messages;
            } else {
                check(rudi::streamEventParameter(words[i + 2]) != 0);
            }
            if (first) {
                check(words[i] == 0); // the start tempo and tick 0
                first = false;
            }
            ticks += words[i];
        }
    }
    check(messages > 0);
    check(ticks == stream->loopTicks); // a pass lasts exactly to the latest End of Track
    return 0;
}
