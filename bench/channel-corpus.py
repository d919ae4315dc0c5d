#!/usr/bin/python3
"""Writes a corpus of keyed DTMF digits passed through the conditions of a
real telephone channel: codecs, packet loss, line faults, echo,
call-progress tones around and under the digits, music on hold and speech.

Each condition is one 8 kHz mono 16-bit WAV, NAME.wav, with the symbols
keyed into it in NAME.txt and each one's start and end (seconds) in
NAME.times; conditions.tsv lists the names with a short
description, in order. Every condition keys its own random digits (70-100 ms
tones and gaps, -8 to -18 dBFS per tone, the high tone -2 to +3 dB over the
low one), so no condition is one signal seen many times.

With --extra it writes another set instead, to check a receiver on what it
was not tuned to: the same kinds of conditions at other strengths (an echo
as loud as the tones, clipping 20 dB over full scale, SIT under the digits,
repeated frames), conditions one after the other (GSM after packet loss
or echo, music and speech through a codec, noise with DC), and a dialler's
tones, each a little off its frequency, alone and under speech.

Usage: channel-corpus.py OUTDIR [--digits N] [--seed S] [--only NAME,NAME...] [--extra]
                         [--levels=LOW,HIGH] [--twist=LOW,HIGH]
       channel-corpus.py --list [--extra]
Needs: numpy, sox (libsox-fmt-all for GSM and AMR-NB), ffmpeg, lame,
opus-tools, espeak-ng, asterisk-moh-opsound-wav.
"""
import argparse
import glob
import os
import subprocess
import sys
import tempfile
import wave

import numpy as np

RATE = 8000
KEYPAD = "123A456B789C*0#D"
ROWS = [697.0, 770.0, 852.0, 941.0]
COLUMNS = [1209.0, 1336.0, 1477.0, 1633.0]
# A dialler that divides every tone from a 3.58 MHz crystal: each lands up to
# 0.75 % off its frequency, one up and the other down.
DIALLER = ([699.1, 766.2, 847.4, 948.0], [1215.9, 1331.7, 1471.9, 1645.0])
MOH_DIR = "/usr/share/asterisk/moh"


def db(x):
    return 10.0 ** (x / 20.0)


def tone(freqs_levels, seconds, start=0.0):
    """Sines at (Hz, dBFS peak) pairs; start is the time of the first sample."""
    t = start + np.arange(int(round(seconds * RATE))) / RATE
    y = np.zeros(t.size)
    for f, level in freqs_levels:
        y += db(level) * np.sin(2 * np.pi * f * t)
    return y


def cadence(freqs_levels, seconds, on, off):
    """A call-progress tone on for `on` seconds, off for `off`, repeated."""
    y = tone(freqs_levels, seconds)
    t = np.arange(y.size) / RATE
    if off > 0:
        y[(t % (on + off)) >= on] = 0
    return y


