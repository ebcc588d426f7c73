#!/usr/bin/env python3
"""Writes the troff (man macros) source of a long typeset manual to standard output.

usage: gen_typeset_pdf.py SECTIONS | groff -man -Tps | ps2pdf - OUT.pdf
About two sections make a page (2,100 sections: about 1,000 Letter pages). The text is set
justified and hyphenated in embedded Times fonts with kerning, as typeset manuals are, and the
word "matrix" appears about once in 80 words, sometimes hyphenated across a line break.
"""
import random
import sys

WORDS = ("the of and to in is that for it as with was on be by this are from at an which or have "
         "not can its all will were one their has more other than when some such into these only "
         "value vector function result system method element linear solve compute table array "
         "index column row order number data field").split()


def main():
    sections = int(sys.argv[1])
    rng = random.Random(1234)
    out = [".TH MANUAL 7 2026 Generated", ".SH NAME", "manual \\- generated text"]
    for s in range(sections):
        out.append(f".SH SECTION {s + 1}")
        for _ in range(4):
            out.append(".PP")
            words = [rng.choice(["matrix", "Matrix", "MATRIX"]) if rng.random() < 0.012 else rng.choice(WORDS)
                     for _ in range(110)]
            out.append(" ".join(words) + ".")
    print("\n".join(out))


if __name__ == "__main__":
    main()
