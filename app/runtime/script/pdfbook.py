"""The printed book's shape, for the PDF export: page geometry from a trim size and a
character grid, the split of a document into chapters, the print style sheet, and the
plan of the pages (which page holds what, its number, running head and crop marks).

Lengths are PostScript points (1/72 inch). Positions on a page are measured from its top
left corner, as the page furniture sheet of quirtle-print takes them.

Facing pages: odd pages are rectos. In a vertical (right-to-left) book a recto lies on
the left of the spread, its binding on its right; in a horizontal book on the right, its
binding on its left. The inner margin (at the binding) is larger than the outer one (at
the fore edge), where the page number and the running head sit.
"""

import hashlib
import math

import exportxml

MM = 72 / 25.4

# Trim sizes in points: ISO A4, A5 and A6 (the 文庫 size), JIS B6.
TRIM_SIZES = {
    "A4": (595.28, 841.89),
    "A5": (419.53, 595.28),
    "B6": (362.83, 515.91),
    "A6": (297.64, 419.53),
}
# "bunko" (文庫) is another name for A6.
SIZE_NAMES = {"a4": "A4", "a5": "A5", "b6": "B6", "a6": "A6", "bunko": "A6"}

# Characters per line by lines per page, for each trim size: 文庫 (A6) 39 by 16, 単行本
# B6 42 by 18 and A5 42 by 18, A4 (a proof) 45 by 34. Horizontal books use the same grids.
DEFAULT_GRIDS = {"A6": (39, 16), "B6": (42, 18), "A5": (42, 18), "A4": (45, 34)}

# Line pitch as a multiple of the font size: a half-size ruby fits in the half leading
# only from 2 on, and the engine widens any line whose ruby does not fit, so that pages
# would carry fewer lines than the grid.
PITCH = 2.0
# Share of the page the text block may take along its lines and across them.
BLOCK_SHARE = 0.8
# The part of the free space that goes to the head (天) and to the inner margin (ノド).
HEAD_SHARE = 0.45
INNER_SHARE = 0.56
# A CSS pixel in points.
PIXEL = 0.75
# The engine shrinks a printed page whose content reaches past the canvas along the lines
# (a reading at a line's end does), so that the line pitch comes out a little short, by
# a different amount on every page, and a page with room for a fraction of a line more
# takes a line more than the grid (41 lines on a page of a 40-line grid, the last one cut
# off). With an exact grid, the body clips what it paints past the line ends short of the
# canvas edge, with room along the lines for it, and nothing is shrunk. At the 文庫 size
# (A6) the engine sets the text a little longer than its size (a line of 39 some 0.1 to
# 0.2 em), which the shrink happens to make up for: there the grid is left as it was.
INEXACT_SIZES = ("A6",)
SLACK_ALONG = 0.4
EXACT_SLACK_ALONG = 1.0
PAINT_PAST_END = 0.8
# Space around the trim for crop marks (トンボ), and where the bleed line mark sits.
MARK_SPACE = 13 * MM
MARK_BLEED = 3 * MM
MARK_WIDTH = 0.25


def parse_grid(text):
    """(characters per line, lines per page) of "42x18"; ValueError when malformed."""
    parts = text.lower().replace("×", "x").split("x")
    if len(parts) != 2 or not all(p.strip().isdigit() for p in parts):
        raise ValueError("a grid is CHARACTERSxLINES, for example 42x18")
    chars, lines = int(parts[0]), int(parts[1])
    if not (5 <= chars <= 120 and 2 <= lines <= 80):
        raise ValueError("a grid needs 5 to 120 characters per line and 2 to 80 lines")
    return chars, lines


def parse_length(text):
    """Points of "3mm", "8.5pt" or a bare number of millimetres."""
    value = text.strip().lower()
    scale = MM
    for suffix, factor in (("mm", MM), ("pt", 1.0)):
        if value.endswith(suffix):
            value, scale = value[: -len(suffix)], factor
            break
    try:
        points = float(value) * scale
    except ValueError:
        raise ValueError("a length is a number of millimetres, for example 3mm") from None
    if not 0 <= points <= 20 * MM:
        raise ValueError("a bleed of 0 to 20 mm")
    return points


