#!/usr/bin/env python3
"""Makes the game's nine sound clips (assets/sounds/sound1.wav .. sound9.wav).

44.1 kHz 16-bit PCM; the effects are mono, the background loop is stereo.
Everything is synthesised from sines and seeded noise, so a run gives the same
files byte for byte. Every clip starts and ends at silence (short fades), and
the loop's partials and its slow swell complete whole cycles over its length,
so its end joins its start without a click.

    tools/make-sounds.py [OUTDIR] [--report]

--report prints each clip's length, peak and RMS level and the largest step
at its ends (for the loop: across the join), and writes a waveform picture
(PNG) of each clip beside it in OUTDIR/waveforms/.
"""
import math
import os
import random
import struct
import sys
import wave
import zlib

RATE = 44100
PEAK = 10 ** (-3 / 20)  # effects peak at -3 dBFS


def tone(freq, seconds, amp=1.0, harmonics=((1, 1.0),), decay=0.0, sweep=0.0):
    """A tone with the given harmonics; `decay` in 1/s, `sweep` in octaves over its length."""
    n = int(seconds * RATE)
    out = []
    phase = 0.0
    for i in range(n):
        t = i / RATE
        f = freq * 2 ** (sweep * t / seconds)
        phase += 2 * math.pi * f / RATE
        s = sum(a * math.sin(k * phase) for k, a in harmonics)
        out.append(amp * s * math.exp(-decay * t))
    return fade(out, 0.002, 0.008)  # each note starts and stops without a click


def noise(seconds, amp, decay, seed):
    rng = random.Random(seed)
    out, low = [], 0.0
    for i in range(int(seconds * RATE)):
        low += 0.25 * (rng.uniform(-1, 1) - low)  # a gentle low-pass: a thud, not a hiss
        out.append(amp * low * math.exp(-decay * i / RATE))
    return fade(out, 0.002, 0.008)


def mix(*parts):
    """Mixes (offset in seconds, samples) pairs."""
    n = max(int(off * RATE) + len(s) for off, s in parts)
    out = [0.0] * n
    for off, s in parts:
        start = int(off * RATE)
        for i, v in enumerate(s):
            out[start + i] += v
    return out


def fade(samples, fade_in=0.004, fade_out=0.02):
    n = len(samples)
    a, b = int(fade_in * RATE), int(fade_out * RATE)
    out = list(samples)
    for i in range(min(a, n)):
        out[i] *= i / a
    for i in range(min(b, n)):
        out[n - 1 - i] *= i / b
    return out


def normalise(samples, peak=PEAK):
    top = max(abs(v) for v in samples)
    return [v * peak / top for v in samples]


def effect(*parts):
    return normalise(fade(mix(*parts)))


BELL = ((1, 1.0), (2, 0.3), (3, 0.12))
SOFT = ((1, 1.0), (2, 0.15))


def menu_step():  # a short, light tick
    return effect((0, tone(1320, 0.07, harmonics=SOFT, decay=45)))


def choose():  # two notes up: confirmed
    return effect((0, tone(784, 0.09, harmonics=BELL, decay=18)),
                  (0.075, tone(1175, 0.16, harmonics=BELL, decay=14)))


def start():  # a rising arpeggio
    notes = [523.25, 659.25, 783.99, 1046.5]
    return effect(*[(0.085 * i, tone(f, 0.3 if i == 3 else 0.12, harmonics=BELL, decay=9))
                    for i, f in enumerate(notes)])


def game_over():  # a slow fall in a minor key
    notes = [392.0, 369.99, 349.23, 293.66]
    return effect(*[(0.28 * i, tone(f, 0.7 if i == 3 else 0.3, harmonics=SOFT,
                                    decay=2.5 if i == 3 else 5, sweep=-0.08 if i == 3 else 0))
                    for i, f in enumerate(notes)])


def not_in_list():  # a falling "no luck" pair
    return effect((0, tone(440, 0.22, harmonics=SOFT, decay=6, sweep=-0.1)),
                  (0.24, tone(330, 0.4, harmonics=SOFT, decay=5, sweep=-0.2)))


def high_score():  # a fanfare up to a held chord
    notes = [523.25, 659.25, 783.99]
    parts = [(0.1 * i, tone(f, 0.14, harmonics=BELL, decay=8)) for i, f in enumerate(notes)]
    parts += [(0.32, tone(f, 0.6, amp=0.6, harmonics=BELL, decay=3))
              for f in (523.25, 659.25, 783.99, 1046.5)]
    return effect(*parts)


