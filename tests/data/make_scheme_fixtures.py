#!/usr/bin/env python3
"""Writes the scheme fixture files byte by byte from the documented layout (docs/scheme-files.md),
independently of the C++ writer, so the tests compare our files against a second encoder."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def string(b):
    return struct.pack('<i', len(b)) + b


def zone(font=b'', size=0, text=0, style=0, outline=0, shadow=0, effect=0, back=0, backc=0,
         frame=0, rounded=0, framec=0, padding=0, spacing=0):
    return (string(font) + struct.pack('<H', size) + struct.pack('<I', text) +
            bytes([style, outline, shadow]) + struct.pack('<I', effect) + bytes([back]) +
            struct.pack('<I', backc) + bytes([frame, rounded]) + struct.pack('<I', framec) +
            struct.pack('<HH', padding, spacing))


def default_zones():
    return zone() + b''.join(zone(b'Arial', 10) for _ in range(7))


def scheme(name, zones):
    return string(name) + zones


def styled_zones(seed):
    # Every field non-zero and distinct per zone, to catch swapped or shifted fields.
    out = b''
    for z in range(8):
        k = seed * 16 + z
        out += zone(b'Font%d' % k, 8 + z, 0x010203 * (z + 1), 1 << (z % 4), z & 1, (z >> 1) & 1,
                    0x00A0B0C0 + k, 1, 0x00112233 + k, 1, z & 1, 0x00445566 + k, z + 1, 2 * z + 3)
    return out


def head(version, count):
    return string(b'CalendarSchemes') + struct.pack('<HH', version, count)


def write(name, data):
    with open(os.path.join(HERE, name), 'wb') as f:
        f.write(data)


write('SchemesDefault.dat', head(110, 1) + scheme(b'-1', default_zones()))
three = [scheme(b'2', styled_zones(1)), scheme(b'Blue', styled_zones(2)),
         scheme(b'Gr\xfcn', styled_zones(3))]
write('SchemesThree.dat', head(110, 3) + b''.join(three))
write('BrokenSchemesVersion111.dat', head(111, 1) + scheme(b'-1', default_zones()))
full = head(110, 3) + b''.join(three)
write('BrokenSchemesCutThird.dat', full[:len(full) - len(three[2]) // 2])
# Headerless: the count first; an empty first name makes the first four bytes read as length 2.
write('SchemesHeaderless.dat', struct.pack('<H', 2) + scheme(b'', styled_zones(4)) +
      scheme(b'Amber', styled_zones(5)))
# Headerless with a first name "ab": the first four bytes read as a length far beyond the file.
write('BrokenSchemesHeaderless.dat', struct.pack('<H', 1) + scheme(b'ab', default_zones()))
write('SchemeExported.dat', scheme(b'Blue', styled_zones(2)))
write('BrokenSchemeExported.dat', scheme(b'Blue', styled_zones(2))[:-1])
