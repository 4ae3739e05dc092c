#!/usr/bin/env python3
"""Writes console/win32/CharacterWidthRanges.h: the code points that take no column or two, as
the C library of the Linux build counts them, so that the Windows build (which has no wcwidth)
counts columns the same way. Run it again after a C library with newer Unicode data:
    scripts/character-width-ranges.py console/win32/CharacterWidthRanges.h"""
import ctypes
import locale
import shutil
import subprocess
import sys

locale.setlocale(locale.LC_CTYPE, "C.UTF-8")
libc = ctypes.CDLL(None)
libc.wcwidth.argtypes = [ctypes.c_wchar]
libc.wcwidth.restype = ctypes.c_int

def width(code):
    found = libc.wcwidth(chr(code))
    return found if found in (0, 2) else 1  # what the library does not know is one column

ranges = {0: [], 2: []}
for block in (range(0xA0, 0xD800), range(0xE000, 0x110000)):
    previous, start = 1, block.start
    for code in list(block) + [block.stop]:
        current = width(code) if code < block.stop else 1
        if current != previous:
            if previous != 1:
                ranges[previous].append((start, code - 1))
            previous, start = current, code

def table(name, entries):
    lines = [f"inline constexpr CodePointRange {name}[] = {{"]
    row = []
    for first, last in entries:
        row.append(f"{{0x{first:X}, 0x{last:X}}},")
        if len(" ".join(row)) > 88:
            lines.append("    " + " ".join(row[:-1]))
            row = row[-1:]
    if row:
        lines.append("    " + " ".join(row))
    lines.append("};")
    return "\n".join(lines)

out = sys.stdout if len(sys.argv) < 2 else open(sys.argv[1], "w")
out.write("""#pragma once

// Made by scripts/character-width-ranges.py from the widths of the Linux build's C library, so
// that both builds give a name the same columns. Sorted, without overlaps.

#include <cstdint>

struct CodePointRange {
    uint32_t first;
    uint32_t last;
};

// Combining marks, format characters and the vowels of old Hangul: no column.
""" + table("kZeroWidth", ranges[0]) + """

// East Asian wide and full-width characters and the emoji shown wide: two columns.
""" + table("kDoubleWidth", ranges[2]) + "\n")
if out is not sys.stdout:
    out.close()
    # In the shape the format check expects.
    formatter = shutil.which("clang-format-14") or shutil.which("clang-format")
    if formatter:
        subprocess.run([formatter, "-i", sys.argv[1]], check=True)
