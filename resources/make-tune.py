#!/usr/bin/env python3
"""Writes the rest window's tune, tune.mid: a calm piece in F major for flute, piano and
strings, about 68 seconds long, that loops seamlessly.

Standard MIDI File, format 1, 480 ticks per quarter note, three tracks:
  1. the tempo map: 72 quarter notes a minute, a gentle ritardando over the last two bars,
     the time signature 4/4 and the key signature F major;
  2. the melody, flute on channel 1;
  3. the accompaniment, piano arpeggios on channel 2 and sustained strings on channel 3.

Notes end with a note-on of velocity 0 and channel messages use running status, so long
stretches of a track hold no status bytes. Every track ends with End of Track at the same
tick, on a bar line, after the last note has been released, so the next pass starts cleanly
on the downbeat.

Form: two bars of piano alone, then A (4 bars), A' (4), B (4), A'' (4) and a two-bar close,
twenty bars in all.

Run from anywhere: python3 resources/make-tune.py  (writes tune.mid beside this script)
Only the standard library is used.
"""

import os
import struct
import sys

TICKS_PER_QUARTER = 480
BAR = 4 * TICKS_PER_QUARTER  # 4/4 throughout
BARS = 20
END = BARS * BAR

FLUTE, PIANO, STRINGS = 0, 1, 2  # channels (shown as 1, 2, 3 in most sequencers)

# General MIDI programs, counted from 0.
PROGRAM_FLUTE = 73
PROGRAM_PIANO = 0  # acoustic grand piano
PROGRAM_STRINGS = 49  # string ensemble 2, the slower one

NOTE_NUMBERS = {"C": 0, "D": 2, "E": 4, "F": 5, "G": 7, "A": 9, "B": 11}


def note(name):
    """'C5', 'Bb4', 'F#3' -> MIDI note number (C4 = 60)."""
    pitch = NOTE_NUMBERS[name[0]]
    rest = name[1:]
    while rest and rest[0] in "b#":
        pitch += -1 if rest[0] == "b" else 1
        rest = rest[1:]
    return 12 * (int(rest) + 1) + pitch


# --- The piece ------------------------------------------------------------------------------------

# One chord a bar, or two a bar ("Bb C": two beats each).
HARMONY = [
    "F", "C",  # piano alone
    "F", "Am", "Bb", "C",  # A
    "F", "Am", "Bb C", "F",  # A'
    "Dm", "Bb", "Gm", "C",  # B
    "F", "Am", "Bb C", "F",  # A''
    "Bb", "F",  # close
]

# Piano voicings, low to high: bass, fifth, octave, third, fifth above.
PIANO_VOICING = {
    "F": ["F2", "C3", "F3", "A3", "C4"],
    "C": ["C2", "G2", "C3", "E3", "G3"],
    "Am": ["A2", "E3", "A3", "C4", "E4"],
    "Bb": ["Bb2", "F3", "Bb3", "D4", "F4"],
    "Dm": ["D2", "A2", "D3", "F3", "A3"],
    "Gm": ["G2", "D3", "G3", "Bb3", "D4"],
}

# Strings: three close chord tones around middle C.
STRING_VOICING = {
    "F": ["A3", "C4", "F4"],
    "C": ["G3", "C4", "E4"],
    "Am": ["A3", "C4", "E4"],
    "Bb": ["Bb3", "D4", "F4"],
    "Dm": ["A3", "D4", "F4"],
    "Gm": ["G3", "Bb3", "D4"],
}

