#!/usr/bin/python3
"""The Python module's cost, measured against dtmf-decode in the same run:

1. per call: dtmf.decode() on an array against dtmf-decode reading the same
   samples from a pipe (-e f32le -r 8000 -), for short and long audio; the
   ratio of their times, which should be at most 1.2;
2. two threads against one: the same arrays decoded by one thread, then by
   two; the ratio of the times, which should be at most 0.6 on two free cores.

Usage: bench_dtmf.py [BUILD]   (default: build; the module and dtmf-decode
are taken from there)
"""
import os
import pathlib
import subprocess
import sys
import time
from concurrent.futures import ThreadPoolExecutor

import numpy as np

BUILD = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "build").resolve()
sys.path.insert(0, str(BUILD / "library" / "python"))
import dtmf  # noqa: E402

DECODER = str(BUILD / "cli" / "dtmf-decode")
RATE = 8000
KEYS = "123A456B789C*0#D"
ROWS, COLUMNS = [697, 770, 852, 941], [1209, 1336, 1477, 1633]


def call_audio(seconds, seed):
    """Noise at -30 dBFS with a digit every 0.5 s, as float32."""
    rng = np.random.default_rng(seed)
    samples = 0.03 * rng.standard_normal(int(seconds * RATE))
    t = np.arange(int(0.08 * RATE)) / RATE
    for n, at in enumerate(range(RATE // 10, samples.size - t.size, RATE // 2)):
        k = n % 16
        samples[at:at + t.size] += 0.2 * (np.sin(2 * np.pi * ROWS[k // 4] * t)
                                          + np.sin(2 * np.pi * COLUMNS[k % 4] * t))
    return samples.astype(np.float32)


def best(run, repeats):
    times = []
    for _ in range(repeats):
        start = time.perf_counter()
        run()
        times.append(time.perf_counter() - start)
    return min(times)


def per_call():
    print("audio     dtmf-decode  dtmf.decode  ratio")
    worst = 0.0
    for seconds, repeats in [(0.25, 30), (2, 20), (20, 7), (120, 3)]:
        samples = call_audio(seconds, 1)
        data = samples.astype("<f4").tobytes()
        command = [DECODER, "-e", "f32le", "-r", str(RATE), "-"]
        expected = subprocess.run(command, input=data, capture_output=True, check=True).stdout
        got = "".join(s.symbol for s in dtmf.decode(samples, RATE))
        assert expected.decode().strip() == got, "the two disagree"
        process = best(lambda: subprocess.run(command, input=data, capture_output=True), repeats)
        module = best(lambda: dtmf.decode(samples, RATE), repeats)
        worst = max(worst, module / process)
        print(f"{seconds:6g} s  {process * 1e3:9.2f} ms {module * 1e3:9.2f} ms  {module / process:5.3f}")
    print(f"per call: at most {worst:.3f} of dtmf-decode's time (goal: at most 1.2)")


def threads():
    arrays = [call_audio(60, seed) for seed in range(16)]

    def decode_all(workers):
        with ThreadPoolExecutor(workers) as pool:
            return list(pool.map(lambda a: dtmf.decode(a, RATE), arrays))

    assert decode_all(1) == decode_all(2)
    one = two = float("inf")
    for _ in range(5):  # alternated, so that both see the same machine
        one = min(one, best(lambda: decode_all(1), 1))
        two = min(two, best(lambda: decode_all(2), 1))
    print(f"threads: 16 arrays of 60 s, one thread {one:.3f} s, two threads {two:.3f} s: "
          f"{two / one:.3f} of the time (goal: at most 0.6; {os.cpu_count()} cores)")


if __name__ == "__main__":
    per_call()
    threads()