class Geometry:
    """Where the text block and the furniture sit on the pages of one book."""

    def __init__(self, size, vertical, grid=None, bleed=0.0, crop_marks=False,
                 landscape=False, pitch=PITCH, share=BLOCK_SHARE, inner_share=INNER_SHARE,
                 whole_pixels=False, exact_grid=None):
        """landscape: the trim turned a quarter; pitch: the line pitch in font sizes;
        share: the part of the page the text block may take each way; inner_share: the
        part of the free space across the page that goes to the binding (0.5: the block
        centred); whole_pixels: a line pitch of whole CSS pixels (the engine puts lines
        on whole pixels: any other pitch comes out a pixel shorter or longer now and
        then); exact_grid: nothing is shrunk (see INEXACT_SIZES; None: every size but
        those)."""
        self.size = size
        self.exact_grid = size not in INEXACT_SIZES if exact_grid is None else exact_grid
        self.vertical = vertical
        self.trim_width, self.trim_height = TRIM_SIZES[size]
        if landscape:
            self.trim_width, self.trim_height = self.trim_height, self.trim_width
        self.chars, self.lines = grid or DEFAULT_GRIDS[size]
        self.bleed = bleed
        self.crop_marks = crop_marks
        # Around the trim: the crop marks need their own space; a bleed alone its width.
        self.slug = max(MARK_SPACE, bleed + 2 * MM) if crop_marks else bleed
        along, across = ((self.trim_height, self.trim_width) if vertical
                         else (self.trim_width, self.trim_height))
        font = min(along * share / self.chars, across * share / (self.lines * pitch))
        self.font = int(font * 20) / 20  # a twentieth of a point
        self.pitch = round(self.font * pitch, 3)
        if whole_pixels:
            self.pitch = int(self.pitch / PIXEL) * PIXEL
            self.font = int(self.pitch / pitch * 20) / 20
        line_length = self.chars * self.font
        block_depth = self.lines * self.pitch
        free_along, free_across = along - line_length, across - block_depth
        if vertical:
            self.block_width, self.block_height = block_depth, line_length
            self.head = free_along * HEAD_SHARE
            self.inner = free_across * inner_share
        else:
            self.block_width, self.block_height = line_length, block_depth
            self.head = free_across * HEAD_SHARE
            self.inner = free_along * inner_share
        self.outer = self.trim_width - self.block_width - self.inner
        self.foot = self.trim_height - self.block_height - self.head
        self.media_width = self.trim_width + 2 * self.slug
        self.media_height = self.trim_height + 2 * self.slug
        # The pages are printed on a canvas wider by inner - outer, the text block at one
        # place; each page's MediaBox is then the window that puts its binding inside.
        self.shift = self.inner - self.outer
        self.canvas_width = self.media_width + self.shift
        self.canvas_height = self.media_height

    def binding_left(self, number):
        """Whether page `number` (1 = the first recto) is bound on its left edge."""
        recto = number % 2 == 1
        return recto != self.vertical

    def block_left(self, number):
        """The text block's left edge on the trimmed page."""
        return self.inner if self.binding_left(number) else self.outer

    def window(self, number):
        """The left edge of page `number`'s MediaBox on the printing canvas."""
        return self.inner - self.block_left(number)

    def block_clip(self):
        """(x0, y0, x1, y1) of the printing canvas, from its bottom left corner, that a
        printed page may show: the text block across its lines (a hundredth of a pitch
        more on each side), the whole canvas along them, where line ends may reach."""
        tolerance = 0.01 * self.pitch
        if self.vertical:
            left = self.slug + self.inner
            return (left - tolerance, 0.0, left + self.block_width + tolerance,
                    self.canvas_height)
        top = self.canvas_height - self.slug - self.head
        return (0.0, top - self.block_height - tolerance, self.canvas_width, top + tolerance)

    def print_margins(self):
        """(top, right, bottom, left) millimetres of the printing canvas around the text
        block, with a little slack so that exactly the grid's lines and characters fit
        whatever the engine rounds its lengths to."""
        slack_along = (EXACT_SLACK_ALONG if self.exact_grid else SLACK_ALONG) * self.font
        slack_across = 0.9 * self.pitch
        width = self.block_width + (slack_across if self.vertical else slack_along)
        height = self.block_height + (slack_along if self.vertical else slack_across)
        left = self.slug + self.inner
        top = self.slug + self.head
        right = self.canvas_width - left - width
        bottom = self.canvas_height - top - height
        # The vertical block grows leftwards from its first line at the right edge.
        if self.vertical:
            left, right = left - (width - self.block_width), right + (width - self.block_width)
        return tuple(max(0.0, v) / MM for v in (top, right, bottom, left))

    def _keep_rules(self):
        """A heading never ends a page: the engine does not keep a heading with what
        follows it (break-after: avoid) but never splits a heading's box; the box is made
        to reach over the first line after it (and over the headings that follow it right
        away, class keep-N), a negative margin of the same length keeps that line where
        it was. A heading takes two line pitches and a margin of one; the block after it
        drops its own start margin, which would otherwise add to the negative one instead
        of collapsing into the heading's margin."""
        rules = ["%s { margin-block-start: 0; }\n"
                 % ", ".join("h%d + *" % level for level in range(1, 7))]
        for follow in range(4):
            selector = ", ".join("h%d%s" % (level, ".keep-%d" % follow if follow else "")
                                 for level in range(1, 7))
            reach = (3 * follow + 2) * self.pitch
            rules.append("%s { padding-block-end: %.3fpt; margin-block-end: %.3fpt; }\n"
                         % (selector, reach, self.pitch - reach))
        return "".join(rules)

    def style(self, font_face=None, ruby_face=None):
        """The print style sheet: the grid's font size and line pitch, lines of the grid's
        length, lists and quotations without the half-line margins that would move the
        lines after them off the grid, chapters, headings kept with their text (and with
        a picture right after them, xhtmlwriter's heading-picture), pictures fitted to
        the text block. On screen the page shows one character only: the engine lays a
        page out for the screen when it loads it, and that layout of a whole chapter,
        never shown, took more time than printing it; the one character loads the body
        font before printing starts. The readings of ruby are set in `ruby_face`, when
        given."""
        family = '"QuirtleBody", ' if font_face else ""
        face = ('@font-face { font-family: "QuirtleBody"; src: url("%s"); }\n' % font_face
                if font_face else "")
        if ruby_face:
            # The same face under a name of its own: the readings can be told apart in
            # the printed text.
            face += ('@font-face { font-family: "QuirtleRuby"; src: url("%s"); }\n'
                     'rt { font-family: "QuirtleRuby", %s"IPAMincho", serif; }\n'
                     # Shown on screen so that the face has loaded when printing starts.
                     '@media screen { body::after { content: "あ"; '
                     'font-family: "QuirtleRuby"; } }\n' % (ruby_face, family))
        pitch = "%.3fpt" % self.pitch
        return face + """\
@media screen { body > * { display: none; } body::before { content: "あ"; } }
html { font-family: %(family)s"IPAMincho", "IPA明朝", "Noto Serif CJK JP", serif; font-size: %(size).3fpt; line-height: %(pitch)s; }
body { margin: 0; padding: 0; inline-size: %(line).3fpt; }
%(exact)s
p { text-align: justify; orphans: 1; widows: 1; }
ul, ol, dl, blockquote { margin-block: 0; }
h1, h2, h3, h4, h5, h6 { line-height: %(double)s; margin-block: 0 %(pitch)s; page-break-after: avoid; break-after: avoid; page-break-inside: avoid; break-inside: avoid; }
%(keep)sh1 { font-size: 1.5em; } h2 { font-size: 1.3em; } h3, h4, h5, h6 { font-size: 1.1em; }
section { page-break-before: auto; break-before: auto; }
.chapter-start { page-break-before: always; break-before: page; }
figure { margin: 0; page-break-inside: avoid; break-inside: avoid; text-align: center; }
.heading-picture { page-break-inside: avoid; break-inside: avoid; }
figure img { display: block; margin-inline: auto; max-width: %(width).2fpt; max-height: %(height).2fpt; width: auto; height: auto; object-fit: contain; }
figure figcaption { line-height: %(pitch)s; }
figure.cover-page { width: %(width).2fpt; height: %(height).2fpt; display: flex; align-items: center; justify-content: center; }
figure.cover-page img { max-width: %(width).2fpt; max-height: %(height).2fpt; }
""" % {"family": family, "font": self.font, "pitch": pitch,
       "size": self.font,
       "double": "%.3fpt" % (2 * self.pitch),
       # Lines of exactly the grid's characters: justified lines end at the grid's foot
       # and their characters stand on its rows; a fiftieth of a character covers the
       # engine's rounding of the glyph advances.
       "line": (self.chars + 0.02) * self.font,
       "keep": self._keep_rules(),
       "exact": ("html { overflow: clip; }\nbody { overflow: clip; overflow-clip-margin: "
                 "%.2fem; }\n" % PAINT_PAST_END) if self.exact_grid else "",
       "width": self.picture_box()[0], "height": self.picture_box()[1]}

    def figure_style(self, width, height, caption):
        """The style of the figure of a `width` by `height` pixel picture with the text
        `caption`: its size across the lines made whole line pitches (the picture as
        the print style fits it, and the caption's lines), so that the lines after it
        stay on the grid."""
        if width <= 0 or height <= 0:
            return None
        box_width, box_height = self.picture_box()
        scale = min(1.0, box_width / (width * 0.75), box_height / (height * 0.75))
        across = (width if self.vertical else height) * 0.75 * scale
        if caption:
            # The caption is set at 0.9 em, one pitch a line.
            across += self.pitch * math.ceil(len(caption) * 0.9 / self.chars)
        return "block-size: %.3fpt" % (math.ceil(across / self.pitch - 1e-6) * self.pitch)

    def picture_box(self):
        """(width, height) in points that a picture is fitted into: a picture and a
        caption line fit inside the text block, whichever way it runs."""
        return (self.block_width - (2 * self.pitch if self.vertical else 0),
                self.block_height - (0 if self.vertical else 2 * self.pitch))


