#!/usr/bin/env python3
"""Turns quirtle's export XML (standard input) into a manuscript for a publisher's prize
(-o PATH): A4 landscape, vertical, on an exact grid of characters a line and lines a page.

--grid CHARSxLINES (40x40 by default; 42x34 is the other common one): every full page
  holds that many lines of that many characters (a line that the line-breaking rules end
  early, or a paragraph's last, holds fewer).
--paper: 原稿用紙 instead: 20 characters a line in ruled cells, 20 lines a page in two
  halves of 10, the page number in the column between them.
--ruby inline (default) writes a ruby as base（reading）, as prizes ask; --ruby ruby sets
  the reading beside its base (the lines are set wider apart for it).
The first page holds the title (":title"), the author (":author"), the characters of the
text and the 400-character manuscript pages they fill (counted as the editor's status bar
counts them), and the pages of the manuscript itself; the pages after it are numbered
from 1. Chapters run on; ":pagebreak" starts a new page. Pictures are left out.
The pages are printed by quirtle-print as the PDF books are, and put together with qpdf.
"""

import concurrent.futures
import html
import os
import shutil
import sys
import tempfile

# The scripts may live in a folder the user cannot write to; no .pyc files beside them.
sys.dont_write_bytecode = True

import exportxml  # noqa: E402
import pdfassemble  # noqa: E402
import pdfbook  # noqa: E402
import pdftext  # noqa: E402
import textcounts  # noqa: E402
import xhtmlwriter  # noqa: E402
import xml2pdf  # noqa: E402

NAME = "xml2manuscript"
MM = pdfbook.MM
# The part of the page the text block may take each way.
SHARE = 0.85
# Line pitch in font sizes: with the readings inline the lines need no room for them.
INLINE_PITCH = 1.75
# Manuscript paper: the cell, the gap beside it (where a reading goes) and the font in
# the cell, in points (the line pitch, cell and gap, whole CSS pixels); the column
# between the halves in cells.
CELL = 22.5
GAP = 9.0
CELL_FONT = 0.7 * CELL
CENTRE = 1.5
RULE = 0.5


def manuscript_geometry(grid, ruby):
    return pdfbook.Geometry("A4", True, grid, landscape=True, share=SHARE,
                            pitch=pdfbook.PITCH if ruby else INLINE_PITCH, inner_share=0.5,
                            whole_pixels=True, exact_grid=True)


class Paper:
    """Where the cells of the manuscript paper sit. The printed pages are half pages of
    10 lines, printed where the right half goes (`geometry`); the left halves are moved
    over by `offset` points."""

    def __init__(self):
        g = pdfbook.Geometry("A4", True, (20, 10), landscape=True, exact_grid=True)
        pitch = CELL + GAP
        width = 20 * pitch + CENTRE * CELL
        self.left = (g.trim_width - width) / 2  # the left half's first line's left edge
        self.top = (g.trim_height - 20 * CELL) / 2
        self.pitch = pitch
        self.offset = 10 * pitch + CENTRE * CELL
        right = self.left + self.offset
        g.font = CELL_FONT
        g.pitch = round(pitch, 3)
        g.block_width, g.block_height = 10 * pitch, 20 * CELL
        # The glyphs stand in the middle of their cells.
        g.head = self.top + (CELL - CELL_FONT) / 2
        g.inner = g.outer = right
        g.foot = g.trim_height - g.head - g.block_height
        g.shift = 0.0
        g.canvas_width, g.canvas_height = g.trim_width, g.trim_height
        self.geometry = g

    def style(self):
        return ("body { inline-size: %.3fpt; }\n"
                "html { letter-spacing: %.3fpt; }\n"
                "p { text-align: start; text-indent: %.3fpt; }\n"
                "p.noindent { text-indent: 0; }\n"
                % ((20 + 0.02) * CELL, CELL - CELL_FONT, CELL))

    def grid(self):
        """The lines of the paper: each half's cells, the frame, the centre column."""
        lines = []
        top, bottom = self.top, self.top + 20 * CELL
        for half in range(2):
            first = self.left + half * self.offset
            for line in range(10):
                centre = first + (line + 0.5) * self.pitch
                x0, x1 = centre - CELL / 2, centre + CELL / 2
                lines += [(x0, top, x0, bottom), (x1, top, x1, bottom)]
                lines += [(x0, top + row * CELL, x1, top + row * CELL) for row in range(21)]
        frame_left = self.left - GAP / 2
        frame_right = self.left + self.offset + 10 * self.pitch + GAP / 2
        frame_top, frame_bottom = top - GAP / 2, bottom + GAP / 2
        lines += [(frame_left, frame_top, frame_right, frame_top),
                  (frame_left, frame_bottom, frame_right, frame_bottom),
                  (frame_left, frame_top, frame_left, frame_bottom),
                  (frame_right, frame_top, frame_right, frame_bottom)]
        centre_left = self.left + 10 * self.pitch
        centre_right = centre_left + CENTRE * CELL - GAP
        centre_left += GAP
        lines += [(centre_left, frame_top, centre_left, frame_bottom),
                  (centre_right, frame_top, centre_right, frame_bottom)]
        return [("line",) + line + (RULE,) for line in lines]

    def number_place(self):
        """(x, baseline y) of the page number: at the foot of the centre column."""
        x = self.left + 10 * self.pitch + CENTRE * CELL / 2
        return x, self.top + 20 * CELL - CELL * 0.3


