"""The Python module dtmf against dtmf-decode: arrays of each type, files,
a receiver fed in pieces, the errors, and the Dask example on two local
worker processes. DTMF_BUILD names the build folder (default: build)."""
import csv
import io
import json
import os
import pathlib
import subprocess
import sys
import wave

import numpy as np
import pytest

BUILD = pathlib.Path(os.environ.get("DTMF_BUILD", "build")).resolve()
MODULE_DIR = BUILD / "library" / "python"
DECODER = BUILD / "cli" / "dtmf-decode"
sys.path.insert(0, str(MODULE_DIR))
import dtmf  # noqa: E402

KEYS = "123A456B789C*0#D"
ROWS = [697, 770, 852, 941]
COLUMNS = [1209, 1336, 1477, 1633]
DETECTORS = ["strict", "window"]


def keyed(digits, rate, tone=0.07, gap=0.06, level_db=-10.0, noise=0.0, seed=1):
    """The digits as float64 samples, after and before 0.1 s of silence."""
    t = np.arange(int(tone * rate)) / rate
    amplitude = 10 ** (level_db / 20)
    pieces = [np.zeros(rate // 10)]
    for d in digits:
        k = KEYS.index(d)
        pieces.append(amplitude * (np.sin(2 * np.pi * ROWS[k // 4] * t)
                                   + np.sin(2 * np.pi * COLUMNS[k % 4] * t)))
        pieces.append(np.zeros(int(gap * rate)))
    pieces.append(np.zeros(rate // 10))
    signal = np.concatenate(pieces)
    return signal + noise * np.random.default_rng(seed).standard_normal(signal.size)


def write_wav(path, samples, rate, channels=1):
    frames = np.clip(np.round(samples * 32767), -32768, 32767).astype("<i2")
    with wave.open(str(path), "wb") as w:
        w.setnchannels(channels)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(np.repeat(frames, channels).tobytes())


def rounded(symbols):
    return [(s.symbol, round(s.start, 3), round(s.end, 3)) for s in symbols]


def dtmf_decode(*args, stdin=None):
    """What dtmf-decode prints in jsonl, per input, as rounded triples."""
    run = subprocess.run([str(DECODER), "--format=jsonl", *map(str, args)], input=stdin,
                         capture_output=True, check=False)
    found = {}
    for line in run.stdout.decode().splitlines():
        record = json.loads(line)
        if "symbol" in record:
            found.setdefault(record["input"], []).append(
                (record["symbol"], round(record["start"], 3), round(record["end"], 3)))
    return found


@pytest.mark.parametrize("detector", DETECTORS)
def test_every_array_type_gives_what_dtmf_decode_gives(detector):
    rate = 8000
    signal = keyed("159#0AD*", rate, noise=0.01)
    floats = signal.astype(np.float32)
    shorts = np.round(signal * 32767).astype(np.int16)
    expected = dtmf_decode("--detector", detector, "-e", "f32le", "-r", rate, "-",
                           stdin=floats.astype("<f4").tobytes())["-"]
    assert "".join(s for s, _, _ in expected) == "159#0AD*"
    assert rounded(dtmf.decode(floats, rate, detector)) == expected
    # float64 is taken as float32; a non-contiguous view is the same samples.
    assert dtmf.decode(signal, rate, detector) == dtmf.decode(floats, rate, detector)
    assert dtmf.decode(np.repeat(floats, 2)[::2], rate, detector) == dtmf.decode(floats, rate, detector)
    expected16 = dtmf_decode("--detector", detector, "-e", "s16le", "-r", rate, "-",
                             stdin=shorts.astype("<i2").tobytes())["-"]
    assert rounded(dtmf.decode(shorts, rate, detector)) == expected16


@pytest.mark.parametrize("detector", DETECTORS)
def test_decode_file_gives_what_dtmf_decode_gives(tmp_path, detector):
    files = []
    for n, (rate, channels) in enumerate([(48000, 1), (8000, 1), (44100, 2), (16000, 1)]):
        files.append(tmp_path / f"call{n}.wav")
        write_wav(files[-1], keyed("0123456789ABCD*#"[n:n + 8], rate, noise=0.02, seed=n), rate,
                  channels)
    expected = dtmf_decode("--detector", detector, *files)
    for path in files:
        got = rounded(dtmf.decode_file(str(path), detector))
        assert len(got) == 8
        assert got == expected[str(path)], path


@pytest.mark.parametrize("detector", DETECTORS)
def test_a_receiver_fed_in_pieces_gives_what_one_call_gives(detector):
    rate = 11025
    signal = keyed("*0#D9", rate, tone=0.1, noise=0.02).astype(np.float32)
    whole = dtmf.decode(signal, rate, detector)
    receiver = dtmf.Receiver(rate, detector)
    pieces = np.split(signal, np.cumsum(np.random.default_rng(3).integers(1, 3000, 200)))
    got = [s for piece in pieces for s in receiver.feed(piece)]
    # A symbol comes out of feed() once it has ended, before the input does.
    assert len(got) >= 4
    got += receiver.finish()
    assert got == whole and [s.symbol for s in got] == list("*0#D9")
    with pytest.raises(ValueError, match="finished"):
        receiver.feed(signal)


def test_bad_input_raises_with_the_library_message(tmp_path):
    rate = 8000
    quiet = keyed("55", rate, level_db=-45)
    limits = dict(normal_twist=8, reverse_twist=4, min_level=-50, min_tone=0.04, min_pause=0.03)
    assert [s.symbol for s in dtmf.decode(quiet, rate, **limits)] == ["5", "5"]
    (tmp_path / "notes.txt").write_text("no samples here\n")
    cases = [
        (lambda: dtmf.decode(quiet.reshape(2, -1), rate), ValueError, "1-D"),
        (lambda: dtmf.decode(quiet.astype(np.int32), rate), ValueError, "int32"),
        (lambda: dtmf.decode(quiet, 999), ValueError, "sample rate of 999 Hz"),
        (lambda: dtmf.decode(quiet, rate, "fast"), ValueError, "'fast'"),
        (lambda: dtmf.decode(quiet, rate, "window", min_level=-40), ValueError, "no limits"),
        (lambda: dtmf.decode(quiet, rate, min_tone=-1), ValueError, "minimum tone"),
        (lambda: dtmf.decode(quiet, rate, loudness=3), TypeError, "loudness"),
        (lambda: dtmf.Receiver(0), ValueError, "sample rate of 0 Hz"),
        (lambda: dtmf.decode_file(str(tmp_path / "none.wav")), OSError, "No such file"),
        (lambda: dtmf.decode_file(str(tmp_path)), OSError, "directory"),
        (lambda: dtmf.decode_file(str(tmp_path / "notes.txt")), ValueError, "not audio"),
    ]
    for call, error, text in cases:
        with pytest.raises(error, match=text):
            call()
    # A file cut short keeps what was read before the cut.
    write_wav(tmp_path / "whole.wav", keyed("55", rate), rate)
    (tmp_path / "cut.wav").write_bytes((tmp_path / "whole.wav").read_bytes()[:3400])
    with pytest.raises(OSError, match="cut short") as cut:
        dtmf.decode_file(str(tmp_path / "cut.wav"))
    assert [s.symbol for s in cut.value.symbols] == ["5"]
    assert dtmf.__version__ and dtmf.Symbol("5", 1.0, 2.0) == dtmf.Symbol("5", 1.0, 2.0)


def test_the_dask_example_on_two_worker_processes_gives_what_dtmf_decode_gives(tmp_path):
    folder = tmp_path / "calls"
    folder.mkdir()
    for n in range(12):
        rate = [8000, 16000, 48000][n % 3]
        write_wav(folder / f"call{n:02}.wav",
                  keyed("0123456789ABCD*#"[n:n + 5], rate, noise=0.02, seed=n), rate)
    (folder / "notes.txt").write_text("no samples here\n")
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(
        filter(None, [str(MODULE_DIR), os.environ.get("PYTHONPATH")])))
    run = subprocess.run(
        [sys.executable, str(pathlib.Path(__file__).with_name("dask_decode.py")), "--workers", "2",
         "--batch", "3", str(folder)],
        stdin=subprocess.DEVNULL, capture_output=True, env=env, timeout=300, check=False)
    assert run.returncode == 1, run.stderr.decode()
    assert f"{folder / 'notes.txt'}: not audio" in run.stderr.decode()
    got = {}
    for row in csv.DictReader(io.StringIO(run.stdout.decode())):
        got.setdefault(row["input"], []).append(
            (row["symbol"], round(float(row["start"]), 3), round(float(row["end"]), 3)))
    expected = dtmf_decode(*sorted(folder.glob("*.wav")))
    assert len(expected) == 12
    assert got == expected
