"""Writes the message box's 32 x 32 icon: a blue disc with a white "i", as a .ico file.

Drawn here from simple shapes, so the library ships a picture of its own making."""
import struct
import sys

SIZE = 32


def pixel(x, y):
    """The colour (B, G, R, A) at the centre of pixel x, y (y counted from the top)."""
    cx = cy = (SIZE - 1) / 2
    dx, dy = x - cx, y - cy
    if dx * dx + dy * dy > 15.5 * 15.5:
        return (0, 0, 0, 0)
    white = (255, 255, 255, 255)
    # The dot of the "i" and its stem.
    if (x - cx) ** 2 + (y - 8.5) ** 2 <= 2.6 ** 2:
        return white
    if 13.5 <= x <= 17.5 and 13 <= y <= 25:
        return white
    if 11.5 <= x <= 17.5 and 13 <= y <= 14:
        return white
    if 11.5 <= x <= 19.5 and 24 <= y <= 25:
        return white
    return (200, 96, 24, 255)


def main(path):
    rows = []
    # A bitmap's rows run from the bottom up.
    for y in reversed(range(SIZE)):
        rows.append(b"".join(bytes(pixel(x, y)) for x in range(SIZE)))
    colour = b"".join(rows)
    # The AND mask: 1 bit a pixel, rows padded to 4 bytes; transparent where alpha is 0.
    mask = bytearray()
    for y in reversed(range(SIZE)):
        bits = 0
        for x in range(SIZE):
            bits = (bits << 1) | (1 if pixel(x, y)[3] == 0 else 0)
        mask += struct.pack(">I", bits)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0,
                         len(colour) + len(mask), 0, 0, 0, 0)
    image = header + colour + bytes(mask)
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    with open(path, "wb") as out:
        out.write(directory + entry + image)


if __name__ == "__main__":
    main(sys.argv[1])
