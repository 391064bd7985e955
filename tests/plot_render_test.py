#!/usr/bin/env python3
"""plot_file writes SVG that a real renderer draws as the histogram it means.

Runs the interpreter on a Bell pair (on the fitted axis and on the full
one), on subsystem 0 of a qutrit-qubit state and on one qubit of five,
parses each file as XML, renders it with rsvg-convert and measures the bars
in the PNG: each must be as tall as its probability of the axis, and the
title must fit in the image.
Usage: plot_render_test.py path/to/dovex
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET
import zlib

SKIP = 77
SVG = "{http://www.w3.org/2000/svg}"

SESSION = """global (begin (new space q 2) (new space t 3) (new system pair 2 q q) (new system qt 2 t q) (new system five 5 q q q q q))
plot_file bell.svg (set_element (set_element (matrix 4 1 zero) 0 0 (sqrt 0.5)) 3 0 (sqrt 0.5)) (get pair)
plot_file full.svg (set_element (set_element (matrix 4 1 zero) 0 0 (sqrt 0.5)) 3 0 (sqrt 0.5)) (get pair) full
plot_file qt.svg (matrix 6 1 (complex 0.5 0) (complex 0 0.5) (complex 0 0) (complex -0.5 0) (complex 0 0) (complex 0.5 0)) (get qt) 0
plot_file five.svg (matrix 32 1 UFT) (get five) 3
"""

# file: (words the title must hold, bar labels in order, their probabilities,
# the top of the axis in percent)
EXPECTED = {
    "bell.svg": ("2 ⊗ 2", ["|00⟩", "|11⟩"], [0.5, 0.5], 50),
    "full.svg": ("2 ⊗ 2", ["|00⟩", "|11⟩"], [0.5, 0.5], 100),
    "qt.svg": ("subsystem 0 of 3 ⊗ 2", ["|0⟩", "|1⟩", "|2⟩"], [0.5, 0.25, 0.25], 50),
    "five.svg": ("subsystem 3 of 2 ⊗ 2 ⊗ 2 ⊗ 2 ⊗ 2", ["|0⟩", "|1⟩"], [0.5, 0.5], 50),
}


def read_png(path):
    """Rows of (r, g, b) pixels of the 8-bit RGB(A) PNG rsvg-convert writes."""
    data = open(path, "rb").read()
    pos, idat = 8, b""
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", data[pos + 8:pos + 18])
            assert depth == 8 and colour in (2, 6), "unexpected PNG format"
        idat += data[pos + 8:pos + 8 + length] if kind == b"IDAT" else b""
        pos += 12 + length
    step = 4 if colour == 6 else 3
    raw, stride, rows, up = zlib.decompress(idat), width * step, [], bytearray(width * step)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a, b = line[i - step] if i >= step else 0, up[i]
            c = up[i - step] if i >= step else 0
            paeth = min((abs(b - c), 0, a), (abs(a - c), 1, b), (abs(a + b - 2 * c), 2, c))[2]
            line[i] = (line[i] + [0, a, b, (a + b) // 2, paeth][kind]) & 255
        rows.append([tuple(line[x * step:x * step + 3]) for x in range(width)])
        up = line
    return width, height, rows


def is_bar(pixel):
    r, g, b = pixel
    return b > 150 and r < 120 and g < 160


def is_ink(pixel):
    return max(pixel) < 100


def check(path, title_words, labels, probabilities, axis_top):
    root = ET.parse(path).getroot()
    assert root.tag == SVG + "svg", root.tag
    title = root.find(SVG + "title").text
    assert title_words in title, title
    texts = [t.text for t in root.iter(SVG + "text")]
    for label in labels:
        assert label in texts, (label, texts)
    ticks = [float(t.text.rstrip("%")) for t in root.iter(SVG + "text") if t.get("class") == "tick"]
    assert max(ticks) == axis_top, (path, ticks)
    axes = [l for l in root.iter(SVG + "line") if l.get("class") == "axis"]
    assert len(axes) == 2, "two axes"
    top = min(float(l.get("y1")) for l in axes)
    base = max(float(l.get("y2")) for l in axes)
    bars = [r for r in root.iter(SVG + "rect") if r.get("class") == "bar"]
    assert len(bars) == len(probabilities), len(bars)

    png = path[:-4] + ".png"
    subprocess.run(["rsvg-convert", path, "-o", png], check=True)
    width, height, pixels = read_png(png)
    assert (width, height) == (round(float(root.get("width"))), round(float(root.get("height")))), (width, height)
    for rect, p in zip(bars, probabilities):
        x = round(float(rect.get("x")) + float(rect.get("width")) / 2)
        y = int(base) - 2
        while y > 0 and is_bar(pixels[y][x]):
            y -= 1
        drawn = base - y
        wanted = p * 100 / axis_top * (base - top)
        assert abs(drawn - wanted) <= 3, (path, x, drawn, wanted)
        # Beside the bar, at half its height, is the background.
        gap = round(float(rect.get("x"))) - 4
        assert not is_bar(pixels[int(base - wanted / 2)][gap]), (path, gap)
    # The title, drawn in the band at the top, keeps clear of both edges.
    inked = [x for y in range(8, 36) for x in range(width) if is_ink(pixels[y][x])]
    assert inked and min(inked) >= 4 and max(inked) <= width - 5, (path, min(inked), max(inked), width)


def main():
    if shutil.which("rsvg-convert") is None:
        print("SKIPPED: rsvg-convert is not installed (Debian package librsvg2-bin); .ci/run installs it")
        return SKIP
    dovex = os.path.abspath(sys.argv[1])
    with tempfile.TemporaryDirectory() as work:
        result = subprocess.run([dovex], input=SESSION, capture_output=True, text=True, cwd=work, timeout=60)
        assert "rror" not in result.stdout, result.stdout
        for name, (title_words, labels, probabilities, axis_top) in EXPECTED.items():
            check(os.path.join(work, name), title_words, labels, probabilities, axis_top)
    print("plot_file: SVG parsed and rendered; bar heights match")
    return 0


if __name__ == "__main__":
    sys.exit(main())