# The melody, bar by bar from bar 3: (note, beats); None is a rest.
MELODY = [
    # A
    [("C5", 1.5), ("A4", 0.5), ("F5", 1), ("E5", 0.5), ("D5", 0.5)],
    [("C5", 1.5), ("E5", 0.5), ("A4", 2)],
    [("Bb4", 1), ("D5", 1), ("F5", 2)],
    [("G5", 1.5), ("F5", 0.5), ("E5", 2)],
    # A'
    [("C5", 1.5), ("A4", 0.5), ("F5", 1), ("G5", 1)],
    [("A5", 1.5), ("G5", 0.5), ("E5", 2)],
    [("D5", 1), ("F5", 1), ("E5", 1), ("G5", 1)],
    [("F5", 3), (None, 1)],
    # B
    [("A5", 1.5), ("F5", 0.5), ("D5", 1), ("F5", 1)],
    [("F5", 1.5), ("D5", 0.5), ("Bb4", 2)],
    [("Bb4", 1), ("D5", 1), ("G5", 1.5), ("F5", 0.5)],
    [("E5", 1.5), ("F5", 0.5), ("G5", 2)],
    # A''
    [("A5", 1.5), ("G5", 0.5), ("F5", 1), ("C5", 1)],
    [("E5", 1.5), ("D5", 0.5), ("C5", 1), ("A4", 1)],
    [("D5", 1), ("F5", 1), ("E5", 1), ("D5", 0.5), ("E5", 0.5)],
    [("F5", 3), (None, 1)],
    # close
    [("F5", 1), ("D5", 1), ("C5", 1), ("Bb4", 1)],
    [("A4", 3), (None, 1)],
]
MELODY_FIRST_BAR = 3

# Tempo map: (bar, beat, quarter notes a minute); bars and beats counted from 1.
TEMPI = [(1, 1, 72), (19, 1, 66), (19, 3, 63), (20, 1, 58)]


def at(bar, beat=1.0):
    """The tick of a beat of a bar, both counted from 1."""
    return (bar - 1) * BAR + round((beat - 1) * TICKS_PER_QUARTER)


def chords_of(bar):
    """The chords of a bar with their start tick and length in ticks."""
    names = HARMONY[bar - 1].split()
    span = BAR // len(names)
    return [(name, at(bar) + i * span, span) for i, name in enumerate(names)]


# --- Events ---------------------------------------------------------------------------------------

# An event: (tick, order, bytes). At the same tick, meta events come first, then controllers
# and programs, then note-offs before note-ons, so a note struck again is released first.
META, SETUP, NOTE_OFF, NOTE_ON = range(4)


def meta(tick, kind, data):
    return (tick, META, bytes([0xFF, kind]) + quantity(len(data)) + data)


def control(tick, channel, number, value):
    return (tick, SETUP, bytes([0xB0 | channel, number, value]))


def program(tick, channel, number):
    return (tick, SETUP, bytes([0xC0 | channel, number]))


def play(events, channel, pitch, start, length, velocity):
    assert 0 < length and 0 < velocity < 128
    events.append((start, NOTE_ON, bytes([0x90 | channel, pitch, velocity])))
    events.append((start + length, NOTE_OFF, bytes([0x90 | channel, pitch, 0])))


def set_up(tick, channel, number, volume, pan, reverb):
    return [
        control(tick, channel, 0, 0),  # bank select: the General MIDI bank
        program(tick, channel, number),
        control(tick, channel, 7, volume),
        control(tick, channel, 10, pan),
        control(tick, channel, 91, reverb),
    ]


def tempo_track():
    events = [meta(0, 0x03, b"rudi rest tune")]
    events.append(meta(0, 0x58, bytes([4, 2, 24, 8])))  # 4/4, a click each quarter note
    events.append(meta(0, 0x59, bytes([0xFF, 0])))  # one flat, major: F major
    for bar, beat, bpm in TEMPI:
        microseconds = round(60_000_000 / bpm)
        events.append(meta(at(bar, beat), 0x51, microseconds.to_bytes(3, "big")))
    return events


def melody_track():
    events = [meta(0, 0x03, b"Flute")]
    events += set_up(0, FLUTE, PROGRAM_FLUTE, volume=96, pan=72, reverb=48)
    for index, notes in enumerate(MELODY):
        bar = MELODY_FIRST_BAR + index
        beat = 1.0
        for position, (name, beats) in enumerate(notes):
            if name is not None:
                start = at(bar, beat)
                length = round(beats * TICKS_PER_QUARTER)
                # short notes a little detached, long ones nearly legato
                length -= 40 if beats <= 1 else 20
                # the first note of a bar leans a little; long notes sing out
                velocity = 72 + (8 if position == 0 else 0) + (4 if beats >= 2 else 0)
                play(events, FLUTE, note(name), start, length, velocity)
            beat += beats
        assert beat == 5.0, f"bar {bar} of the melody does not fill four beats"
    return events