def keyed_digits(rng, count, lead=0.3, keypad=(ROWS, COLUMNS), levels=(-18, -8), twist=(-2, 3)):
    """Random symbols with random tone and gap lengths and levels, the
    signal, and each tone's start and end in seconds; keypad holds the
    frequencies of the rows and of the columns, levels the range of the
    low tone's level in dBFS, and twist the range of the high tone's level
    over the low one's in dB."""
    rows, columns = keypad
    symbols = "".join(rng.choice(list(KEYPAD), count))
    parts = [np.zeros(int(lead * RATE))]
    starts = []
    at = lead
    for s in symbols:
        i = KEYPAD.index(s)
        on = rng.uniform(0.070, 0.100)
        off = rng.uniform(0.070, 0.100)
        low = rng.uniform(*levels)
        high = low + rng.uniform(*twist)
        # Each digit from its own phase, as a keypad's oscillators start.
        parts.append(tone([(rows[i // 4], low), (columns[i % 4], high)], on, rng.uniform(0, 1)))
        parts.append(np.zeros(int(round(off * RATE))))
        starts.append((at, at + parts[-2].size / RATE))
        at += parts[-2].size / RATE + parts[-1].size / RATE
    parts.append(np.zeros(int(lead * RATE)))
    return symbols, np.concatenate(parts), starts


def power(x):
    return float(np.mean(x * x)) if x.size else 0.0


def tone_power(x, threshold=1e-4):
    """Mean power where the digits sound."""
    env = np.convolve(x * x, np.ones(80) / 80, "same")
    on = env > threshold * max(env.max(), 1e-20)
    return power(x[on])


def write_wav(path, x):
    pcm = np.clip(np.round(x * 32768), -32768, 32767).astype("<i2")
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(pcm.tobytes())


def read_wav(path):
    out = subprocess.run(
        ["sox", "-D", "-V1", path, "-t", "raw", "-r", str(RATE), "-e", "signed", "-b", "16",
         "-c", "1", "-"], check=True, stdout=subprocess.PIPE).stdout
    return np.frombuffer(out, "<i2").astype(float) / 32768


class Work:
    def __init__(self, folder):
        self.folder = folder

    def path(self, name):
        return os.path.join(self.folder, name)

    def through(self, x, encode, decode, suffix):
        """x written to a WAV, run through encode then decode, read back."""
        src, mid, dst = self.path("in.wav"), self.path("mid" + suffix), self.path("out.wav")
        write_wav(src, x)
        for command in (encode(src, mid), decode(mid, dst)):
            subprocess.run(command, check=True, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)
        y = read_wav(dst)
        return align(x, y)


def align(x, y):
    """y moved back by the codec's delay, found by cross-correlation, and cut
    or padded to x's length."""
    n = min(x.size, y.size, 4 * RATE)
    a, b = x[:n], y[:n]
    size = 1 << (2 * n - 1).bit_length()
    corr = np.fft.irfft(np.fft.rfft(b, size) * np.conj(np.fft.rfft(a, size)), size)
    lag = int(np.argmax(corr[: RATE // 2]))  # delays up to 0.5 s
    y = y[lag:]
    return np.pad(y, (0, max(0, x.size - y.size)))[: x.size]


def sox_codec(*options, suffix):
    # No dither, which sox draws afresh each run: a seed makes one corpus.
    return lambda w, x: w.through(
        x, lambda s, m: ["sox", "-D", "-V1", s, *options, m], lambda m, d: ["sox", "-D", "-V1", m, d],
        suffix)


def ffmpeg_g726(rate):
    return lambda w, x: w.through(
        x,
        lambda s, m: ["ffmpeg", "-v", "error", "-y", "-i", s, "-ar", "8000", "-c:a", "g726",
                      "-b:a", rate, m],
        lambda m, d: ["ffmpeg", "-v", "error", "-y", "-i", m, "-c:a", "pcm_s16le", d], ".wav")


def lame_mp3(rate):
    return lambda w, x: w.through(x, lambda s, m: ["lame", "--quiet", "-b", rate, s, m],
                                  lambda m, d: ["lame", "--quiet", "--decode", m, d], ".mp3")


def opus(rate):
    return lambda w, x: w.through(
        x, lambda s, m: ["opusenc", "--quiet", "--bitrate", rate, s, m],
        lambda m, d: ["opusdec", "--quiet", "--rate", "8000", m, d], ".opus")


def packet_loss(share, repeat, seed):
    def apply(w, x):
        rng = np.random.default_rng(seed)
        y = x.copy()
        frame = RATE // 50
        for start in range(frame, y.size - frame, frame):
            if rng.random() < share:
                y[start:start + frame] = y[start - frame:start] if repeat else 0
        return y
    return apply


def dc_offset(shorts):
    return lambda w, x: np.clip(x + shorts / 32768, -1, 32767 / 32768)


def hard_clip(over_db):
    def apply(w, x):
        peak = np.max(np.abs(x))
        return np.clip(x * db(over_db) / peak, -1, 32767 / 32768)
    return apply


def agc_pumping(w, x):
    """A gain that pumps by up to 9 dB: a slow swing and a faster one."""
    t = np.arange(x.size) / RATE
    return x * db(6 * np.sin(2 * np.pi * 0.7 * t) + 3 * np.sin(2 * np.pi * 3.1 * t + 1))


def band_limited(x, low=300.0, high=3400.0):
    spectrum = np.fft.rfft(x)
    f = np.fft.rfftfreq(x.size, 1 / RATE)
    spectrum[(f < low) | (f > high)] = 0
    return np.fft.irfft(spectrum, x.size)


def band_noise(snr_db, seed):
    """The line's band, 300-3400 Hz, and noise in the same band."""
    def apply(w, x):
        noise = band_limited(np.random.default_rng(seed).standard_normal(x.size))
        noise *= np.sqrt(tone_power(x) / 10 ** (snr_db / 10) / power(noise))
        return band_limited(x) + noise
    return apply


def echo(delay, down_db):
    def apply(w, x):
        d = int(delay * RATE)
        y = x.copy()
        y[d:] += db(-down_db) * x[:-d]
        return y
    return apply


# Call-progress tones, levels in dBFS peak per component (0 dBm0 is about
# -3 dBFS).
DIAL_NA = [(350, -16), (440, -16)]
RINGBACK = [(440, -22), (480, -22)]
BUSY = [(480, -27), (620, -27)]
DIAL_EU = [(425, -13)]
TEST_TONE = [(1004, -16)]


def under(freqs, on=0.0, off=0.0):
    def apply(w, x):
        return x + cadence(freqs, x.size / RATE, on, off) if on else x + tone(freqs, x.size / RATE)
    return apply


def sit():
    parts = [tone([(f, -27)], 0.276) for f in (913.8, 1370.6, 1776.7)]
    return np.concatenate(parts + [np.zeros(int(0.5 * RATE))])


def around(kind):
    """The call-progress tone before and after the digits, and in a pause
    that splits them in two."""
    def apply(w, x):
        if kind == "sit":
            block = np.concatenate([sit(), sit()])
        elif kind == "ringback":
            block = cadence(RINGBACK, 6.0, 2.0, 4.0)
        elif kind == "busy":
            block = cadence(BUSY, 3.0, 0.5, 0.5)
        elif kind == "reorder":
            block = cadence(BUSY, 3.0, 0.25, 0.25)
        else:
            block = tone(DIAL_NA, 3.0)
        half = x.size // 2
        # Cut where the signal is silent, near the middle.
        quiet = np.nonzero(np.abs(x[half:]) < 1e-6)[0]
        cut = half + (int(quiet[0]) if quiet.size else 0)
        return np.concatenate([block, x[:cut], block, x[cut:], block])
    return apply


def moh_music(seed):
    files = sorted(glob.glob(os.path.join(MOH_DIR, "*.wav")))
    if not files:
        sys.exit("channel-corpus: no music on hold in " + MOH_DIR +
                 " (asterisk-moh-opsound-wav)")
    rng = np.random.default_rng(seed)
    return read_wav(files[int(rng.integers(len(files)))]), rng


def music_under(ratio_db, seed):
    """Music on hold under the digits, the pair's power over the music's."""
    def apply(w, x):
        music, rng = moh_music(seed)
        start = int(rng.integers(0, max(1, music.size - x.size)))
        piece = np.resize(music[start:], x.size)
        piece *= np.sqrt(tone_power(x) / 10 ** (ratio_db / 10) / power(piece))
        return x + piece
    return apply


SPEECH = [
    ("en+m3", "The north wind and the sun were disputing which was the stronger, when a "
     "traveller came along wrapped in a warm cloak. Please hold the line, your call is "
     "important to us; press one for sales or two for support."),
    ("de+f2", "Einst stritten sich Nordwind und Sonne, wer von ihnen beiden wohl der Stärkere "
     "wäre, als ein Wanderer, der in einen warmen Mantel gehüllt war, des Weges daherkam."),
    ("fr+m1", "La bise et le soleil se disputaient, chacun assurant qu'il était le plus fort, "
     "quand ils ont vu un voyageur qui s'avançait, enveloppé dans son manteau."),
    ("es+f3", "El viento norte y el sol porfiaban sobre cuál de ellos era el más fuerte, cuando "
     "acertó a pasar un viajero envuelto en ancha capa."),
]


def speech_under(ratio_db, seed):
    def apply(w, x):
        rng = np.random.default_rng(seed)
        pieces = []
        total = 0
        while total < x.size:
            voice, text = SPEECH[int(rng.integers(len(SPEECH)))]
            path = w.path("speech.wav")
            subprocess.run(["espeak-ng", "-v", voice, "-s", str(int(rng.integers(140, 190))),
                            "-p", str(int(rng.integers(30, 80))), "-w", path, text], check=True)
            piece = read_wav(path)
            pieces.append(piece)
            total += piece.size
        speech = np.concatenate(pieces)[: x.size]
        speech *= np.sqrt(tone_power(x) / 10 ** (ratio_db / 10) / power(speech))
        return x + speech
    return apply


def clean(w, x):
    return x


CONDITIONS = [
    ("clean", "no channel", clean),
    ("ulaw", "G.711 mu-law", sox_codec("-e", "u-law", "-t", "wav", suffix=".wav")),
    ("alaw", "G.711 A-law", sox_codec("-e", "a-law", "-t", "wav", suffix=".wav")),
    ("gsm", "GSM 06.10 full rate", sox_codec(suffix=".gsm")),
    ("amr475", "AMR-NB 4.75 kbit/s", sox_codec("-C", "0", suffix=".amr-nb")),
    ("amr122", "AMR-NB 12.2 kbit/s", sox_codec("-C", "7", suffix=".amr-nb")),
    ("g726-16", "G.726 16 kbit/s", ffmpeg_g726("16k")),
    ("g726-32", "G.726 32 kbit/s", ffmpeg_g726("32k")),
    ("mp3-16", "MP3 16 kbit/s", lame_mp3("16")),
    ("mp3-32", "MP3 32 kbit/s", lame_mp3("32")),
    ("opus12", "Opus 12 kbit/s", opus("12")),
    ("opus16", "Opus 16 kbit/s", opus("16")),
    ("loss1", "1 % of 20 ms frames zeroed", packet_loss(0.01, False, 11)),
    ("loss5", "5 % of 20 ms frames zeroed", packet_loss(0.05, False, 12)),
    ("loss3rep", "3 % of 20 ms frames repeated", packet_loss(0.03, True, 13)),
    ("dc+4000", "DC offset +4,000", dc_offset(4000)),
    ("dc-8000", "DC offset -8,000", dc_offset(-8000)),
    ("clip14", "hard clipping 14 dB over full scale", hard_clip(14)),
    ("agc", "AGC pumping, up to 9 dB", agc_pumping),
    ("band20", "300-3400 Hz line, noise 20 dB down", band_noise(20, 21)),
    ("band6", "300-3400 Hz line, noise 6 dB down", band_noise(6, 22)),
    ("echo20-3", "echo 20 ms, 3 dB down", echo(0.020, 3)),
    ("echo30-3", "echo 30 ms, 3 dB down", echo(0.030, 3)),
    ("echo45-6", "echo 45 ms, 6 dB down", echo(0.045, 6)),
    ("echo60-10", "echo 60 ms, 10 dB down", echo(0.060, 10)),
    ("echo80-12", "echo 80 ms, 12 dB down", echo(0.080, 12)),
    ("dial-under", "NA dial tone 350+440 Hz under the digits", under(DIAL_NA)),
    ("dial-around", "NA dial tone around the digits", around("dial")),
    ("ringback-under", "ringback 440+480 Hz under the digits", under(RINGBACK, 2.0, 4.0)),
    ("ringback-around", "ringback around the digits", around("ringback")),
    ("busy-under", "busy 480+620 Hz under the digits", under(BUSY, 0.5, 0.5)),
    ("busy-around", "busy around the digits", around("busy")),
    ("reorder-under", "reorder under the digits", under(BUSY, 0.25, 0.25)),
    ("dial425-under", "European dial tone 425 Hz under the digits", under(DIAL_EU)),
    ("sit-around", "SIT around the digits", around("sit")),
    ("test1004-under", "1004 Hz test tone under the digits", under(TEST_TONE)),
    ("moh0", "music on hold, tone-to-music power 0 dB", music_under(0, 31)),
    ("moh-6", "music on hold, tone-to-music power -6 dB", music_under(-6, 32)),
    ("speech0", "speech of equal power", speech_under(0, 41)),
]


def chain(*steps):
    """The conditions one after the other."""
    def apply(w, x):
        for step in steps:
            x = step(w, x)
        return x
    return apply


def sit_under(level):
    def apply(w, x):
        cycle = np.concatenate([tone([(f, level)], 0.276) for f in (913.8, 1370.6, 1776.7)])
        return x + np.resize(cycle, x.size)
    return apply


GSM = sox_codec(suffix=".gsm")
EXTRA_CONDITIONS = [
    ("sit-under", "SIT under the digits", sit_under(-27)),
    ("sit-under-20", "SIT at -20 dBFS under the digits", sit_under(-20)),
    ("echo20-0", "echo 20 ms, as loud as the tones", echo(0.020, 0)),
    ("echo40-0", "echo 40 ms, as loud as the tones", echo(0.040, 0)),
    ("echo60-6", "echo 60 ms, 6 dB down", echo(0.060, 6)),
    ("echo70-3", "echo 70 ms, 3 dB down", echo(0.070, 3)),
    ("echo25-12", "echo 25 ms, 12 dB down", echo(0.025, 12)),
    ("loss1rep", "1 % of 20 ms frames repeated", packet_loss(0.01, True, 14)),
    ("loss5rep", "5 % of 20 ms frames repeated", packet_loss(0.05, True, 15)),
    ("loss3", "3 % of 20 ms frames zeroed", packet_loss(0.03, False, 16)),
    ("dial-loud", "NA dial tone at -10 dBFS under the digits", under([(350, -10), (440, -10)])),
    ("t1004-10", "1004 Hz at -10 dBFS under the digits", under([(1004, -10)])),
    ("dc+8000", "DC offset +8,000", dc_offset(8000)),
    ("dc-12000", "DC offset -12,000", dc_offset(-12000)),
    ("clip6", "hard clipping 6 dB over full scale", hard_clip(6)),
    ("clip20", "hard clipping 20 dB over full scale", hard_clip(20)),
    ("mp3-24", "MP3 24 kbit/s", lame_mp3("24")),
    ("gsm-loss3", "3 % of frames zeroed, then GSM", chain(packet_loss(0.03, False, 17), GSM)),
    ("gsm-echo60", "echo 60 ms 10 dB down, then GSM", chain(echo(0.060, 10), GSM)),
    ("moh0-gsm", "music on hold at 0 dB, then GSM", chain(music_under(0, 33), GSM)),
    ("speech0-ulaw", "speech of equal power, then G.711 mu-law",
     chain(speech_under(0, 42), sox_codec("-e", "u-law", "-t", "wav", suffix=".wav"))),
    ("speech+3", "speech 3 dB over the pair", speech_under(-3, 43)),
    ("moh+3", "music on hold 3 dB over the pair", music_under(3, 34)),
    ("opus12-loss1", "1 % of frames zeroed, then Opus 12 kbit/s",
     chain(packet_loss(0.01, False, 18), opus("12"))),
    ("band10-dc", "300-3400 Hz line, noise 10 dB down, DC +3,000",
     chain(band_noise(10, 23), dc_offset(3000))),
    ("dialler", "a dialler's tones, each up to 0.75 % off", clean, DIALLER),
    ("dialler-speech0", "a dialler's tones under speech of equal power", speech_under(0, 44),
     DIALLER),
]


def span(text):
    """LOW,HIGH as two numbers, LOW <= HIGH, or None."""
    try:
        low, high = (float(v) for v in text.split(","))
    except ValueError:
        return None
    return (low, high) if low <= high else None


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("outdir", nargs="?")
    parser.add_argument("--digits", type=int, default=96)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--only", default="")
    parser.add_argument("--list", action="store_true")
    parser.add_argument("--extra", action="store_true")
    parser.add_argument("--levels", default="-18,-8")
    parser.add_argument("--twist", default="-2,3")
    args = parser.parse_args()
    conditions = EXTRA_CONDITIONS if args.extra else CONDITIONS
    if args.list:
        for name, text, *_ in conditions:
            print(f"{name}\t{text}")
        return
    if not args.outdir:
        parser.error("OUTDIR is needed")
    levels = span(args.levels)
    if not levels or levels[1] > 0:
        parser.error("--levels takes LOW,HIGH in dBFS, LOW <= HIGH <= 0")
    twist = span(args.twist)
    if not twist:
        parser.error("--twist takes LOW,HIGH in dB, LOW <= HIGH")
    only = set(filter(None, args.only.split(",")))
    unknown = only - {name for name, *_ in conditions}
    if unknown:
        parser.error("unknown condition: " + ", ".join(sorted(unknown)))
    os.makedirs(args.outdir, exist_ok=True)
    with tempfile.TemporaryDirectory() as folder, \
            open(os.path.join(args.outdir, "conditions.tsv"), "w") as listing:
        work = Work(folder)
        for index, (name, text, apply, *keypad) in enumerate(conditions):
            if only and name not in only:
                continue
            rng = np.random.default_rng([args.seed, index + (100 if args.extra else 0)])
            symbols, x, times = keyed_digits(rng, args.digits, keypad=(keypad or [(ROWS, COLUMNS)])[0],
                                             levels=levels, twist=twist)
            y = apply(work, x)
            write_wav(os.path.join(args.outdir, name + ".wav"), y)
            with open(os.path.join(args.outdir, name + ".txt"), "w") as f:
                f.write(symbols + "\n")
            with open(os.path.join(args.outdir, name + ".times"), "w") as f:
                f.writelines(f"{s}\t{a:.4f}\t{b:.4f}\n" for s, (a, b) in zip(symbols, times))
            listing.write(f"{name}\t{text}\n")


if __name__ == "__main__":
    main()
