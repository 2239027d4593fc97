"""Packs the large true-colour images of a .ico file as PNG, for the release build.

    python3 tools/pack_icons.py INPUT.ico OUTPUT.ico [--min-size 64]

A 32-bit icon image stored as a bitmap takes 4 bytes a pixel plus its mask; Windows (Vista and
later) and Wine also read an icon image stored as PNG, which for Kalvane's 128x128 pictures is a
fifth of the size. Every other image is copied unchanged, in the same order, so the icon
directory is the same but for the sizes and offsets.

The PNG holds exactly the bitmap's pixels (BGRA bottom-up becomes RGBA top-down): the tool
decodes what it wrote and stops with an error if any pixel differs. The output depends only on
the input (no time stamps, fixed zlib level).
"""

import argparse
import struct
import sys
import zlib

PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"


def read_ico(data):
    """[(directory entry fields, image bytes)] of an .ico file."""
    reserved, kind, count = struct.unpack_from("<HHH", data, 0)
    if reserved != 0 or kind != 1:
        raise ValueError("not an icon file")
    images = []
    for i in range(count):
        entry = struct.unpack_from("<BBBBHHII", data, 6 + 16 * i)
        size, offset = entry[6], entry[7]
        if offset + size > len(data):
            raise ValueError("image %d runs past the end of the file" % i)
        images.append((entry, data[offset:offset + size]))
    return images


def write_ico(images):
    out = bytearray(struct.pack("<HHH", 0, 1, len(images)))
    offset = 6 + 16 * len(images)
    for entry, image in images:
        out += struct.pack("<BBBBHHII", *entry[:6], len(image), offset)
        offset += len(image)
    for _, image in images:
        out += image
    return bytes(out)


def bitmap_rgba_rows(image):
    """Top-down rows of RGBA bytes of a 32-bit BITMAPINFOHEADER icon image, or None when the
    image is no plain 32-bit bitmap."""
    if image.startswith(PNG_SIGNATURE) or len(image) < 40:
        return None
    header_size, width, double_height, planes, bits, compression = struct.unpack_from(
        "<IiiHHI", image, 0)
    if header_size != 40 or bits != 32 or compression != 0 or width <= 0:
        return None
    height = double_height // 2
    stride = width * 4
    pixels = image[40:40 + stride * height]
    if len(pixels) != stride * height:
        raise ValueError("truncated 32-bit image")
    rows = []
    for y in reversed(range(height)):
        bgra = pixels[y * stride:(y + 1) * stride]
        rgba = bytearray(stride)
        rgba[0::4], rgba[1::4], rgba[2::4], rgba[3::4] = bgra[2::4], bgra[1::4], bgra[0::4], bgra[3::4]
        rows.append(bytes(rgba))
    return width, height, rows


def png_chunk(kind, payload):
    return (struct.pack(">I", len(payload)) + kind + payload +
            struct.pack(">I", zlib.crc32(kind + payload) & 0xFFFFFFFF))


def encode_png(width, height, rows):
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)  # 8-bit RGBA
    raw = b"".join(b"\x00" + row for row in rows)  # filter type 0 on every row
    return (PNG_SIGNATURE + png_chunk(b"IHDR", header) + png_chunk(b"IDAT", zlib.compress(raw, 9))
            + png_chunk(b"IEND", b""))


def decode_png_rows(png):
    """Rows of a PNG written by encode_png (filter 0, one IDAT); for the round-trip check."""
    pos = len(PNG_SIGNATURE)
    width = height = None
    idat = b""
    while pos < len(png):
        (length,) = struct.unpack_from(">I", png, pos)
        kind = png[pos + 4:pos + 8]
        payload = png[pos + 8:pos + 8 + length]
        (crc,) = struct.unpack_from(">I", png, pos + 8 + length)
        if zlib.crc32(kind + payload) & 0xFFFFFFFF != crc:
            raise ValueError("bad CRC in %r" % kind)
        if kind == b"IHDR":
            width, height = struct.unpack_from(">II", payload, 0)
        elif kind == b"IDAT":
            idat += payload
        pos += 12 + length
    raw = zlib.decompress(idat)
    stride = width * 4 + 1
    rows = [raw[y * stride:(y + 1) * stride] for y in range(height)]
    if any(row[0] != 0 for row in rows):
        raise ValueError("unexpected PNG filter")
    return width, height, [row[1:] for row in rows]


def pack(data, min_size=64):
    images = []
    for entry, image in read_ico(data):
        size = entry[0] or 256
        decoded = bitmap_rgba_rows(image) if size >= min_size else None
        if decoded is not None:
            png = encode_png(*decoded)
            if decode_png_rows(png) != decoded:
                raise ValueError("PNG round trip changed a %dx%d image" % (size, size))
            image = png
        images.append((entry, image))
    return write_ico(images)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("input")
    parser.add_argument("output")
    parser.add_argument("--min-size", type=int, default=64,
                        help="pack 32-bit images of at least this width (default 64)")
    args = parser.parse_args(argv)
    with open(args.input, "rb") as f:
        packed = pack(f.read(), args.min_size)
    with open(args.output, "wb") as f:
        f.write(packed)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
