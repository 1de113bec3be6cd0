#!/usr/bin/env python3
"""Writes the console's four short sounds into share/sounds/: soft sine chimes with a gentle
attack and decay, 16-bit mono at 22050 Hz. Run it again after changing a tune."""
import math
import pathlib
import struct
import wave

RATE = 22050
FOLDER = pathlib.Path(__file__).resolve().parent.parent / "share" / "sounds"

# (frequency in Hz, seconds) per note; notes follow each other with a little overlap.
TUNES = {
    "Good.wav": [(523.25, 0.12), (659.25, 0.12), (783.99, 0.28)],   # C5 E5 G5, rising
    "Failed.wav": [(392.00, 0.16), (261.63, 0.34)],                  # G4 C4, falling
    "On.wav": [(880.00, 0.09)],                                      # A5, a short blip
    "Off.wav": [(440.00, 0.09)],                                     # A4, a short blip
}


def note(frequency, seconds):
    n = int(RATE * seconds)
    attack = int(RATE * 0.008)
    out = []
    for i in range(n):
        t = i / RATE
        envelope = min(1.0, i / attack) * math.exp(-4.0 * t / seconds)
        # A touch of the octave makes it rounder than a bare sine.
        s = math.sin(2 * math.pi * frequency * t) + 0.25 * math.sin(4 * math.pi * frequency * t)
        out.append(0.32 * envelope * s / 1.25)
    return out


def tune(notes):
    samples = []
    for frequency, seconds in notes:
        samples.extend(note(frequency, seconds))
    fade = int(RATE * 0.01)
    for i in range(fade):
        samples[-1 - i] *= i / fade
    return samples


def main():
    FOLDER.mkdir(parents=True, exist_ok=True)
    for name, notes in TUNES.items():
        with wave.open(str(FOLDER / name), "wb") as w:
            w.setnchannels(1)
            w.setsampwidth(2)
            w.setframerate(RATE)
            w.writeframes(b"".join(struct.pack("<h", int(32767 * s)) for s in tune(notes)))


if __name__ == "__main__":
    main()
