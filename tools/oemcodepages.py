#!/usr/bin/env python3
"""Writes src/parts/oemcodepagetables.cpp: the upper halves (bytes 0x80 to 0xFF) of
the console code pages MERGE.BAT can be written in, from Python's own codec
tables. Run from the top of the tree after changing the list."""
import sys

PAGES = [850, 852, 857, 775, 737, 866]


def table(page):
    # A byte the page leaves undefined is 0, which no name character matches.
    chars = "".join(bytes([b]).decode("cp%d" % page, errors="replace").replace("\ufffd", "\0")
                    for b in range(0x80, 0x100))
    rows = []
    for i in range(0, 128, 8):
        rows.append("        " + ", ".join("0x%04X" % ord(c) for c in chars[i:i + 8]) + ",")
    return "        {%d, {{\n%s\n        }}},\n" % (page, "\n".join("    " + row for row in rows))


def main():
    out = ["// Written by tools/oemcodepages.py; do not edit.\n",
           '#include "parts/oemcodepages.h"\n\n',
           "namespace darvolt {\n\n",
           "const std::array<OemCodePage, %d>& OemCodePages()\n{\n" % len(PAGES),
           "    static const std::array<OemCodePage, %d> pages{{\n" % len(PAGES)]
    for page in PAGES:
        out.append(table(page))
    out.append("    }};\n    return pages;\n}\n\n} // namespace darvolt\n")
    with open("src/parts/oemcodepagetables.cpp", "w") as f:
        f.write("".join(out))


if __name__ == "__main__":
    sys.exit(main())