# ---------------------------------------------------------------------------------------
# Chapters.

def _has_heading(section):
    for child in section.elements():
        if exportxml.is_heading(child):
            return True
    return False


def _is_section(element):
    return element.name == "section" and not element.inline_command and not element.division


def chapter_units(document):
    """The document's blocks grouped into printing units: what comes before the first
    chapter, then one unit per chapter. A chapter is a section with a heading that no
    other section with a heading holds; a section without a heading (the converter opens
    one for a `**` written before any `*`) is looked through, so a novel whose chapters
    are `**` gets them as chapters even where a `*` colophon follows. Returns a list of
    (heading element or None, [elements])."""
    units = []
    current = (None, [])
    pending = list(reversed(document.elements()))
    while pending:
        element = pending.pop()
        if _is_section(element) and not _has_heading(element):
            pending.extend(reversed(element.elements()))
            continue
        if _is_section(element):
            if current[1]:
                units.append(current)
            heading = next(c for c in element.elements() if exportxml.is_heading(c))
            current = (heading, [element])
        else:
            current[1].append(element)
    if current[1]:
        units.append(current)
    return units


def is_cover(element):
    command = exportxml.oneline_command(element) if not element.inline_command else None
    return (command is not None and command.name == "image"
            and "cover" in command.attrs.get("class", "").split())


