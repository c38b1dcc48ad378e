#include "runtime/midi_file.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace rudi {
namespace {

using Bytes = std::vector<std::uint8_t>;

// ---- Building files ------------------------------------------------------------------------

void appendQuantity(Bytes& out, std::uint32_t value) {
    std::uint8_t groups[5];
    int count = 0;
    do {
        groups[count++] = value & 0x7F;
        value >>= 7;
    } while (value != 0);
    while (count > 1) {
        out.push_back(groups[--count] | 0x80);
    }
    out.push_back(groups[0]);
}

void appendBigEndian(Bytes& out, std::uint32_t value, int bytes) {
    for (int shift = (bytes - 1) * 8; shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

// One track event as written in the file: the delta, then the bytes exactly as given (leave out
// the status byte to use running status).
struct RawEvent {
    std::uint32_t delta;
    Bytes bytes;
};

RawEvent tempo(std::uint32_t delta, std::uint32_t microsecondsPerQuarter) {
    return {delta,
            {0xFF, 0x51, 0x03, static_cast<std::uint8_t>(microsecondsPerQuarter >> 16),
             static_cast<std::uint8_t>(microsecondsPerQuarter >> 8),
             static_cast<std::uint8_t>(microsecondsPerQuarter)}};
}

RawEvent endOfTrack(std::uint32_t delta) {
    return {delta, {0xFF, 0x2F, 0x00}};
}

Bytes trackData(const std::vector<RawEvent>& events) {
    Bytes data;
    for (const RawEvent& event : events) {
        appendQuantity(data, event.delta);
        data.insert(data.end(), event.bytes.begin(), event.bytes.end());
    }
    return data;
}

Bytes chunk(const char* type, const Bytes& data) {
    Bytes out(type, type + 4);
    appendBigEndian(out, static_cast<std::uint32_t>(data.size()), 4);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

Bytes header(std::uint16_t format, std::uint16_t tracks, std::uint16_t division) {
    Bytes data;
    appendBigEndian(data, format, 2);
    appendBigEndian(data, tracks, 2);
    appendBigEndian(data, division, 2);
    return chunk("MThd", data);
}

// A whole file: the header announces as many tracks as given, unless told otherwise.
Bytes midiFile(const std::vector<std::vector<RawEvent>>& tracks, std::uint16_t division = 480,
               std::uint16_t format = 1, int announcedTracks = -1) {
    Bytes out = header(
        format, static_cast<std::uint16_t>(announcedTracks < 0 ? tracks.size() : announcedTracks),
        division);
    for (const auto& track : tracks) {
        Bytes c = chunk("MTrk", trackData(track));
        out.insert(out.end(), c.begin(), c.end());
    }
    return out;
}

// ---- Reading streams -----------------------------------------------------------------------

struct StreamEvent {
    std::uint32_t delta;
    std::uint32_t event;
    bool operator==(const StreamEvent&) const = default;
};

std::ostream& operator<<(std::ostream& os, const StreamEvent& e) {
    return os << "{" << e.delta << ", 0x" << std::hex << e.event << std::dec << "}";
}

constexpr std::uint32_t shortMessage(std::uint32_t status, std::uint32_t data1,
                                     std::uint32_t data2 = 0) {
    return status | (data1 << 8) | (data2 << 16);
}
constexpr std::uint32_t tempoEvent(std::uint32_t microseconds) {
    return 0x01000000 | microseconds;
}

// The events of all chunks in order; checks the layout of every buffer on the way.
std::vector<StreamEvent> events(const MidiStream& stream) {
    std::vector<StreamEvent> out;
    for (const auto& words : stream.chunks) {
        EXPECT_FALSE(words.empty());
        EXPECT_LE(words.size() * sizeof(std::uint32_t), kMaxStreamBufferBytes);
        EXPECT_EQ(words.size() % kStreamEventWords, 0u);
        for (std::size_t i = 0; i + 2 < words.size(); i += kStreamEventWords) {
            EXPECT_EQ(words[i + 1], 0u) << "stream ID at word " << i + 1;
            const std::uint32_t type = streamEventType(words[i + 2]);
            EXPECT_TRUE(type == kStreamShortMessage || type == kStreamTempo) << type;
            out.push_back({words[i], words[i + 2]});
        }
    }
    return out;
}

// Playing time of one pass: each delta lasts at the tempo in force before its event.
double durationSeconds(const MidiStream& stream) {
    double seconds = 0;
    std::uint32_t tempoNow = kDefaultTempo;
    for (const StreamEvent& e : events(stream)) {
        seconds += double(e.delta) * tempoNow / stream.ticksPerQuarter / 1e6;
        if (streamEventType(e.event) == kStreamTempo) {
            tempoNow = streamEventParameter(e.event);
        }
    }
    return seconds;
}

// ---- Sound files ---------------------------------------------------------------------------

struct ParseCase {
    const char* name;
    Bytes file;
    std::uint16_t division;
    std::uint64_t loopTicks;
    std::vector<StreamEvent> expected;
};

void PrintTo(const ParseCase& c, std::ostream* os) {
    *os << c.name;
}

class ParsesTo : public testing::TestWithParam<ParseCase> {};

TEST_P(ParsesTo, ExpectedStreamWords) {
    const ParseCase& c = GetParam();
    MidiError error = MidiError::tooLong;
    const auto stream = parseMidiFile(c.file, &error);
    ASSERT_TRUE(stream.has_value()) << "error " << static_cast<int>(error);
    EXPECT_EQ(error, MidiError::none);
    EXPECT_EQ(stream->ticksPerQuarter, c.division);
    EXPECT_EQ(stream->loopTicks, c.loopTicks);
    EXPECT_EQ(events(*stream), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    MidiFile, ParsesTo,
    testing::Values(
        // Running status expanded, one- and two-byte messages, the pad up to End of Track.
        ParseCase{"RunningStatusAndEndPad",
                  midiFile({{tempo(0, 1000000),
                             {0, {0x90, 0x3C, 0x64}},
                             {240, {0x40, 0x50}}, // running note on
                             {240, {0x3C, 0x00}}, // running note on, velocity 0: release
                             {0, {0xC1, 0x05}},
                             {10, {0x07}}, // running program change: one data byte
                             {0, {0xE0, 0x00, 0x40}},
                             {0, {0x80, 0x40, 0x00}},
                             endOfTrack(470)}},
                           96, 0),
                  96,
                  960,
                  {{0, tempoEvent(1000000)},
                   {0, shortMessage(0x90, 0x3C, 0x64)},
                   {240, shortMessage(0x90, 0x40, 0x50)},
                   {240, shortMessage(0x90, 0x3C, 0x00)},
                   {0, shortMessage(0xC1, 0x05)},
                   {10, shortMessage(0xC1, 0x07)},
                   {0, shortMessage(0xE0, 0x00, 0x40)},
                   {0, shortMessage(0x80, 0x40, 0x00)},
                   {470, tempoEvent(1000000)}}},
        // Two tracks merged by time; at equal times the first track comes first, and within a
        // track the file order holds. The tempo is in the first track, set at tick 0.
        ParseCase{"MergeOrderOfTwoTracks",
                  midiFile({{tempo(0, 600000), tempo(960, 400000), endOfTrack(0)},
                            {{0, {0x91, 0x30, 0x40}},
                             {480, {0x81, 0x30, 0x00}},
                             {0, {0x91, 0x32, 0x40}},
                             {480, {0x81, 0x32, 0x00}},
                             {480, {0x91, 0x34, 0x40}},
                             {480, {0x81, 0x34, 0x00}},
                             endOfTrack(0)}}),
                  480,
                  1920,
                  {{0, tempoEvent(600000)},
                   {0, shortMessage(0x91, 0x30, 0x40)},
                   {480, shortMessage(0x81, 0x30, 0x00)},
                   {0, shortMessage(0x91, 0x32, 0x40)},
                   {480, tempoEvent(400000)},
                   {0, shortMessage(0x81, 0x32, 0x00)},
                   {480, shortMessage(0x91, 0x34, 0x40)},
                   {480, shortMessage(0x81, 0x34, 0x00)}}},
        // A tempo at tick 0 in a later track still counts as the start tempo: nothing added.
        ParseCase{"StartTempoInLaterTrack",
                  midiFile({{{0, {0x90, 0x40, 0x40}}, {120, {0x80, 0x40, 0x00}}},
                            {tempo(0, 250000), endOfTrack(120)}}),
                  480,
                  120,
                  {{0, shortMessage(0x90, 0x40, 0x40)},
                   {0, tempoEvent(250000)},
                   {120, shortMessage(0x80, 0x40, 0x00)}}},
        // No tempo at all: each pass starts at 500000 µs per quarter note. The pad restates the
        // tempo in force at the end. A track without End of Track ends at its last event.
        ParseCase{"DefaultTempoAndNoEndOfTrack",
                  midiFile({{{0, {0x90, 0x40, 0x40}}, {100, {0x80, 0x40, 0x00}}},
                            {{50, {0x99, 0x24, 0x70}}, endOfTrack(250)}}),
                  480,
                  300,
                  {{0, tempoEvent(kDefaultTempo)},
                   {0, shortMessage(0x90, 0x40, 0x40)},
                   {50, shortMessage(0x99, 0x24, 0x70)},
                   {50, shortMessage(0x80, 0x40, 0x00)},
                   {200, tempoEvent(kDefaultTempo)}}},
        // Other meta events, system exclusive (F0 and F7), unknown chunks, a long header and
        // bytes after End of Track are skipped; their deltas still count.
        ParseCase{"SkipsWhatIsNotPlayed",
                  [] {
                      Bytes data = {0, 1, 0, 1, 0x01, 0xE0, 0xAA, 0xBB}; // 8-byte header
                      Bytes file = chunk("MThd", data);
                      const Bytes unknown = chunk("XFIH", {1, 2, 3, 4, 5});
                      file.insert(file.end(), unknown.begin(), unknown.end());
                      const Bytes track =
                          chunk("MTrk", trackData({{0, {0xFF, 0x03, 0x04, 'T', 'u', 'n', 'e'}},
                                                   {0, {0x90, 0x45, 0x30}},
                                                   {10, {0xF0, 0x03, 0x7E, 0x09, 0xF7}},
                                                   {10, {0xF7, 0x01, 0xF7}},
                                                   {10, {0xFF, 0x58, 0x04, 4, 2, 24, 8}},
                                                   {10, {0x45, 0x00}}, // running status survives
                                                   endOfTrack(0),
                                                   {0, {0x90, 0x50, 0x50}}}));
                      file.insert(file.end(), track.begin(), track.end());
                      return file;
                  }(),
                  480,
                  40,
                  {{0, tempoEvent(kDefaultTempo)},
                   {0, shortMessage(0x90, 0x45, 0x30)},
                   {40, shortMessage(0x90, 0x45, 0x00)}}},
        // Four-byte quantities, the longest allowed: 0FFFFFFFh ticks.
        ParseCase{"LongestDelta",
                  midiFile({{{0x0FFFFFFF, {0x90, 0x40, 0x40}}, endOfTrack(0)}}),
                  480,
                  0x0FFFFFFF,
                  {{0, tempoEvent(kDefaultTempo)}, {0x0FFFFFFF, shortMessage(0x90, 0x40, 0x40)}}}),
    [](const testing::TestParamInfo<ParseCase>& info) { return std::string(info.param.name); });

TEST(MidiFile, LongTuneSplitsIntoWholeEventBuffersOfAtMost64KB) {
    std::vector<RawEvent> notes;
    const int count = 12000; // 24000 events: more than four buffers
    for (int i = 0; i < count; ++i) {
        notes.push_back({i == 0 ? 0u : 1u, {0x90, static_cast<std::uint8_t>(i % 128), 0x40}});
        notes.push_back({2, {static_cast<std::uint8_t>(i % 128), 0x00}});
    }
    const auto stream = parseMidiFile(midiFile({notes}));
    ASSERT_TRUE(stream.has_value());
    ASSERT_EQ(stream->chunks.size(), 5u);
    for (std::size_t i = 0; i + 1 < stream->chunks.size(); ++i) {
        EXPECT_EQ(stream->chunks[i].size() * 4, kMaxStreamBufferBytes / 12 * 12) << i;
    }
    const std::vector<StreamEvent> all = events(*stream);
    ASSERT_EQ(all.size(), 1u + 2 * count);
    EXPECT_EQ(all.front(), (StreamEvent{0, tempoEvent(kDefaultTempo)}));
    std::uint64_t ticks = 0;
    for (std::size_t i = 1; i < all.size(); ++i) {
        const int note = int(i - 1) / 2;
        const bool on = (i - 1) % 2 == 0;
        const StreamEvent expected{on ? (note == 0 ? 0u : 1u) : 2u,
                                   shortMessage(0x90, note % 128, on ? 0x40 : 0x00)};
        ASSERT_EQ(all[i], expected) << "event " << i;
        ticks += all[i].delta;
    }
    EXPECT_EQ(ticks, stream->loopTicks);
    EXPECT_EQ(stream->loopTicks, 3u * count - 1);
}

// ---- Damaged files -------------------------------------------------------------------------

struct ErrorCase {
    const char* name;
    Bytes file;
    MidiError error;
};

void PrintTo(const ErrorCase& c, std::ostream* os) {
    *os << c.name;
}

class Rejects : public testing::TestWithParam<ErrorCase> {};

TEST_P(Rejects, WithTheReason) {
    const ErrorCase& c = GetParam();
    MidiError error = MidiError::none;
    EXPECT_FALSE(parseMidiFile(c.file, &error).has_value());
    EXPECT_EQ(error, c.error);
}

const std::vector<RawEvent> oneNote = {{0, {0x90, 0x40, 0x40}}, {10, {0x80, 0x40, 0}}};

Bytes withTrackChunkLength(Bytes file, std::uint32_t length) {
    // The first MTrk length field follows the 14-byte header and the 4-byte chunk type.
    for (int i = 0; i < 4; ++i) {
        file[18 + i] = static_cast<std::uint8_t>(length >> (24 - 8 * i));
    }
    return file;
}

INSTANTIATE_TEST_SUITE_P(
    MidiFile, Rejects,
    testing::Values(
        ErrorCase{"Empty", {}, MidiError::notMidi},
        ErrorCase{"NotAMidiFile", chunk("RIFF", {0, 1, 0, 1, 0, 96}), MidiError::notMidi},
        ErrorCase{"HeaderTooShort", chunk("MThd", {0, 1, 0, 1, 0}), MidiError::notMidi},
        ErrorCase{"HeaderLengthPastEnd",
                  [] {
                      Bytes file = midiFile({oneNote});
                      file[7] = 200;
                      return file;
                  }(),
                  MidiError::truncated},
        ErrorCase{"FormatTwo", midiFile({oneNote}, 480, 2), MidiError::unsupportedFormat},
        ErrorCase{"SmpteDivision", midiFile({oneNote}, 0xE728), MidiError::smpteDivision},
        ErrorCase{"ZeroDivision", midiFile({oneNote}, 0), MidiError::zeroDivision},
        ErrorCase{"ZeroTracks", midiFile({oneNote}, 480, 1, 0), MidiError::noTracks},
        ErrorCase{"MoreTracksAnnouncedThanPresent", midiFile({oneNote, oneNote}, 480, 1, 3),
                  MidiError::missingTracks},
        ErrorCase{"UnknownChunkInPlaceOfTrack",
                  [] {
                      Bytes file = header(1, 1, 480);
                      const Bytes other = chunk("MTrx", trackData(oneNote));
                      file.insert(file.end(), other.begin(), other.end());
                      return file;
                  }(),
                  MidiError::missingTracks},
        ErrorCase{"TrackLengthPastEnd", withTrackChunkLength(midiFile({oneNote}), 1000),
                  MidiError::truncated},
        ErrorCase{"TrackLengthHuge", withTrackChunkLength(midiFile({oneNote}), 0xFFFFFFFF),
                  MidiError::truncated},
        ErrorCase{"TrackLengthCutsAnEvent", withTrackChunkLength(midiFile({oneNote}), 6),
                  MidiError::truncated},
        ErrorCase{"DeltaOfFiveBytes",
                  // The note's bytes run on into the next delta: 81 80 80 80 00.
                  midiFile({{{0, {0x90, 0x40, 0x40, 0x81, 0x80, 0x80, 0x80, 0x00, 0x80, 0x40,
                                  0x00}}}}),
                  MidiError::badQuantity},
        ErrorCase{"MetaLengthOfFiveBytes",
                  midiFile({{{0, {0x90, 0x40, 0x40}}, {0, {0xFF, 0x01, 0x80, 0x80, 0x80, 0x80,
                                                           0x01}}}}),
                  MidiError::badQuantity},
        ErrorCase{"MetaLengthPastTrack",
                  midiFile({{{0, {0x90, 0x40, 0x40}}, {0, {0xFF, 0x01, 0x7F, 'x'}}}}),
                  MidiError::truncated},
        ErrorCase{"SysExLengthPastTrack",
                  midiFile({{{0, {0x90, 0x40, 0x40}}, {0, {0xF0, 0x8F, 0x7F, 0x01}}}}),
                  MidiError::truncated},
        ErrorCase{"RunningStatusWithoutStatus", midiFile({{{0, {0x40, 0x40}}}}),
                  MidiError::noRunningStatus},
        ErrorCase{"StatusByteInPlaceOfData", midiFile({{{0, {0x90, 0x40, 0x90, 0x40}}}}),
                  MidiError::badEvent},
        ErrorCase{"SystemCommonInFile", midiFile({{{0, {0xF2, 0x00, 0x00}}}}),
                  MidiError::badEvent},
        ErrorCase{"TempoOfTwoBytes", midiFile({{{0, {0xFF, 0x51, 0x02, 0x07, 0xA1}}}}),
                  MidiError::badEvent},
        ErrorCase{"TempoZero", midiFile({{tempo(0, 0)}, oneNote}), MidiError::badEvent},
        ErrorCase{"OnlyMetaEvents", midiFile({{tempo(0, 500000), endOfTrack(960)}}),
                  MidiError::nothingToPlay},
        ErrorCase{"EmptyTracks", midiFile({{}, {}}), MidiError::nothingToPlay},
        ErrorCase{"NoTicksToLoop",
                  midiFile({{{0, {0x90, 0x40, 0x40}}, {0, {0x80, 0x40, 0}}, endOfTrack(0)}}),
                  MidiError::nothingToPlay},
        // Skipped meta events can pile up a gap longer than a stream delta holds.
        ErrorCase{"GapBeyond32Bits",
                  [] {
                      std::vector<RawEvent> track = {{0, {0x90, 0x40, 0x40}}};
                      for (int i = 0; i < 17; ++i) {
                          track.push_back({0x0FFFFFFF, {0xFF, 0x01, 0x00}});
                      }
                      track.push_back({0, {0x80, 0x40, 0x00}});
                      return midiFile({track});
                  }(),
                  MidiError::tooLong},
        ErrorCase{"LargerThanAnyTune",
                  [] {
                      Bytes file = midiFile({oneNote});
                      file.resize(kMaxMidiFileBytes + 1);
                      return file;
                  }(),
                  MidiError::tooLarge}),
    [](const testing::TestParamInfo<ErrorCase>& info) { return std::string(info.param.name); });

Bytes smallValidFile() {
    return midiFile({{tempo(0, 500000), {0, {0xFF, 0x03, 0x01, 'a'}}, endOfTrack(0)},
                     {{0, {0xC0, 0x10}},
                      {0, {0x90, 0x3C, 0x50}},
                      {0x81, {0x3C, 0x00}},
                      {0x2000, {0xF0, 0x02, 0x01, 0xF7}},
                      {0, {0xB0, 0x07, 0x64}},
                      endOfTrack(0x90)}});
}

TEST(MidiFile, EveryTruncationIsAnErrorAndTheWholeFileParses) {
    const Bytes file = smallValidFile();
    ASSERT_TRUE(parseMidiFile(file).has_value());
    for (std::size_t length = 0; length < file.size(); ++length) {
        MidiError error = MidiError::none;
        const auto stream =
            parseMidiFile(std::span<const std::uint8_t>(file.data(), length), &error);
        EXPECT_FALSE(stream.has_value()) << "cut at " << length;
        EXPECT_NE(error, MidiError::none) << "cut at " << length;
    }
}

// Any byte of a small file changed to a few telling values: either a clean error or a stream
// whose layout holds (checked by events()).
TEST(MidiFile, EverySingleByteDamageGivesAnErrorOrASoundStream) {
    const Bytes file = smallValidFile();
    int parsed = 0;
    for (std::size_t at = 0; at < file.size(); ++at) {
        for (std::uint8_t value : {0x00, 0x01, 0x7F, 0x80, 0x90, 0xF0, 0xFF}) {
            Bytes damaged = file;
            damaged[at] = value;
            MidiError error = MidiError::none;
            const auto stream = parseMidiFile(damaged, &error);
            EXPECT_EQ(stream.has_value(), error == MidiError::none) << at;
            if (stream) {
                ++parsed;
                EXPECT_GT(stream->loopTicks, 0u);
                EXPECT_NE(stream->ticksPerQuarter, 0);
                const auto all = events(*stream);
                ASSERT_FALSE(all.empty());
                EXPECT_EQ(streamEventType(all.front().event), kStreamTempo) << at;
            }
        }
    }
    EXPECT_GT(parsed, 0); // some damage (to a velocity, say) still leaves a playable file
}

// ---- The program's tune --------------------------------------------------------------------

TEST(MidiFile, TheRestTuneParses) {
    const std::filesystem::path path = RUDI_SOURCE_DIR "/resources/tune.mid";
    if (!std::filesystem::exists(path)) {
        GTEST_SKIP() << path << " is not there yet";
    }
    std::ifstream in(path, std::ios::binary);
    const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GE(file.size(), 14u);
    EXPECT_EQ((file[8] << 8) | file[9], 1) << "format";
    EXPECT_EQ((file[10] << 8) | file[11], 3) << "tracks";

    MidiError error = MidiError::none;
    const auto stream = parseMidiFile(file, &error);
    ASSERT_TRUE(stream.has_value()) << "error " << static_cast<int>(error);
    EXPECT_EQ(stream->ticksPerQuarter, 480);

    // The file sets its own tempo: at least one tempo meta event in it, and in the stream.
    int tempoMetas = 0;
    for (std::size_t i = 0; i + 2 < file.size(); ++i) {
        tempoMetas += file[i] == 0xFF && file[i + 1] == 0x51 && file[i + 2] == 0x03;
    }
    EXPECT_GE(tempoMetas, 1);
    int tempoEvents = 0;
    int messages = 0;
    for (const StreamEvent& e : events(*stream)) {
        tempoEvents += streamEventType(e.event) == kStreamTempo;
        messages += streamEventType(e.event) == kStreamShortMessage;
    }
    EXPECT_GE(tempoEvents, 1);
    EXPECT_GT(messages, 50);

    const double seconds = durationSeconds(*stream);
    EXPECT_GT(seconds, 5.0);
    EXPECT_LT(seconds, 600.0);
    std::cout << "tune: " << file.size() << " bytes, " << stream->chunks.size() << " buffer(s), "
              << messages << " messages, " << tempoEvents << " tempo events, " << seconds
              << " s a pass\n";
}

} // namespace
} // namespace rudi