def accompaniment_track():
    events = [meta(0, 0x03, b"Piano and strings")]
    events += set_up(0, PIANO, PROGRAM_PIANO, volume=100, pan=52, reverb=56)
    events += set_up(0, STRINGS, PROGRAM_STRINGS, volume=60, pan=80, reverb=64)
    eighth = TICKS_PER_QUARTER // 2
    strings = []  # [pitch, start, end] of each chord tone of the strings
    for bar in range(1, BARS + 1):
        for name, start, span in chords_of(bar):
            voicing = [note(n) for n in PIANO_VOICING[name]]
            if bar == BARS:
                # the last chord is rolled once and let ring, released before the bar ends
                # so that the next pass begins in silence
                rolled = voicing + [voicing[2] + 12]
                for i, pitch in enumerate(rolled):
                    offset = i * 40
                    play(events, PIANO, pitch, start + offset, at(BARS, 4.5) - start - offset,
                         58 - 3 * i)
            else:
                # bass held through the chord, the others broken in eighths and ringing on
                pattern = [0, 1, 2, 3, 4, 3, 2, 1][: span // eighth]
                for step, voice in enumerate(pattern):
                    t = start + step * eighth
                    if voice == 0:
                        play(events, PIANO, voicing[0], t, span - 10, 66)
                    else:
                        accent = 6 if step % 4 == 0 else 0
                        # ringing on, but not into the next chord
                        ring = min(eighth * 3 // 2, start + span - 10 - t)
                        play(events, PIANO, voicing[voice], t, ring, 50 + accent)
            if bar >= MELODY_FIRST_BAR:
                for pitch in STRING_VOICING[name]:
                    strings.append([note(pitch), start, start + span])
    # A tone that two chords share is held over, not struck again; every string note ends a
    # little before the next one of its pitch, and the last chord fades before the bar line.
    held = []
    for pitch, start, end in strings:
        same = [h for h in held if h[0] == pitch and h[2] == start]
        if same:
            same[0][2] = end
        else:
            held.append([pitch, start, end])
    for pitch, start, end in held:
        end = at(BARS, 4.75) if end == END else end - 10
        play(events, STRINGS, pitch, start, end - start, 46)
    return events


# --- The file -------------------------------------------------------------------------------------


def quantity(value):
    """A variable-length quantity: seven bits a byte, the high bit set on all but the last."""
    assert 0 <= value < 1 << 28
    out = [value & 0x7F]
    value >>= 7
    while value:
        out.append(0x80 | (value & 0x7F))
        value >>= 7
    return bytes(reversed(out))


def track_chunk(events):
    events = sorted(events, key=lambda e: (e[0], e[1]))
    assert events[-1][0] <= END, "an event lies past the end of the tune"
    data = bytearray()
    tick = 0
    running = None  # the status byte a data byte would repeat
    for when, _, message in events:
        data += quantity(when - tick)
        tick = when
        status = message[0]
        if status >= 0xF0:
            running = None  # meta and system exclusive events cancel running status
            data += message
        elif status == running:
            data += message[1:]
        else:
            running = status
            data += message
    data += quantity(END - tick) + b"\xFF\x2F\x00"  # End of Track, on the last bar line
    return b"MTrk" + struct.pack(">I", len(data)) + bytes(data)


def midi_file(tracks):
    header = b"MThd" + struct.pack(">IHHH", 6, 1, len(tracks), TICKS_PER_QUARTER)
    return header + b"".join(track_chunk(t) for t in tracks)


def main():
    assert len(HARMONY) == BARS and len(MELODY) == BARS - MELODY_FIRST_BAR + 1
    data = midi_file([tempo_track(), melody_track(), accompaniment_track()])
    target = os.path.join(os.path.dirname(os.path.abspath(__file__)), "tune.mid")
    with open(target, "wb") as f:
        f.write(data)
    seconds = 0.0
    for (bar, beat, bpm), following in zip(TEMPI, TEMPI[1:] + [(BARS + 1, 1, None)]):
        seconds += (at(*following[:2]) - at(bar, beat)) / TICKS_PER_QUARTER * 60 / bpm
    print(f"{target}: {len(data)} bytes, {seconds:.1f} seconds")


if __name__ == "__main__":
    sys.exit(main())