def scoring_hit():  # a bright two-step chime
    return effect((0, tone(987.77, 0.08, harmonics=BELL, decay=20)),
                  (0.06, tone(1318.5, 0.2, harmonics=BELL, decay=14)))


def damaging_hit():  # a low thud with a crunch
    return effect((0, tone(160, 0.28, harmonics=SOFT, decay=12, sweep=-1.2)),
                  (0, noise(0.2, 1.6, 22, seed=8)))


def background_loop(seconds=4.0):
    """A calm pad: every partial and the swell complete whole cycles per loop."""
    n = int(seconds * RATE)

    def cycles(freq):  # the nearest frequency that fits the loop a whole number of times
        return round(freq * seconds) / seconds

    chord = [110.0, 164.81, 220.0, 261.63, 329.63]
    left, right = [], []
    for i in range(n):
        t = i / RATE
        swell = 0.75 + 0.25 * math.sin(2 * math.pi * t / seconds)
        l = r = 0.0
        for k, f in enumerate(chord):
            fl, fr = cycles(f), cycles(f * 1.003)  # a slight detune between the sides
            a = 1.0 / (k + 1)
            l += a * math.sin(2 * math.pi * fl * t + k)
            r += a * math.sin(2 * math.pi * fr * t + k)
        left.append(l * swell)
        right.append(r * swell)
    top = max(max(abs(v) for v in left), max(abs(v) for v in right))
    g = 10 ** (-6 / 20) / top
    return [v * g for v in left], [v * g for v in right]


CLIPS = [menu_step, choose, start, game_over, not_in_list, high_score, scoring_hit, damaging_hit]


def to_pcm(*channels):
    frames = zip(*channels)
    return b"".join(struct.pack("<" + "h" * len(channels),
                                *(max(-32767, min(32767, round(v * 32767))) for v in f))
                    for f in frames)


def write(path, channels):
    with wave.open(path, "wb") as w:
        w.setnchannels(len(channels))
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(to_pcm(*channels))


def png(path, width, height, rows):
    raw = b"".join(b"\x00" + bytes(r) for r in rows)
    chunk = lambda t, d: (struct.pack(">I", len(d)) + t + d +
                          struct.pack(">I", zlib.crc32(t + d) & 0xFFFFFFFF))
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 0, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def waveform(path, samples, width=800, height=160):
    """Min/max per column, with lines at 0 and at -6 dBFS."""
    rows = [[255] * width for _ in range(height)]
    mid = height // 2
    for y in (mid, mid - int(mid * 0.5), mid + int(mid * 0.5)):
        for x in range(width):
            rows[y][x] = 200
    per = max(1, len(samples) // width)
    for x in range(width):
        seg = samples[x * per:(x + 1) * per] or [0.0]
        lo, hi = min(seg), max(seg)
        for y in range(mid - int(hi * (mid - 1)), mid - int(lo * (mid - 1)) + 1):
            rows[y][x] = 0
    png(path, width, height, rows)


def report(name, channels, loop, outdir):
    n = len(channels[0])
    peak = max(abs(v) for c in channels for v in c)
    rms = math.sqrt(sum(v * v for c in channels for v in c) / (n * len(channels)))
    steps = max(abs(c[i + 1] - c[i]) for c in channels for i in range(n - 1))
    if loop:
        ends = max(abs(c[0] - c[-1]) for c in channels)
        what = "join step %.4f (largest step inside %.4f)" % (ends, steps)
    else:
        ends = max(max(abs(c[0]), abs(c[-1])) for c in channels)
        what = "first/last sample %.5f" % ends
    print("%-10s %5.2f s  %d ch  peak %6.1f dBFS  rms %6.1f dBFS  %s" % (
        name, n / RATE, len(channels), 20 * math.log10(peak), 20 * math.log10(rms), what))
    os.makedirs(os.path.join(outdir, "waveforms"), exist_ok=True)
    waveform(os.path.join(outdir, "waveforms", name.replace(".wav", ".png")), channels[0])


def main():
    args = [a for a in sys.argv[1:] if not a.startswith("--")]
    outdir = args[0] if args else os.path.join(os.path.dirname(__file__), "..", "assets", "sounds")
    os.makedirs(outdir, exist_ok=True)
    clips = [[make()] for make in CLIPS] + [list(background_loop())]
    for n, channels in enumerate(clips, start=1):
        name = "sound%d.wav" % n
        write(os.path.join(outdir, name), channels)
        if "--report" in sys.argv:
            report(name, channels, n == 9, outdir)


if __name__ == "__main__":
    main()