def inline_readings(document):
    """Turns every ruby into its base followed by （reading）."""
    for element in list(exportxml.iter_elements(document)):
        if element.kind == exportxml.KIND_RUBY:
            reading = (element.params() or [""])[0]
            element.kind = exportxml.KIND_INLINE
            element.name = "ruby-inline"
            element.attrs = {}
            if reading:
                element.children.append("（%s）" % reading)


def title_page(meta, counts, pages, label):
    """The XHTML body of the first page."""
    author = '<p class="author">%s</p>\n' % html.escape(meta.author) if meta.author else ""
    return ('<div class="front">\n<h1 class="title">%s</h1>\n%s'
            '<p class="count">本文　%d字</p>\n'
            '<p class="count">四百字詰め原稿用紙換算　%d枚</p>\n'
            '<p class="count">%s　%d枚</p>\n</div>\n'
            % (xhtmlwriter.typeset(meta.title), author, counts.characters, counts.pages,
               label, pages))


TITLE_STYLE = """\
@page { margin: 0; }
html { font-size: 16pt; line-height: 2; }
body { margin: 0; block-size: 100%%; }
.front { block-size: 100%%; display: flex; flex-direction: column; justify-content: center; }
h1.title { font-size: 1.8em; margin: 0 0 2em 0; padding-inline-start: 3em; }
p.author { font-size: 1.2em; margin: 0 0 2em 0; padding-inline-start: 12em; }
p.count { margin: 0; padding-inline-start: 12em; }
@media screen { body > * { display: none; } body::before { content: "あ"; } }
%s"""


