#!/usr/bin/env python3
"""Turns quirtle's export XML (standard input) into a PDF to print or proof (-o PATH).

The page is the same XHTML as the EPUB's (ruby, emphasis dots, pictures, every depth-1
section on a new page), printed by quirtle-print, the web engine of the editor's preview,
and numbered at the foot of every page (qpdf puts the numbers on the pages). --vertical (default) sets vertical text (縦書き),
--horizontal horizontal text; --page-size A5 (default), A4 or B6.
quirtle-print and imgsize are looked for beside quirtle, then on the PATH.
"""

import os
import pathlib
import shutil
import subprocess
import sys
import tempfile

# The scripts may live in a folder the user cannot write to; no .pyc files beside them.
sys.dont_write_bytecode = True

import exportxml  # noqa: E402
import xhtmlwriter  # noqa: E402

NAME = "xml2pdf"
# Millimetres: top, right, bottom (the page number sits there), left.
MARGINS = {"A5": "15,14,18,14", "B6": "13,12,16,12", "A4": "22,22,24,22"}
NUMBER_FONT = "IPAMincho"


def page_markup(document, output, vertical):
    meta = exportxml.metadata(document, output)
    images = exportxml.ImageFinder(NAME, output)
    writer = xhtmlwriter.Writer(images=images, hide_metadata=True,
                                deep=xhtmlwriter.BOOK_DEPTH,
                                image_source=lambda image: _file_url(image.path))
    writer.reserve_ids(document)
    body = writer.render(document.elements())
    return meta, xhtmlwriter.document(meta.title, body, style=xhtmlwriter.book_style(vertical),
                                      vertical=vertical)


def _file_url(path):
    return pathlib.Path(path).as_uri()


def print_pdf(page, folder, page_size):
    """Prints the page with quirtle-print; returns the paths of the PDF and of the sheet
    of page numbers."""
    printer = exportxml.find_program("quirtle-print")
    if not printer:
        raise exportxml.ExportError("the printing program quirtle-print was not found "
                                    "(looked beside quirtle and on the PATH)")
    source = os.path.join(folder, "book.xhtml")
    printed = os.path.join(folder, "printed.pdf")
    numbers = os.path.join(folder, "numbers.pdf")
    with open(source, "w", encoding="utf-8") as out:
        out.write(page)
    environment = dict(os.environ)
    environment["QT_QPA_PLATFORM"] = "offscreen"
    command = [printer, "--page-size", page_size, "--margins", MARGINS[page_size],
               "--page-numbers", numbers, "--number-font", NUMBER_FONT, source, printed]
    try:
        result = subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True,
                                env=environment, timeout=600)
    except subprocess.TimeoutExpired:
        raise exportxml.ExportError("printing took longer than 10 minutes") from None
    except OSError as error:
        raise exportxml.ExportError("cannot start %s: %s" % (printer, error.strerror)) from None
    if result.returncode != 0 or not os.path.isfile(printed):
        # The engine talks a lot on standard error; the printer's own line says what failed.
        lines = [line for line in result.stderr.decode("utf-8", "replace").splitlines()
                 if line.startswith("quirtle-print:")]
        raise exportxml.ExportError(lines[-1] if lines else
                                    "printing failed (quirtle-print exit status %d)"
                                    % result.returncode)
    return printed, numbers


def numbered(printed, numbers, folder):
    """The printed pages with their numbers, as bytes: qpdf lays each printed page under
    the page of the sheet that holds its number (and the title)."""
    qpdf = shutil.which("qpdf")
    if not qpdf:
        raise exportxml.ExportError("the program qpdf was not found (Debian package qpdf)")
    combined = os.path.join(folder, "numbered.pdf")
    try:
        result = subprocess.run([qpdf, numbers, "--underlay", printed, "--", combined],
                                stdin=subprocess.DEVNULL, capture_output=True, timeout=600)
    except (OSError, subprocess.SubprocessError) as error:
        raise exportxml.ExportError("cannot number the printed pages: %s" % error) from None
    # qpdf exits with 3 for warnings only; the file is written then.
    if result.returncode not in (0, 3) or not os.path.isfile(combined):
        lines = result.stderr.decode("utf-8", "replace").strip().splitlines()
        raise exportxml.ExportError("cannot number the printed pages: %s"
                                    % (lines[-1] if lines else "qpdf failed"))
    with open(combined, "rb") as pdf:
        return pdf.read()


def main():
    parser = exportxml.argument_parser("Export XML to a PDF printed by quirtle-print.")
    exportxml.add_writing_options(parser)
    parser.add_argument("--page-size", choices=sorted(MARGINS), default="A5",
                        help="paper size (default A5)")
    options = parser.parse_args()
    document = exportxml.parse(exportxml.read_input())
    _, page = page_markup(document, options.output, options.vertical)
    folder = tempfile.mkdtemp(prefix="quirtle-pdf-")
    try:
        printed, numbers = print_pdf(page, folder, options.page_size)
        data = numbered(printed, numbers, folder)
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    exportxml.write_output(options.output, data)


if __name__ == "__main__":
    exportxml.run(NAME, main)
