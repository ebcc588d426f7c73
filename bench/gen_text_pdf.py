#!/usr/bin/env python3
"""Writes an N-page text PDF (Letter pages of Helvetica prose, deflated content streams).

usage: gen_text_pdf.py PAGES OUT.pdf
Every page holds 46 lines; the word "matrix" appears a fixed number of times per page, some of them
hyphenated across a line break, so search tools can be compared by hit count.
"""
import random
import sys
import zlib

WORDS = ("the of and to in is that for it as with was on be by this are from at an which or have "
         "not can its all will were one their has more other than when some such into these only "
         "value vector function result system method element linear solve compute table array "
         "index column row order number data field").split()


def page_lines(rng, page):
    lines = []
    for i in range(46):
        words = [rng.choice(WORDS) for _ in range(11)]
        if i % 9 == 0:
            words[rng.randrange(len(words))] = rng.choice(["matrix", "Matrix", "MATRIX"])
        lines.append(" ".join(words))
    # One hyphenated occurrence per page: "ma-" at the end of a line, "trix" at the start of the next.
    lines[20] += " ma-"
    lines[21] = "trix " + lines[21]
    lines[0] = f"Page {page + 1}. " + lines[0]
    return lines


def escape(text):
    return text.replace("\\", "\\\\").replace("(", "\\(").replace(")", "\\)")


def main():
    pages, out = int(sys.argv[1]), sys.argv[2]
    rng = random.Random(1234)
    objects = {}
    font_id, pages_id, first = 3, 2, 4
    objects[1] = b"<< /Type /Catalog /Pages 2 0 R >>"
    objects[font_id] = b"<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>"
    kids = []
    for p in range(pages):
        page_id, content_id = first + 2 * p, first + 2 * p + 1
        kids.append(f"{page_id} 0 R")
        ops = ["BT", "/F1 10 Tf", "13 TL", "56 740 Td"]
        for line in page_lines(rng, p):
            ops.append(f"({escape(line)}) Tj T*")
        ops.append("ET")
        data = zlib.compress("\n".join(ops).encode("latin-1"))
        objects[content_id] = (f"<< /Length {len(data)} /Filter /FlateDecode >>\nstream\n".encode()
                               + data + b"\nendstream")
        objects[page_id] = (f"<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] "
                            f"/Resources << /Font << /F1 {font_id} 0 R >> >> /Contents {content_id} 0 R >>").encode()
    objects[pages_id] = f"<< /Type /Pages /Kids [{' '.join(kids)}] /Count {pages} >>".encode()

    out_bytes = bytearray(b"%PDF-1.7\n%\xe2\xe3\xcf\xd3\n")
    offsets = {}
    for num in sorted(objects):
        offsets[num] = len(out_bytes)
        out_bytes += f"{num} 0 obj\n".encode() + objects[num] + b"\nendobj\n"
    xref = len(out_bytes)
    count = max(objects) + 1
    out_bytes += f"xref\n0 {count}\n0000000000 65535 f \n".encode()
    for num in range(1, count):
        out_bytes += f"{offsets[num]:010d} 00000 n \n".encode()
    out_bytes += f"trailer\n<< /Size {count} /Root 1 0 R >>\nstartxref\n{xref}\n%%EOF\n".encode()
    with open(out, "wb") as f:
        f.write(out_bytes)


if __name__ == "__main__":
    main()
