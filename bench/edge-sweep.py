#!/usr/bin/python3
"""Keys pairs at the edges a receiver must hold (Q.24's twist, frequency,
level and duration, and noise and clipping) with what a fixed test case
keeps fixed drawn at random: each tone's starting phase, the level, the key,
and where the row allows it each tone's offset. Prints, for each row and
rate, how many of the keyed pairs the strict receiver found and how many
symbols it gave that were not keyed; a row that must be rejected must find
none.

Usage: bench/edge-sweep.py [build dir] [--seeds N] [--rows NAME,...]
Needs: python3-numpy.
"""
import argparse
import os
import subprocess
import sys
import tempfile
import wave

import numpy as np

LOW = (697, 770, 852, 941)
HIGH = (1209, 1336, 1477, 1633)
KEYS = "123A456B789C*0#D"


def off(rng, most):
    return rng.uniform(-most, most)


def either(rng, size):
    return size * rng.choice((-1, 1))


# name, what is keyed, must it be found; then each key's tone (ms), gap (ms),
# low and high levels from the key's level L (dBFS), and each tone's offset.
ROWS = [
    ("twist-8", "low tone 8 dB over the high", True,
     lambda rng, L: (100, 100, L, L - 8, off(rng, 0.01), off(rng, 0.01))),
    ("twist-10", "low tone 10 dB over the high", False,
     lambda rng, L: (100, 100, L, L - 10, 0, 0)),
    ("reverse-4", "high tone 4 dB over the low", True,
     lambda rng, L: (100, 100, L - 4, L, off(rng, 0.01), off(rng, 0.01))),
    ("reverse-6", "high tone 6 dB over the low", False,
     lambda rng, L: (100, 100, L - 6, L, 0, 0)),
    ("off-1.5-same", "both tones 1.5 % off the same way", True,
     lambda rng, L: (100, 100, L, L) + (either(rng, 0.015),) * 2),
    ("off-1-apart", "the tones 1 % off, each its own way", True,
     lambda rng, L: (lambda o: (100, 100, L, L, o, -o))(either(rng, 0.01))),
    ("off-1.5-apart", "the tones 1.5 % off, each its own way", True,
     lambda rng, L: (lambda o: (100, 100, L, L, o, -o))(either(rng, 0.015))),
    ("off-3.5-low", "low tone 3.5 % off", False,
     lambda rng, L: (100, 100, L, L, either(rng, 0.035), off(rng, 0.01))),
    ("off-3.5-high", "high tone 3.5 % off", False,
     lambda rng, L: (100, 100, L, L, off(rng, 0.01), either(rng, 0.035))),
    ("tone-40", "40 ms tones, 40 ms pauses", True,
     lambda rng, L: (40, 40, L, L, 0, 0)),
    ("tone-40-off", "40 ms tones, both 1 % off the same way", True,
     lambda rng, L: (40, 100, L, L) + (either(rng, 0.01),) * 2),
    ("tone-23", "23 ms bursts", False,
     lambda rng, L: (23, 100, L, L, off(rng, 0.01), off(rng, 0.01))),
    ("level-42", "-42 dBFS per tone", True,
     lambda rng, L: (100, 100, -42, -42, off(rng, 0.01), off(rng, 0.01))),
    ("level-60", "-60 dBFS per tone", False,
     lambda rng, L: (100, 100, -60, -60, 0, 0)),
    ("clip-3", "-3 dBFS per tone, peaks clipped", True,
     lambda rng, L: (100, 100, -3, -3, off(rng, 0.01), off(rng, 0.01))),
    ("noise-3", "-20 dBFS per tone, 300-3400 Hz noise 3 dB under the pair", True,
     lambda rng, L: (100, 100, -20, -20, off(rng, 0.01), off(rng, 0.01))),
]
NOISY = {"noise-3": 3.0}


def keyed(row, seed, rate, count=64):
    """The samples and the keys of one row's file."""
    name, _, _, play = row
    rng = np.random.default_rng(seed)
    parts, keys = [np.zeros(rate // 5)], ""
    for _ in range(count):
        r, c = rng.integers(4), rng.integers(4)
        keys += KEYS[4 * r + c]
        tone_ms, gap_ms, low_db, high_db, low_off, high_off = play(rng, rng.uniform(-20, -10))
        t = np.arange(int(rate * tone_ms / 1000)) / rate
        parts.append(10 ** (low_db / 20) * np.sin(2 * np.pi * LOW[r] * (1 + low_off) * t + rng.uniform(0, 2 * np.pi)) +
                     10 ** (high_db / 20) * np.sin(2 * np.pi * HIGH[c] * (1 + high_off) * t + rng.uniform(0, 2 * np.pi)))
        parts.append(np.zeros(int(rate * gap_ms / 1000)))
    x = np.concatenate(parts)
    if name in NOISY:
        spectrum = np.fft.rfft(rng.normal(0, 1, len(x)))
        hertz = np.fft.rfftfreq(len(x), 1 / rate)
        spectrum[(hertz < 300) | (hertz > 3400)] = 0
        noise = np.fft.irfft(spectrum, len(x))
        pair = 10 ** (-20 / 10)  # two tones of amplitude 0.1
        x = x + noise * np.sqrt(pair / 10 ** (NOISY[name] / 10) / np.mean(noise ** 2))
    return np.clip(np.round(x * 32767), -32768, 32767).astype(np.int16), keys


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build", nargs="?", default=os.environ.get("BUILD_DIR", "build"))
    parser.add_argument("--seeds", type=int, default=3)
    parser.add_argument("--rows", default="")
    args = parser.parse_args()
    probe = os.path.join(args.build, "bench", "strict_probe")
    cases = os.path.join(args.build, "bench", "receiver_cases")
    for tool in (probe, cases):
        if not os.access(tool, os.X_OK):
            sys.exit(f"edge-sweep.py: no {tool}; build the bench first")
    wanted = set(args.rows.split(",")) if args.rows else None
    print("| Row | Must | 8 kHz | 48 kHz |")
    print("|---|---|---|---|")
    with tempfile.TemporaryDirectory() as work:
        path = os.path.join(work, "keyed.wav")
        for row in ROWS:
            name, what, found_wanted, _ = row
            if wanted and name not in wanted:
                continue
            cells = []
            for rate in (8000, 48000):
                found = extra = sent = 0
                for seed in range(args.seeds):
                    samples, keys = keyed(row, seed, rate)
                    with wave.open(path, "wb") as out:
                        out.setnchannels(1)
                        out.setsampwidth(2)
                        out.setframerate(rate)
                        out.writeframes(samples.astype("<i2").tobytes())
                    out = subprocess.run([probe, path], capture_output=True, text=True, check=True).stdout
                    given = "".join(line.split("\t")[0] for line in out.splitlines())
                    score = subprocess.run([cases, "score", keys, given], capture_output=True,
                                           text=True, check=True).stdout.split()
                    hits, more = int(score[0]), int(score[1])
                    found, extra, sent = found + hits, extra + more, sent + len(keys)
                cells.append(f"{found}/{sent}" + (f" +{extra}" if extra else ""))
            must = "all" if found_wanted else "none"
            print(f"| {what} | {must} | {cells[0]} | {cells[1]} |")


if __name__ == "__main__":
    main()