def take_covers(document):
    """Removes the cover pictures (`:image(cover) ...`) from the document and returns
    their command elements, first one first."""
    covers = []
    for element in list(exportxml.iter_elements(document)):
        if element.parent is not None and is_cover(element):
            element.parent.children.remove(element)
            covers.append(exportxml.oneline_command(element))
    return covers


# ---------------------------------------------------------------------------------------
# The plan of the pages.

class Page:
    """One page of the book: the unit printed on it (or None for a blank page), the page
    of that unit's PDF, and the running head's chapter."""

    __slots__ = ("unit", "index", "chapter", "first")

    def __init__(self, unit, index, chapter, first):
        self.unit = unit
        self.index = index
        self.chapter = chapter
        self.first = first


def plan_pages(page_counts, chapters, right_start):
    """The book's pages, in order, for units of `page_counts` pages whose chapter titles
    are `chapters` (None for front matter). Every unit starts on a new page; with
    `right_start` on a recto (an odd page), after a blank page where needed."""
    pages = []
    for unit, (count, chapter) in enumerate(zip(page_counts, chapters)):
        if right_start and len(pages) % 2 == 1:
            pages.append(Page(None, 0, None, False))
        for index in range(count):
            pages.append(Page(unit, index, chapter, index == 0))
    return pages


