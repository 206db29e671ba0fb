"""Counting a manuscript as the editor's status bar counts it, from the export XML's
bytes: the characters a reader sees (headings, paragraphs, items; ruby bases, not their
readings; no markup or line breaks; a line the converter could not read whole) and the
400-character manuscript pages they fill (every block starts a new line of 20 after a
one-character indent; 20 lines a page; a page begun is a page).

python3 textcounts.py < export.xml prints the characters, lines and pages.
"""

import re
import sys

COLUMNS = 20
LINES = 20

# Elements whose tags begin or end a block of text.
BLOCK_ELEMENTS = frozenset((b"pre", b"list", b"litem", b"dlist", b"dterm", b"ddesc",
                            b"heading", b"section", b"paragraph", b"div_inner",
                            b"blockquote", b"blockquote_inner"))

# One token of the export: a tag (its name), an escaped character (one character), a run
# of two-byte characters (a lead byte takes the next byte whatever it is), line breaks,
# or a run of other bytes (one character each).
_TOKEN = re.compile(rb"<(/?)([^\s/>]*)[^>]*>?|(&)[^;]*;?|((?:[\x81-\x9f\xe0-\xfc][\x00-\xff]?)+)"
                    rb"|([\r\n]+)|([^<&\r\n\x81-\x9f\xe0-\xfc]+)")


def block_lines(characters):
    """The lines of 20 a block of `characters` characters takes, its indent included."""
    return 0 if characters == 0 else (characters + 1 + COLUMNS - 1) // COLUMNS


class Counts:
    __slots__ = ("characters", "lines", "pages")

    def __init__(self, characters, lines):
        self.characters = characters
        self.lines = lines
        self.pages = (lines + LINES - 1) // LINES


def count_export(data):
    """Counts of the export XML `data` (bytes, Shift_JIS as the converter writes it)."""
    characters = lines = block = 0
    for match in _TOKEN.finditer(data):
        name, entity, wide, breaks, plain = match.group(2, 3, 4, 5, 6)
        if name is not None:
            if name in BLOCK_ELEMENTS:
                characters += block
                lines += block_lines(block)
                block = 0
        elif entity is not None:
            block += 1
        elif wide is not None:
            block += (len(wide) + 1) // 2
        elif plain is not None:
            # Blanks that open a block are not shown by the page.
            block += len(plain) if block else len(plain.lstrip(b" \t"))
        elif breaks is None:
            pass
    characters += block
    lines += block_lines(block)
    return Counts(characters, lines)


if __name__ == "__main__":
    found = count_export(sys.stdin.buffer.read())
    print(found.characters, found.lines, found.pages)
