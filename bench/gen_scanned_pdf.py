#!/usr/bin/env python3
"""Writes a PDF of Letter pages, each filled by one JPEG (a "scanned" page), embedded as it is.

usage: gen_scanned_pdf.py OUT.pdf PAGE.jpg...
"""
import struct
import sys


def jpeg_size(data):
    i = 2
    while i + 9 < len(data):
        if data[i] != 0xFF:
            raise SystemExit("not a JPEG")
        marker = data[i + 1]
        length = struct.unpack(">H", data[i + 2:i + 4])[0]
        if 0xC0 <= marker <= 0xCF and marker not in (0xC4, 0xC8, 0xCC):
            h, w = struct.unpack(">HH", data[i + 5:i + 9])
            return w, h, data[i + 9]
        i += 2 + length
    raise SystemExit("no JPEG frame")


def main():
    out, pages = sys.argv[1], sys.argv[2:]
    objects = []  # bodies, object n at index n - 1

    def add(body):
        objects.append(body)
        return len(objects)

    catalog = add(None)
    tree = add(None)
    kids = []
    for path in pages:
        data = open(path, "rb").read()
        w, h, n = jpeg_size(data)
        space = b"/DeviceGray" if n == 1 else b"/DeviceRGB"
        image = add(b"<< /Type /XObject /Subtype /Image /Width %d /Height %d /ColorSpace %s /BitsPerComponent 8 "
                    b"/Filter /DCTDecode /Length %d >>\nstream\n" % (w, h, space, len(data)) + data + b"\nendstream")
        content = b"q 612 0 0 792 0 0 cm /Im0 Do Q"
        contents = add(b"<< /Length %d >>\nstream\n" % len(content) + content + b"\nendstream")
        kids.append(add(b"<< /Type /Page /Parent %d 0 R /MediaBox [0 0 612 792] /Resources << /XObject << /Im0 %d 0 R >> >> "
                        b"/Contents %d 0 R >>" % (tree, image, contents)))
    objects[catalog - 1] = b"<< /Type /Catalog /Pages %d 0 R >>" % tree
    objects[tree - 1] = b"<< /Type /Pages /Kids [%s] /Count %d >>" % (b" ".join(b"%d 0 R" % k for k in kids), len(kids))
    with open(out, "wb") as f:
        f.write(b"%PDF-1.7\n%\xe2\xe3\xcf\xd3\n")
        offsets = []
        for number, body in enumerate(objects, 1):
            offsets.append(f.tell())
            f.write(b"%d 0 obj\n" % number + body + b"\nendobj\n")
        xref = f.tell()
        f.write(b"xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1))
        for off in offsets:
            f.write(b"%010d 00000 n \n" % off)
        f.write(b"trailer\n<< /Size %d /Root %d 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, catalog, xref))


if __name__ == "__main__":
    main()
