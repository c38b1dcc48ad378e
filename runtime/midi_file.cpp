#include "runtime/midi_file.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace rudi {
namespace {

// Reads big-endian fields from a span; every read checks the bytes left first.
class ByteReader {
  public:
    explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    std::size_t remaining() const { return bytes_.size() - position_; }

    bool readByte(std::uint8_t& value) {
        if (remaining() < 1) {
            return false;
        }
        value = bytes_[position_++];
        return true;
    }

    bool readBigEndian(std::size_t count, std::uint32_t& value) {
        if (remaining() < count) {
            return false;
        }
        value = 0;
        for (std::size_t i = 0; i < count; ++i) {
            value = (value << 8) | bytes_[position_++];
        }
        return true;
    }

    bool take(std::size_t count, std::span<const std::uint8_t>& part) {
        if (remaining() < count) {
            return false;
        }
        part = bytes_.subspan(position_, count);
        position_ += count;
        return true;
    }

  private:
    std::span<const std::uint8_t> bytes_;
    std::size_t position_ = 0;
};

// A variable-length quantity: seven bits a byte, high bit set on all but the last, at most
// four bytes (so at most 0FFFFFFFh).
MidiError readQuantity(ByteReader& reader, std::uint32_t& value) {
    value = 0;
    for (int i = 0; i < 4; ++i) {
        std::uint8_t byte = 0;
        if (!reader.readByte(byte)) {
            return MidiError::truncated;
        }
        value = (value << 7) | (byte & 0x7F);
        if ((byte & 0x80) == 0) {
            return MidiError::none;
        }
    }
    return MidiError::badQuantity;
}

struct TimedEvent {
    std::uint64_t tick = 0;
    std::uint32_t event = 0; // type in the high byte, parameter below
};

constexpr std::uint32_t streamEvent(std::uint32_t type, std::uint32_t parameter) {
    return (type << 24) | (parameter & 0xFFFFFF);
}

struct TrackResult {
    MidiError error = MidiError::none;
    std::uint64_t endTick = 0; // the End of Track, or the last event if the chunk lacks one
};

// Appends the channel messages and tempo changes of one MTrk chunk's data to `events`.
TrackResult parseTrack(std::span<const std::uint8_t> data, std::vector<TimedEvent>& events) {
    ByteReader reader(data);
    std::uint64_t tick = 0;
    std::uint8_t runningStatus = 0;
    while (reader.remaining() > 0) {
        std::uint32_t delta = 0;
        if (MidiError error = readQuantity(reader, delta); error != MidiError::none) {
            return {error, tick};
        }
        tick += delta;
        std::uint8_t first = 0;
        if (!reader.readByte(first)) {
            return {MidiError::truncated, tick};
        }

        if (first < 0xF0) {
            // A channel message; a data byte in the place of the status repeats the last status.
            std::uint8_t status = first;
            std::array<std::uint8_t, 2> data{};
            std::size_t have = 0;
            if (first < 0x80) {
                if (runningStatus == 0) {
                    return {MidiError::noRunningStatus, tick};
                }
                status = runningStatus;
                data[have++] = first;
            }
            runningStatus = status;
            const std::uint8_t kind = status & 0xF0;
            const std::size_t need = (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
            for (; have < need; ++have) {
                if (!reader.readByte(data[have])) {
                    return {MidiError::truncated, tick};
                }
                if (data[have] >= 0x80) {
                    return {MidiError::badEvent, tick};
                }
            }
            const std::uint32_t message =
                status | (std::uint32_t{data[0]} << 8) | (std::uint32_t{data[1]} << 16);
            events.push_back({tick, streamEvent(kStreamShortMessage, message)});
            continue;
        }

        // Meta and system exclusive events carry their own length. The running status is kept
        // across them: a well-formed file never relies on it there, and some files need it.
        std::uint8_t metaType = 0;
        if (first == 0xFF && !reader.readByte(metaType)) {
            return {MidiError::truncated, tick};
        }
        if (first != 0xFF && first != 0xF0 && first != 0xF7) {
            return {MidiError::badEvent, tick};
        }
        std::uint32_t length = 0;
        if (MidiError error = readQuantity(reader, length); error != MidiError::none) {
            return {error, tick};
        }
        std::span<const std::uint8_t> body;
        if (!reader.take(length, body)) {
            return {MidiError::truncated, tick};
        }
        if (first != 0xFF) {
            continue; // system exclusive: not sent
        }
        if (metaType == 0x2F) {
            return {MidiError::none, tick}; // End of Track: anything after it is ignored
        }
        if (metaType == 0x51) {
            if (body.size() != 3) {
                return {MidiError::badEvent, tick};
            }
            const std::uint32_t tempo =
                (std::uint32_t{body[0]} << 16) | (std::uint32_t{body[1]} << 8) | body[2];
            if (tempo == 0) {
                return {MidiError::badEvent, tick};
            }
            events.push_back({tick, streamEvent(kStreamTempo, tempo)});
        }
    }
    return {MidiError::none, tick};
}

std::optional<MidiStream> fail(MidiError reason, MidiError* error) {
    if (error != nullptr) {
        *error = reason;
    }
    return std::nullopt;
}

bool chunkTypeIs(std::span<const std::uint8_t> type, const char (&name)[5]) {
    return std::memcmp(type.data(), name, 4) == 0;
}

} // namespace

std::optional<MidiStream> parseMidiFile(std::span<const std::uint8_t> bytes, MidiError* error) {
    if (error != nullptr) {
        *error = MidiError::none;
    }
    if (bytes.size() > kMaxMidiFileBytes) {
        return fail(MidiError::tooLarge, error);
    }
    ByteReader file(bytes);
    std::span<const std::uint8_t> type;
    if (!file.take(4, type) || !chunkTypeIs(type, "MThd")) {
        return fail(MidiError::notMidi, error);
    }
    std::uint32_t headerLength = 0;
    std::span<const std::uint8_t> headerBytes;
    if (!file.readBigEndian(4, headerLength) || !file.take(headerLength, headerBytes)) {
        return fail(MidiError::truncated, error);
    }
    if (headerLength < 6) {
        return fail(MidiError::notMidi, error);
    }
    ByteReader header(headerBytes); // a longer header keeps fields we do not know: skipped
    std::uint32_t format = 0;
    std::uint32_t trackCount = 0;
    std::uint32_t division = 0;
    header.readBigEndian(2, format);
    header.readBigEndian(2, trackCount);
    header.readBigEndian(2, division);
    if (format > 1) {
        return fail(MidiError::unsupportedFormat, error);
    }
    if ((division & 0x8000) != 0) {
        return fail(MidiError::smpteDivision, error);
    }
    if (division == 0) {
        return fail(MidiError::zeroDivision, error);
    }
    if (trackCount == 0) {
        return fail(MidiError::noTracks, error);
    }

    std::vector<TimedEvent> events;
    std::uint64_t loopTicks = 0;
    for (std::uint32_t found = 0; found < trackCount;) {
        if (file.remaining() == 0) {
            return fail(MidiError::missingTracks, error);
        }
        std::uint32_t length = 0;
        std::span<const std::uint8_t> data;
        if (!file.take(4, type) || !file.readBigEndian(4, length) || !file.take(length, data)) {
            return fail(MidiError::truncated, error);
        }
        if (!chunkTypeIs(type, "MTrk")) {
            continue; // a chunk of a kind we do not know
        }
        const TrackResult track = parseTrack(data, events);
        if (track.error != MidiError::none) {
            return fail(track.error, error);
        }
        loopTicks = std::max(loopTicks, track.endTick);
        ++found;
    }

    // Tracks were appended in file order, so a stable sort by tick keeps track order, then
    // file order, among events of the same tick.
    std::stable_sort(events.begin(), events.end(),
                     [](const TimedEvent& a, const TimedEvent& b) { return a.tick < b.tick; });

    const bool hasMessage = std::any_of(events.begin(), events.end(), [](const TimedEvent& e) {
        return streamEventType(e.event) == kStreamShortMessage;
    });
    if (!hasMessage || loopTicks == 0) {
        return fail(MidiError::nothingToPlay, error);
    }

    // Each pass must start at the tempo of tick 0, not at the one the previous pass ended with.
    const bool tempoAtStart = std::any_of(events.begin(), events.end(), [](const TimedEvent& e) {
        return e.tick == 0 && streamEventType(e.event) == kStreamTempo;
    });
    if (!tempoAtStart) {
        events.insert(events.begin(), TimedEvent{0, streamEvent(kStreamTempo, kDefaultTempo)});
    }

    // The pass lasts until the latest End of Track: a last event there, restating the tempo in
    // force, holds the stream until then.
    if (events.back().tick < loopTicks) {
        std::uint32_t tempo = kDefaultTempo;
        for (const TimedEvent& e : events) {
            if (streamEventType(e.event) == kStreamTempo) {
                tempo = streamEventParameter(e.event);
            }
        }
        events.push_back({loopTicks, streamEvent(kStreamTempo, tempo)});
    }

    MidiStream stream;
    stream.ticksPerQuarter = static_cast<std::uint16_t>(division);
    stream.loopTicks = loopTicks;
    constexpr std::size_t perChunk = kMaxStreamBufferBytes / kStreamEventBytes;
    std::uint64_t previous = 0;
    for (std::size_t i = 0; i < events.size(); ++i) {
        const std::uint64_t delta = events[i].tick - previous;
        if (delta > 0xFFFFFFFFu) {
            return fail(MidiError::tooLong, error);
        }
        previous = events[i].tick;
        if (i % perChunk == 0) {
            stream.chunks.emplace_back();
            stream.chunks.back().reserve(std::min(perChunk, events.size() - i) * kStreamEventWords);
        }
        std::vector<std::uint32_t>& chunk = stream.chunks.back();
        chunk.push_back(static_cast<std::uint32_t>(delta));
        chunk.push_back(0); // stream ID
        chunk.push_back(events[i].event);
    }
    return stream;
}

} // namespace rudi
