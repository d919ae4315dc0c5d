#!/usr/bin/env python3
"""Writes ui/scale.xpm: the 164 x 12 dB scale drawn under the level meter.
With --check it only compares: exit status 1 when the file differs.

Green (0, 174, 0) on black; a tick four pixels high (rows 0 to 3) at each
marked level, and its label in 3 x 5 pixel characters under it. For the last
label the 0 stands under the tick and dB to its right.
"""
import pathlib
import sys

WIDTH, HEIGHT = 164, 12
TICK_ROWS = range(0, 4)
TEXT_TOP = 6

GLYPHS = {
    "-": ["...", "...", "###", "...", "..."],
    "0": ["###", "#.#", "#.#", "#.#", "###"],
    "1": [".#.", "##.", ".#.", ".#.", "###"],
    "2": ["###", "..#", "###", "#..", "###"],
    "3": ["###", "..#", ".##", "..#", "###"],
    "4": ["#.#", "#.#", "###", "..#", "..#"],
    "6": ["###", "#..", "###", "#.#", "###"],
    "d": ["..#", "..#", "###", "#.#", "###"],
    "B": ["##.", "#.#", "##.", "#.#", "##."],
}

# (tick x, label, index of the label character centred under the tick)
MARKS = [
    (7, "-24", None),
    (34, "-12", None),
    (73, "-6", None),
    (103, "-3", None),
    (130, "-1", None),
    (148, "0dB", 0),
]


def text_width(text):
    return 4 * len(text) - 1


def draw(pixels, x0, text):
    for i, ch in enumerate(text):
        for row, line in enumerate(GLYPHS[ch]):
            for col, mark in enumerate(line):
                if mark == "#":
                    pixels[TEXT_TOP + row][x0 + 4 * i + col] = True


def picture():
    pixels = [[False] * WIDTH for _ in range(HEIGHT)]
    for x, text, anchor in MARKS:
        for row in TICK_ROWS:
            pixels[row][x] = True
        if anchor is None:
            left = x - text_width(text) // 2
        else:
            left = x - 1 - 4 * anchor
        draw(pixels, left, text)
    return pixels


def xpm(pixels):
    lines = [
        "/* XPM */",
        "static const char *const scale_xpm[] = {",
        f'"{WIDTH} {HEIGHT} 2 1",',
        '". c #000000",',
        '"# c #00AE00",',
    ]
    rows = ['"' + "".join("#" if p else "." for p in row) + '"' for row in pixels]
    lines.append(",\n".join(rows))
    lines.append("};")
    return "\n".join(lines) + "\n"


if __name__ == "__main__":
    out = pathlib.Path(__file__).resolve().parent.parent / "ui" / "scale.xpm"
    if sys.argv[1:] == ["--check"]:
        if out.read_text() != xpm(picture()):
            sys.exit(f"{out} is not what {pathlib.Path(__file__).name} writes; run it again")
        sys.exit(0)
    out.write_text(xpm(picture()))
    print(f"wrote {out}")
