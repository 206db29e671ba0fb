#!/usr/bin/env python3
"""Turns quirtle's export XML (standard input) into a PDF ready for a printer (-o PATH).

The pages are the XHTML of the EPUB (ruby, emphasis dots, pictures) set on a character
grid and printed by quirtle-print, the web engine of the editor's preview, one chapter at
a time and several at once; qpdf lays them onto a sheet of page furniture (page numbers at
the fore edge, an optional running head, crop marks) and adds the outline (しおり) of the
headings, the trim and bleed boxes, the reading direction and the document information.

--vertical (default) sets vertical text (縦書き), --horizontal horizontal text.
--page-size A5 (default), A4, B6 or A6 (文庫, also "bunko"): the trim size.
--grid CHARSxLINES: characters per line and lines per page (default 文庫 A6 39x16,
  単行本 B6 and A5 42x18, A4 45x34); the font size and the margins follow from it.
--chapter-start right|any: a chapter starts on the next recto (right, the default) or on
  the next page. A chapter is a section with a heading that no other such section holds.
--bleed LENGTH (for example 3mm) adds bleed around the trim; --crop-marks draws Japanese
  crop marks (トンボ) outside it; both off by default.
--running-head: the book title on versos and the chapter on rectos, at the fore edge.
--with-cover: the cover picture (:image(cover) ...) alone on the first page; without it
  the cover is left out (a printer takes the cover as a file of its own).
A picture with more pixels than its box on the page (the text block, less a caption
line) needs at 350 dpi is printed from a copy scaled to that, made in the book's
temporary folder with Pillow (Debian package python3-pil); the picture file itself is not
changed, and without Pillow it is printed as it is.
quirtle-print and imgsize are looked for beside quirtle, then on the PATH; pyftsubset
(fonttools) makes the subset of the body font the pages embed.
"""

import concurrent.futures
import html
import math
import os
import pathlib
import re
import shutil
import subprocess
import sys
import tempfile

# The scripts may live in a folder the user cannot write to; no .pyc files beside them.
sys.dont_write_bytecode = True

import exportxml  # noqa: E402
import fontcover  # noqa: E402
import pdfassemble  # noqa: E402
import pdfbook  # noqa: E402
import pdftext  # noqa: E402
import xhtmlwriter  # noqa: E402

NAME = "xml2pdf"
SHEET_FONT = "IPAMincho"
_READING = re.compile(r"<rt>(.*?)</rt>", re.S)


def _file_url(path):
    return pathlib.Path(path).as_uri()


class Unit:
    """One printed part: its markup, its chapter title and the heading ids it holds."""

    def __init__(self, body, chapter, headings):
        self.body = body
        self.chapter = chapter
        self.headings = headings


class PrintImages(exportxml.ImageFinder):
    """The pictures of the printed book: one with more pixels than `box` (points) needs
    at exportxml.PRINT_DPI is printed from a scaled copy written into `folder`."""

    def __init__(self, output, box, folder):
        super().__init__(NAME, output)
        self.folder = folder
        limit = tuple(math.ceil(points / 72 * exportxml.PRINT_DPI) for points in box)
        self.scaler = exportxml.PictureScaler(NAME, limit + (None,))
        self.copies = {}  # path of the picture -> path of its scaled copy

    def image(self, command):
        image = super().image(command)
        scaled = self.scaler.scale(image) if image is not None else None
        if scaled is None:
            return image
        if image.path not in self.copies:
            copy = os.path.join(self.folder, "picture%04d%s" % (
                len(self.copies) + 1, os.path.splitext(image.path)[1].lower()))
            try:
                with open(copy, "wb") as out:
                    out.write(scaled[0])
            except OSError as error:
                raise exportxml.ExportError("cannot write the scaled copy of %s: %s"
                                            % (image.source, error.strerror)) from None
            self.copies[image.path] = copy
        image.path = self.copies[image.path]
        image.width, image.height = scaled[1:]
        return image


