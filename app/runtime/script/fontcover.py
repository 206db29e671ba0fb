"""Which characters of a book no installed font can print. The print engine sets a
character the body font lacks in another installed font that has it (an emoji font for
emoji); a character no font has would print as an empty box, so the book's script names
such characters instead of printing the boxes silently. What the installed fonts hold
(the body font among them) is asked of fontconfig (fc-list) once."""

import bisect
import shutil
import subprocess
import unicodedata

# Characters that print nothing of their own: controls, format characters (joiners),
# line and paragraph separators, spaces, and the variation selectors.
_SILENT_CATEGORIES = {"Cc", "Cf", "Zl", "Zp", "Zs"}


def _silent(character):
    code = ord(character)
    return (unicodedata.category(character) in _SILENT_CATEGORIES
            or 0xFE00 <= code <= 0xFE0F or 0xE0100 <= code <= 0xE01EF)


def installed_ranges():
    """Sorted, merged [(first, last)] code point ranges of every font fontconfig knows;
    None when fontconfig cannot be asked."""
    program = shutil.which("fc-list")
    if not program:
        return None
    try:
        result = subprocess.run([program, "--format", "%{charset}\n"], capture_output=True,
                                stdin=subprocess.DEVNULL, timeout=60)
    except (OSError, subprocess.TimeoutExpired):
        return None
    if result.returncode != 0:
        return None
    ranges = []
    for token in result.stdout.decode("ascii", "replace").split():
        first, _, last = token.partition("-")
        try:
            ranges.append((int(first, 16), int(last or first, 16)))
        except ValueError:
            continue
    ranges.sort()
    merged = []
    for first, last in ranges:
        if merged and first <= merged[-1][1] + 1:
            if last > merged[-1][1]:
                merged[-1] = (merged[-1][0], last)
        else:
            merged.append((first, last))
    return merged


def _covered(ranges, code):
    index = bisect.bisect_right(ranges, (code, 0x10FFFF + 1)) - 1
    return index >= 0 and ranges[index][0] <= code <= ranges[index][1]


def unprintable(text, ranges=None):
    """The characters of `text` (sorted, each once) that no installed font has; `ranges`
    as installed_ranges() gives them (asked when not given). Empty when fontconfig cannot
    be asked (nothing can be told)."""
    wanted = sorted({c for c in set(text) if ord(c) > 0x7E and not _silent(c)})
    if not wanted:
        return []
    if ranges is None:
        ranges = installed_ranges()
    if ranges is None:
        return []
    return [c for c in wanted if not _covered(ranges, ord(c))]


def describe(characters, limit=20):
    """The characters as a note names them: each as U+XXXX with the character itself."""
    shown = ["U+%04X 「%s」" % (ord(c), c) for c in characters[:limit]]
    if len(characters) > limit:
        shown.append("and %d more" % (len(characters) - limit))
    return ", ".join(shown)
