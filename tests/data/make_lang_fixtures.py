#!/usr/bin/env python3
"""Writes the language-file fixtures byte by byte from the documented layout
(docs/language-files.md), independently of the C++ reader and of langc, so the tests compare our
reader against a second encoder."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def string(b):
    return struct.pack('<i', len(b)) + b


def header(version=200):
    return string(b'LanguageFile') + struct.pack('<H', version)


def section(name, pairs):
    out = string(name) + struct.pack('<H', len(pairs))
    for key, text in pairs:
        out += string(key) + string(text)
    return out


SECTIONS = [
    (b'frmMain', [(b'btnDate', b'...'), (b'PopMenu_Exit', b'Close'), (b'Weekdays', b'MTWTFSS')]),
    (b'frmConfig', [(b'btnApply', b'Apply'), (b'cmbDateFormat', b'Short;Long')]),
    (b'messages', [(b'E0', b'Error'), (b'Q1', b'A scheme named ";" already exists, do you want to replace it?')]),
]


def body(name=b'English', value=0x1234, sections=SECTIONS):
    out = string(name) + struct.pack('<HH', value, len(sections))
    for n, pairs in sections:
        out += section(n, pairs)
    return out


def write(name, data):
    with open(os.path.join(HERE, name), 'wb') as f:
        f.write(data)


def main():
    write('LangHeader.lang', header() + body())
    write('LangHeaderless.lang', body())
    write('BrokenLangVersion199.lang', header(199) + body())
    write('BrokenLangVersion201.lang', header(201) + body())
    # Cut in the middle of the third section's second text.
    full = header() + body()
    write('BrokenLangCutThird.lang', full[:len(full) - 20])
    # The second pair of the first section claims 2,147,483,647 bytes of text.
    huge = (header() + string(b'English') + struct.pack('<HH', 0, 2) +
            section(b'first', [(b'a', b'A')]) +
            string(b'second') + struct.pack('<H', 2) + string(b'b') + string(b'B') +
            string(b'c') + struct.pack('<i', 0x7FFFFFFF) + b'xyz')
    write('BrokenLangHugeCount.lang', huge)
    # Texts written by an older editor in Windows-1252.
    write('LangWindows1252.lang', header() + body(b'Fran\xe7ais', 0, [
        (b'frmMemo', [(b'cmbMonth', b'Janvier;F\xe9vrier;Mars;Avril;Mai;Juin;Juillet;Ao\xfbt;Septembre;'
                                    b'Octobre;Novembre;D\xe9cembre')])]))


if __name__ == '__main__':
    main()