def build(document, data, options, folder):
    counts = textcounts.count_export(data)
    meta = exportxml.metadata(document, options.output)
    paper = Paper() if options.paper else None
    geometry = paper.geometry if paper else manuscript_geometry(options.grid,
                                                                options.ruby == "ruby")
    if options.ruby == "inline":
        inline_readings(document)
    pdfbook.take_covers(document)  # a manuscript has no cover
    writer = xhtmlwriter.Writer(hide_metadata=True, heading_ids=True, book=True,
                                deep=xhtmlwriter.BOOK_DEPTH)
    writer.reserve_ids(document)
    body = writer.render(document.elements()) or "<p></p>\n"
    body = body.replace('<div class="oneline_command image"', '<div hidden=""')

    readings = "".join(html.unescape(r) for r in xml2pdf._READING.findall(body))
    front_text = meta.title + (meta.author or "") + "本文字四百詰め原稿用紙換算枚0123456789行×"
    with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
        body_font = pool.submit(pdfassemble.subset_font, body + front_text, folder)
        ruby = pool.submit(pdfassemble.subset_font, readings, folder,
                           pdftext.RUBY_FONT_NAME) if readings else None
        font = body_font.result()
        ruby_font = ruby.result() if ruby and font else None
    url = xml2pdf._file_url
    style = geometry.style(url(font) if font else None, url(ruby_font) if ruby_font else None)
    # Chapters run on; headings in the text's own size, on a line of their own; every
    # character takes a whole character's room, punctuation too (a manuscript is counted
    # in characters a line).
    style += (".kern-end { margin-inline-end: 0; } .kern-start { margin-inline-start: 0; }\n"
              "html { text-spacing-trim: space-all; }\n")
    style += ("section.section_1, .chapter { page-break-before: auto; break-before: auto; }\n"
              "h1, h2, h3, h4, h5, h6 { font-size: 1em; line-height: %.3fpt; "
              "padding-inline-start: %.3fpt; }\n" % (geometry.pitch, 2 * (CELL if paper else geometry.font)))
    if paper:
        style += paper.style()

    body_source = os.path.join(folder, "body.xhtml")
    with open(body_source, "w", encoding="utf-8") as out:
        out.write(xhtmlwriter.document(meta.title, body, style=xhtmlwriter.book_style(True)
                                       + style, vertical=True))
    body_pdf = os.path.join(folder, "body.pdf")
    canvas = "%.3fx%.3f" % (geometry.canvas_width, geometry.canvas_height)
    margins = ",".join("%.3f" % m for m in geometry.print_margins())

    def print_body():
        xml2pdf.run_printer(["--page-size", canvas, "--margins", margins,
                             body_source, body_pdf], "printing")
        return pdfassemble.PrintedPart(body_pdf, geometry.block_clip())


    # The first page names the number of pages: it is printed once the text is.
    body_part = print_body()
    body_pages = (body_part.count + 1) // 2 if paper else body_part.count
    label = "原稿用紙 20字×20行" if paper else "%d字×%d行" % options.grid
    front_source = os.path.join(folder, "front.xhtml")
    face = ""
    if font:
        face = '@font-face { font-family: "QuirtleBody"; src: url("%s"); }\n' \
               'html { font-family: "QuirtleBody", "IPAMincho", serif; }\n' % url(font)
    with open(front_source, "w", encoding="utf-8") as out:
        out.write(xhtmlwriter.document(
            meta.title, title_page(meta, counts, body_pages, label),
            style=xhtmlwriter.book_style(True) + TITLE_STYLE % face, vertical=True))
    front_pdf = os.path.join(folder, "front.pdf")
    margin = 25.0
    xml2pdf.run_printer(["--page-size", canvas, "--margins", ",".join(["%.3f" % margin] * 4),
                         front_source, front_pdf], "printing the first page")
    front_part = pdfassemble.PrintedPart(front_pdf)

    if paper:
        body_part = pdfassemble.PrintedPart(spread(body_part, paper, folder))
    pages = pdfbook.plan_pages([1, body_part.count], [None, None], False)
    size = 10.0
    items = [[]]
    for number in range(1, body_part.count + 1):
        if paper:
            x, y = paper.number_place()
            items.append([("text", x, y, size, "c", str(number))])
        else:
            x = geometry.trim_width / 2
            y = geometry.head + geometry.block_height + geometry.foot * 0.5 + size * 0.35
            items.append([("text", x, y, size, "c", str(number))])
    sheet_path = os.path.join(folder, "sheet.txt")
    with open(sheet_path, "w", encoding="utf-8") as out:
        out.write(pdfbook.sheet(items, (geometry.canvas_width, geometry.canvas_height),
                                xml2pdf.SHEET_FONT))
    sheet_pdf = os.path.join(folder, "sheet.pdf")
    xml2pdf.run_printer(["--sheet", sheet_path, sheet_pdf], "drawing the page numbers")
    assembled = os.path.join(folder, "assembled.pdf")
    pdfassemble.assemble(sheet_pdf, [front_part, body_part], pages, assembled)
    if paper and body_part.count:
        assembled = rule_grid(assembled, paper, folder)
    outline = []
    finished = os.path.join(folder, "manuscript.pdf")
    box = [0, 0, round(geometry.canvas_width, 3), round(geometry.canvas_height, 3)]
    pdfassemble.finish(assembled, finished,
                       {"/Title": meta.title, "/Author": meta.author, "/Creator": "quirtle"},
                       outline, lambda number: {"/MediaBox": box, "/CropBox": box,
                                                "/TrimBox": box},
                       True, pdfbook.subset_tag, [f for f in (font, ruby_font) if f],
                       pdftext.annotation_changes)
    return finished