def furniture(geometry, pages, title, running_head, numbered_from=1):
    """The page furniture of `pages`, one list of items a page, on the printing canvas
    (see Geometry.window): ("text", x, baseline y, size, "l"/"c"/"r", text) and ("line",
    x1, y1, x2, y2, width). Page numbers sit at the fore edge of the foot from page
    `numbered_from` on, except on blank pages; the running head (the book title on versos,
    the chapter on rectos) at the fore edge of the head, except on a chapter's first
    page; crop marks when the geometry has them."""
    g = geometry
    size = max(6.0, round(g.font * 0.8, 2))
    out = []
    for number, page in enumerate(pages, 1):
        items = []
        out.append(items)
        x0 = g.window(number)
        if g.crop_marks:
            items.extend(("line",) + line + (MARK_WIDTH,) for line in _crop_marks(g, x0))
        if page.unit is None:
            continue
        left = x0 + g.slug + g.block_left(number)
        right = left + g.block_width
        # The fore edge is the side away from the binding.
        x, align = (right, "r") if g.binding_left(number) else (left, "l")
        if number >= numbered_from:
            y = g.slug + g.head + g.block_height + min(g.foot * 0.5, 8 * MM) + size * 0.35
            items.append(("text", x, y, size, align, str(number)))
        if running_head and not page.first:
            text = page.chapter if number % 2 == 1 else title
            if text:
                y = g.slug + g.head * 0.55 + size * 0.35
                items.append(("text", x, y, size, align, _one_line(text)))
    return out


def sheet(items, canvas, font_family):
    """The description quirtle-print --sheet draws: the furniture `items` of each page on
    pages of the canvas size."""
    out = ["font\t%s" % font_family]
    for page in items:
        out.append("page\t%.3f\t%.3f" % canvas)
        for item in page:
            if item[0] == "text":
                out.append("text\t%.3f\t%.3f\t%.2f\t%s\t%s" % item[1:])
            else:
                out.append("line\t%.3f\t%.3f\t%.3f\t%.3f\t%.2f" % item[1:])
    return "\n".join(out) + "\n"


def _one_line(text):
    return " ".join(text.replace("\t", " ").split())[:60]


def _crop_marks(g, x0):
    """Japanese corner marks (a trim line and a bleed line at each corner, both outside
    the bleed) and centre marks on the four sides."""
    lines = []
    left, top = x0 + g.slug, g.slug
    right, bottom = left + g.trim_width, top + g.trim_height
    b = max(MARK_BLEED, g.bleed)
    outer_x0, outer_x1 = x0, x0 + g.media_width
    outer_y0, outer_y1 = 0.0, g.media_height
    for cx, sx in ((left, -1), (right, 1)):
        for cy, sy in ((top, -1), (bottom, 1)):
            edge_x = outer_x0 if sx < 0 else outer_x1
            edge_y = outer_y0 if sy < 0 else outer_y1
            # Lines along the trim and along the bleed, from the bleed outwards.
            lines.append((cx, cy + sy * b, cx, edge_y))
            lines.append((cx + sx * b, cy + sy * b, cx + sx * b, edge_y))
            lines.append((cx + sx * b, cy, edge_x, cy))
            lines.append((cx + sx * b, cy + sy * b, edge_x, cy + sy * b))
    mid_x, mid_y = (left + right) / 2, (top + bottom) / 2
    arm = 10 * MM
    for y, sy in ((top, -1), (bottom, 1)):
        far = outer_y0 if sy < 0 else outer_y1
        lines.append((mid_x, y + sy * b, mid_x, far))
        cross = y + sy * (b + (g.slug - b) / 2)
        lines.append((mid_x - arm, cross, mid_x + arm, cross))
    for x, sx in ((left, -1), (right, 1)):
        far = outer_x0 if sx < 0 else outer_x1
        lines.append((x + sx * b, mid_y, far, mid_y))
        cross = x + sx * (b + (g.slug - b) / 2)
        lines.append((cross, mid_y - arm, cross, mid_y + arm))
    return lines


def boxes(geometry, number, canvas_height):
    """{box name: [x0, y0, x1, y1]} of page `number` in PDF coordinates (origin at the
    bottom left) of the printing canvas."""
    g = geometry
    x0 = g.window(number)
    top = canvas_height
    media = [x0, top - g.media_height, x0 + g.media_width, top]
    trim = [x0 + g.slug, top - g.slug - g.trim_height, x0 + g.slug + g.trim_width, top - g.slug]
    bleed = [trim[0] - g.bleed, trim[1] - g.bleed, trim[2] + g.bleed, trim[3] + g.bleed]
    rounded = lambda box: [round(v, 3) for v in box]  # noqa: E731
    return {"/MediaBox": rounded(media), "/CropBox": rounded(media),
            "/BleedBox": rounded(bleed), "/TrimBox": rounded(trim)}


def subset_tag(name):
    """A six-letter subset tag (ABCDEF+) derived from `name`."""
    digest = hashlib.sha1(name.encode("utf-8")).digest()
    return "".join(chr(ord("A") + b % 26) for b in digest[:6])
