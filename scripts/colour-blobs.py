#!/usr/bin/env python3
"""Reads a binary PPM (P6) on stdin and prints "x y width height" of each 4-connected blob of pixels
in the colour R G B given as arguments, x and y its centre, largest first.
Usage: colour-blobs.py R G B < image.ppm
"""
import sys


def read_ppm(data):
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    if fields[0] != b"P6" or int(fields[3]) != 255:
        sys.exit("colour-blobs: not an 8-bit binary PPM")
    return int(fields[1]), int(fields[2]), data[pos + 1:]


def blobs(width, height, pixels, colour):
    hit = [pixels[3 * i:3 * i + 3] == colour for i in range(width * height)]
    seen, found = [False] * (width * height), []
    for start in range(width * height):
        if not hit[start] or seen[start]:
            continue
        seen[start], stack, xs, ys = True, [start], [], []
        while stack:
            i = stack.pop()
            x, y = i % width, i // width
            xs.append(x)
            ys.append(y)
            for nx, ny in ((x + 1, y), (x - 1, y), (x, y + 1), (x, y - 1)):
                j = ny * width + nx
                if 0 <= nx < width and 0 <= ny < height and hit[j] and not seen[j]:
                    seen[j] = True
                    stack.append(j)
        found.append((len(xs), min(xs), max(xs), min(ys), max(ys)))
    return sorted(found, reverse=True)


def main():
    colour = bytes(int(v) for v in sys.argv[1:4])
    width, height, pixels = read_ppm(sys.stdin.buffer.read())
    for _, x0, x1, y0, y1 in blobs(width, height, pixels, colour):
        print((x0 + x1) // 2, (y0 + y1) // 2, x1 - x0 + 1, y1 - y0 + 1)


if __name__ == "__main__":
    main()
