#!/usr/bin/env python3
"""Writes the seed inputs under tests/data/fuzz/ (run from the repository root
after make_samples has written samples/). Inputs that once crashed are kept
beside them, named crash-<what>."""
import os
import struct
import subprocess
import tempfile

ROOT = os.path.join('tests', 'data', 'fuzz')


def segments(jpeg):
    """(marker, payload) of every segment before the first scan."""
    out, i = [], 2
    while i + 4 <= len(jpeg) and jpeg[i] == 0xFF:
        marker, length = jpeg[i + 1], struct.unpack('>H', jpeg[i + 2:i + 4])[0]
        out.append((marker, jpeg[i + 4:i + 2 + length]))
        if marker == 0xDA:
            break
        i += 2 + length
    return out


def app1(jpeg):
    return next(p for m, p in segments(jpeg) if m == 0xE1)


def with_app1(jpeg, payload):
    seg = b'\xff\xe1' + struct.pack('>H', len(payload) + 2) + payload
    return jpeg[:2] + seg + jpeg[2:]


def small_jpeg(size, extra=()):
    with tempfile.TemporaryDirectory() as d:
        path = os.path.join(d, 'x.jpg')
        subprocess.run(['convert', '-size', size, 'gradient:skyblue-forestgreen', *extra,
                        '-quality', '80', '-strip', path], check=True)
        return open(path, 'rb').read()


def tiff(little, body_len, ifd0=8):
    e = '<' if little else '>'
    t = bytearray((b'II' if little else b'MM') + struct.pack(e + 'HI', 42, ifd0))
    t += bytes(max(0, body_len - len(t)))
    return t, e


def entry(t, e, at, tag, typ, count, value):
    t[at:at + 12] = struct.pack(e + 'HHII', tag, typ, count, value)


def hostile_exif():
    cases = {}
    t, e = tiff(True, 64, ifd0=0xFFFFFFF0)
    cases['ifd0-offset-past-end'] = t
    t, e = tiff(False, 64)
    t[8:10] = struct.pack(e + 'H', 1)
    entry(t, e, 10, 0x010F, 2, 0xFFFFFFFF, 0x7FFFFFF0)
    cases['ascii-huge-count-bad-offset'] = t
    t, e = tiff(True, 64)
    t[8:10] = struct.pack(e + 'H', 1)
    entry(t, e, 10, 0x0112, 3, 1, 6)
    t[22:26] = struct.pack(e + 'I', 8)  # IFD1 is IFD0 again
    cases['ifd1-loops-to-ifd0'] = t
    t, e = tiff(False, 64)
    t[8:10] = struct.pack(e + 'H', 2)
    entry(t, e, 10, 0x8769, 4, 1, 8)  # Exif IFD is IFD0
    entry(t, e, 22, 0xA005, 4, 1, 8)
    cases['exif-pointer-to-itself'] = t
    t, e = tiff(True, 40)
    t[8:10] = struct.pack(e + 'H', 0xFFFF)
    cases['entry-count-past-end'] = t
    t, e = tiff(True, 80)
    t[8:10] = struct.pack(e + 'H', 3)
    entry(t, e, 10, 0x829A, 5, 0x10000000, 40)  # rationals far past the end
    entry(t, e, 22, 0x9204, 10, 1, 0xFFFFFFF9)  # offset wraps around
    entry(t, e, 34, 0x0100, 13, 1, 1)           # unknown type
    cases['counts-and-types'] = t
    return {k: b'Exif\0\0' + bytes(v) for k, v in cases.items()}


def write(folder, name, data):
    os.makedirs(os.path.join(ROOT, folder), exist_ok=True)
    with open(os.path.join(ROOT, folder, name), 'wb') as f:
        f.write(data)


def main():
    le = app1(open('samples/01-meadow-640x480.jpg', 'rb').read())
    be = app1(open('samples/02-hills-1600x1200.jpg', 'rb').read())
    no_thumb = app1(open('samples/06-progressive-1920x1080.jpg', 'rb').read())
    exif = {'le-thumbnail': le, 'be-thumbnail': be, 'le-no-thumbnail': no_thumb,
            'truncated': le[:60], 'not-exif': b'http://ns.adobe.com/xap/1.0/\0<x/>',
            **hostile_exif()}
    for name, data in exif.items():
        write('exif', name, data)

    base = small_jpeg('32x24')
    good = with_app1(base, no_thumb)
    sof = next(i for i in range(len(good) - 1) if good[i] == 0xFF and good[i + 1] in (0xC0, 0xC2))
    def resized(width, height):
        frame = bytearray(good)
        frame[sof + 5:sof + 9] = struct.pack('>HH', height, width)
        return bytes(frame)
    decoder = {
        'small-exif.jpg': good,
        'small-exif-thumbnail.jpg': with_app1(base, be),
        'progressive.jpg': small_jpeg('40x30', ['-interlace', 'JPEG']),
        'gray.jpg': small_jpeg('24x16', ['-colorspace', 'Gray']),
        'truncated.jpg': good[:len(good) // 2],
        'header-only.jpg': good[:sof + 20],
        'large-dimensions-little-data.jpg': resized(8192, 8192),
        'huge-dimensions-little-scan-data.jpg': resized(65500, 65500),
        'bad-exif-offsets.jpg': with_app1(base, exif['ascii-huge-count-bad-offset']),
        'exif-loop.jpg': with_app1(base, exif['ifd1-loops-to-ifd0']),
        'soi-only.jpg': b'\xff\xd8',
        'empty.jpg': b'',
        'not-a-jpeg.jpg': b'GIF89a not a jpeg at all\n',
    }
    for name, data in decoder.items():
        write('decoder', name, data)


if __name__ == '__main__':
    main()