def book_units(document, output, with_cover, images=None, geometry=None):
    """(metadata, [Unit]) of the document: the cover page when asked, what comes before
    the first chapter, then one unit per chapter; units that print nothing are dropped.
    images: the ImageFinder to place the pictures with; geometry: the pdfbook.Geometry
    whose line grid the figures keep."""
    meta = exportxml.metadata(document, output)
    images = images or exportxml.ImageFinder(NAME, output)
    covers = pdfbook.take_covers(document)
    writer = xhtmlwriter.Writer(images=images, hide_metadata=True, heading_ids=True,
                                deep=xhtmlwriter.BOOK_DEPTH,
                                image_source=lambda image: _file_url(image.path),
                                figure_style=geometry and (lambda image: geometry.figure_style(
                                    image.width, image.height, image.alt)))
    writer.reserve_ids(document)
    units = []
    if with_cover and covers:
        image = images.image(covers[0])
        if image is not None:
            units.append(Unit('<figure class="cover-page"><img src="%s" alt="%s"/></figure>\n'
                              % (html.escape(_file_url(image.path)), html.escape(image.alt)),
                              None, []))
    for heading, elements in pdfbook.chapter_units(document):
        before = len(writer.headings)
        body = writer.render(elements)
        if not body.strip():
            continue
        chapter = heading.text().strip() if heading is not None else None
        units.append(Unit(body, chapter, writer.headings[before:]))
    if not units:
        units.append(Unit("<p></p>\n", None, []))  # an empty manuscript: one empty page
    return meta, units


def unit_page(meta, unit, vertical, style):
    # Links to the headings make the engine record where each one lands (named
    # destinations); the outline is built from them. They are not shown.
    links = "".join('<a href="#%s"></a>' % identifier for _, identifier in unit.headings)
    nav = '<nav style="display: none">%s</nav>\n' % links if links else ""
    return xhtmlwriter.document(meta.title, nav + unit.body,
                                style=xhtmlwriter.book_style(vertical) + style,
                                vertical=vertical)


def printer_program():
    printer = exportxml.find_program("quirtle-print")
    if not printer:
        raise exportxml.ExportError("the printing program quirtle-print was not found "
                                    "(looked beside quirtle and on the PATH)")
    return printer


def run_printer(arguments, what):
    environment = dict(os.environ)
    environment["QT_QPA_PLATFORM"] = "offscreen"
    try:
        result = subprocess.run([printer_program()] + arguments, stdin=subprocess.DEVNULL,
                                capture_output=True, env=environment, timeout=900)
    except subprocess.TimeoutExpired:
        raise exportxml.ExportError("%s took longer than 15 minutes" % what) from None
    except OSError as error:
        raise exportxml.ExportError("cannot start quirtle-print: %s" % error.strerror) \
            from None
    if result.returncode != 0:
        # The engine talks a lot on standard error; the printer's own line says what failed.
        lines = [line for line in result.stderr.decode("utf-8", "replace").splitlines()
                 if line.startswith("quirtle-print:")]
        raise exportxml.ExportError(lines[-1] if lines else "%s failed (quirtle-print exit "
                                    "status %d)" % (what, result.returncode))


