#!/usr/bin/env python3
"""Writes the hour of the MIDI benchmark with python3-mido and prints the seconds it took.

The event list is the one bench/midi_bench.cpp writes: note k starts at tick 5k and ends at
tick 5k + 5 (10 ms at 250 ticks per quarter note, 120 quarter notes a minute), on channel
k mod 4, pitch 48 + (7k mod 36), velocity 100; each music track starts with the key
signature of 3 sharps (A major); format 1 puts a tempo track first. The time covers
building the messages and saving the file.
"""
import argparse
import time

import mido

NOTES = 360000
CHANNELS = 4
DIVISION = 250
TICKS_PER_NOTE = 5


def music_events():
    """(tick, channel, message type, note, velocity) in time order."""
    for k in range(NOTES):
        start = k * TICKS_PER_NOTE
        channel = k % CHANNELS
        pitch = 48 + (k * 7) % 36
        yield start, channel, 'note_on', pitch, 100
        yield start + TICKS_PER_NOTE, channel, 'note_off', pitch, 0


def build(file_format):
    midi = mido.MidiFile(type=file_format, ticks_per_beat=DIVISION)
    if file_format == 1:
        tempo = mido.MidiTrack()
        tempo.append(mido.MetaMessage('set_tempo', tempo=500000, time=0))
        midi.tracks.append(tempo)
    track_count = 1 if file_format == 0 else CHANNELS
    tracks = [mido.MidiTrack() for _ in range(track_count)]
    for track in tracks:
        track.append(mido.MetaMessage('key_signature', key='A', time=0))
        midi.tracks.append(track)
    last = [0] * track_count
    for tick, channel, kind, note, velocity in music_events():
        t = 0 if file_format == 0 else channel
        tracks[t].append(mido.Message(kind, channel=channel, note=note, velocity=velocity, time=tick - last[t]))
        last[t] = tick
    return midi


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument('--format', type=int, choices=(0, 1), default=0)
    parser.add_argument('--out', required=True)
    args = parser.parse_args()
    start = time.perf_counter()
    build(args.format).save(args.out)
    print(time.perf_counter() - start)


if __name__ == '__main__':
    main()