def spread(part, paper, folder):
    """The half pages of `part` two to a sheet: the first of each pair on the right, the
    second moved over to the left."""
    qpdf = pdfassemble.qpdf()
    count = part.count
    rights = os.path.join(folder, "rights.pdf")
    pdfassemble._run([qpdf, "--empty", "--pages", part.path, "1-z:odd", "--", rights],
                     "taking the right halves")
    if count < 2:
        return rights
    lefts = os.path.join(folder, "lefts.pdf")
    pdfassemble._run([qpdf, "--empty", "--pages", part.path, "1-z:even", "--", lefts],
                     "taking the left halves")
    g = paper.geometry
    moved = [round(paper.offset, 3), 0, round(g.canvas_width + paper.offset, 3),
             round(g.canvas_height, 3)]
    shifted = os.path.join(folder, "lefts-moved.pdf")
    pdfassemble.set_boxes(lefts, shifted, {"/MediaBox": moved, "/CropBox": moved,
                                           "/TrimBox": moved})
    both = os.path.join(folder, "spread.pdf")
    pages = count // 2
    pdfassemble._run([qpdf, rights, "--overlay", shifted, "--to=1-%d" % pages,
                      "--from=1-%d" % pages, "--", both], "putting the halves together")
    return both


def rule_grid(path, paper, folder):
    """`path` with the paper's cells drawn on every page but the first (over the text: the
    printed pages paint their own white ground; the glyphs stand inside the cells)."""
    g = paper.geometry
    grid_text = os.path.join(folder, "grid.txt")
    with open(grid_text, "w", encoding="utf-8") as out:
        out.write(pdfbook.sheet([paper.grid()], (g.canvas_width, g.canvas_height),
                                xml2pdf.SHEET_FONT))
    grid_pdf = os.path.join(folder, "grid.pdf")
    xml2pdf.run_printer(["--sheet", grid_text, grid_pdf], "drawing the manuscript paper")
    output = os.path.join(folder, "ruled.pdf")
    pdfassemble._run([pdfassemble.qpdf(), path, "--overlay", grid_pdf, "--to=2-z",
                      "--from=", "--repeat=1", "--", output], "ruling the pages")
    return output


def main():
    parser = exportxml.argument_parser("Export XML to a manuscript for a prize (PDF).")
    parser.add_argument("--grid", type=xml2pdf._checked(pdfbook.parse_grid), default=(40, 40),
                        help="characters per line and lines per page (default 40x40)")
    parser.add_argument("--paper", action="store_true",
                        help="原稿用紙: 20 by 20 in ruled cells")
    parser.add_argument("--ruby", choices=("inline", "ruby"), default="inline",
                        help="readings as base（reading） (inline, default) or beside the base")
    options = parser.parse_args()
    data = exportxml.read_input()
    document = exportxml.parse(data)
    folder = tempfile.mkdtemp(prefix="quirtle-manuscript-")
    try:
        finished = build(document, data, options, folder)
        with open(finished, "rb") as pdf:
            result = pdf.read()
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    exportxml.write_output(options.output, result)


if __name__ == "__main__":
    exportxml.run(NAME, main)