def build(document, options, folder):
    geometry = pdfbook.Geometry(options.page_size, options.vertical, options.grid,
                                options.bleed, options.crop_marks)
    images = PrintImages(options.output, geometry.picture_box(), folder)
    meta, units = book_units(document, options.output, options.with_cover, images, geometry)
    # Ruby readings in a font of their own name, so that they can be kept out of the
    # text a reader copies or searches (pdftext). Both subsets are made at once.
    readings = "".join(html.unescape(reading) for unit in units
                       for reading in _READING.findall(unit.body))
    text = html.unescape("".join(unit.body for unit in units)) + meta.title + (meta.author or "")
    with concurrent.futures.ThreadPoolExecutor(max_workers=3) as pool:
        body = pool.submit(pdfassemble.subset_font, "".join(unit.body for unit in units)
                           + meta.title + (meta.author or ""), folder)
        # A character the body font lacks prints in another installed font that has it;
        # one that no font has would be an empty box: the author is told which.
        missing = pool.submit(fontcover.unprintable, text)
        ruby = pool.submit(pdfassemble.subset_font, readings, folder,
                           pdftext.RUBY_FONT_NAME) if readings else None
        font = body.result()
        ruby_font = ruby.result() if ruby and font else None
        if missing.result():
            exportxml.warn(NAME, "no installed font has these characters; they print as "
                           "empty boxes: " + fontcover.describe(missing.result()))
    style = geometry.style(_file_url(font) if font else None,
                           _file_url(ruby_font) if ruby_font else None)

    arguments = ["--page-size", "%.3fx%.3f" % (geometry.canvas_width, geometry.canvas_height),
                 "--margins", ",".join("%.3f" % m for m in geometry.print_margins()),
                 "--jobs", str(max(1, min(4, os.cpu_count() or 1)))]
    paths = []
    # The longest chapters first: they set the time the whole print takes.
    for index in sorted(range(len(units)), key=lambda i: -len(units[i].body)):
        source = os.path.join(folder, "part%03d.xhtml" % index)
        with open(source, "w", encoding="utf-8") as out:
            out.write(unit_page(meta, units[index], options.vertical, style))
        arguments += [source, os.path.join(folder, "part%03d.pdf" % index)]
    paths = [os.path.join(folder, "part%03d.pdf" % i) for i in range(len(units))]
    run_printer(arguments, "printing")

    with concurrent.futures.ThreadPoolExecutor(max_workers=4) as pool:
        parts = list(pool.map(lambda path: pdfassemble.PrintedPart(path, geometry.block_clip()),
                              paths))
    cover = 1 if options.with_cover and units[0].chapter is None and not units[0].headings \
        and units[0].body.startswith('<figure class="cover-page">') else 0
    pages = pdfbook.plan_pages([p.count for p in parts], [u.chapter for u in units],
                               options.chapter_start == "right")
    canvas = parts[0].size
    sheet_path = os.path.join(folder, "sheet.txt")
    with open(sheet_path, "w", encoding="utf-8") as out:
        items = pdfbook.furniture(geometry, pages, meta.title, options.running_head,
                                  numbered_from=1 + cover)
        out.write(pdfbook.sheet(items, canvas, SHEET_FONT))
    sheet_pdf = os.path.join(folder, "sheet.pdf")
    run_printer(["--sheet", sheet_path, sheet_pdf], "drawing the page numbers")

    assembled = os.path.join(folder, "assembled.pdf")
    pdfassemble.assemble(sheet_pdf, parts, pages, assembled)
    first_page = {}
    for number, page in enumerate(pages, 1):
        if page.unit is not None:
            first_page.setdefault(page.unit, number)
    outline = []
    for unit_index, (unit, part) in enumerate(zip(units, parts)):
        for element, identifier in unit.headings:
            title = element.text().strip()
            if title:
                page = first_page[unit_index] + part.destinations.get(identifier, 0)
                outline.append((exportxml.section_depth(element), title, page))
    finished = os.path.join(folder, "book.pdf")
    pdfassemble.finish(assembled, finished,
                       {"/Title": meta.title, "/Author": meta.author, "/Creator": "quirtle"},
                       outline, lambda number: pdfbook.boxes(geometry, number, canvas[1]),
                       options.vertical, pdfbook.subset_tag,
                       [f for f in (font, ruby_font) if f], pdftext.annotation_changes)
    return finished


def main():
    parser = exportxml.argument_parser("Export XML to a PDF printed by quirtle-print.")
    exportxml.add_writing_options(parser)
    parser.add_argument("--page-size", type=_page_size, default="A5",
                        help="trim size: A5 (default), A4, B6 or A6 (文庫, also bunko)")
    parser.add_argument("--grid", type=_checked(pdfbook.parse_grid), default=None,
                        help="characters per line and lines per page, e.g. 42x18")
    parser.add_argument("--chapter-start", choices=("right", "any"), default="right",
                        help="chapters start on the next recto (right) or page (any)")
    parser.add_argument("--bleed", type=_checked(pdfbook.parse_length), default=0.0,
                        help="bleed around the trim, e.g. 3mm (default none)")
    parser.add_argument("--crop-marks", action="store_true", help="draw crop marks (トンボ)")
    parser.add_argument("--running-head", action="store_true",
                        help="book title and chapter at the head of the pages")
    parser.add_argument("--with-cover", action="store_true",
                        help="print the cover picture alone on the first page")
    options = parser.parse_args()
    document = exportxml.parse(exportxml.read_input())
    folder = tempfile.mkdtemp(prefix="quirtle-pdf-")
    try:
        finished = build(document, options, folder)
        with open(finished, "rb") as pdf:
            data = pdf.read()
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    exportxml.write_output(options.output, data)


def _page_size(text):
    name = pdfbook.SIZE_NAMES.get(text.strip().lower())
    if name is None:
        raise ValueError(text)
    return name


_page_size.__name__ = "page size (A5, A4, B6, A6 or bunko)"


def _checked(function):
    def check(text):
        try:
            return function(text)
        except ValueError as error:
            import argparse
            raise argparse.ArgumentTypeError(str(error)) from None
    check.__name__ = function.__name__
    return check


if __name__ == "__main__":
    exportxml.run(NAME, main)
