#!/usr/bin/env python3
"""Turns quirtle's export XML (standard input) into an EPUB 3 book (-o PATH).

--vertical (the default) writes vertical text (縦書き, pages turn right to left);
--horizontal writes horizontal text. Every depth-1 section starts a content document of
its own; the table of contents follows the headings as the sections nest. Ruby stays
ruby, emphasis is shown with emphasis dots (傍点), lines the converter could not read are
shown framed in red. ":title", ":author" and ":identifier" one-line commands give the
book's metadata (title otherwise: the first heading, then the file name; the identifier
otherwise derives from title and author, so a re-export is the same book).
":image(class) path text" embeds a picture (path relative to the book's folder); class
"cover" also makes it the cover image.
"""

import datetime
import os
import sys
import zipfile

# The scripts may live in a folder the user cannot write to; no .pyc files beside them.
sys.dont_write_bytecode = True

import exportxml  # noqa: E402
import xhtmlwriter  # noqa: E402
from xhtmlwriter import escape  # noqa: E402

NAME = "xml2epub"

CONTAINER = """<?xml version="1.0" encoding="UTF-8"?>
<container version="1.0" xmlns="urn:oasis:names:tc:opendocument:xmlns:container">
<rootfiles>
<rootfile full-path="OEBPS/content.opf" media-type="application/oebps-package+xml"/>
</rootfiles>
</container>
"""


def modified_time():
    """Now, in UTC (or SOURCE_DATE_EPOCH, for reproducible books)."""
    epoch = os.environ.get("SOURCE_DATE_EPOCH", "")
    if epoch.isdigit():
        return datetime.datetime.fromtimestamp(int(epoch), datetime.timezone.utc)
    return datetime.datetime.now(datetime.timezone.utc).replace(microsecond=0)


class Part:
    """One content document: the blocks of one depth-1 section, or those before it."""

    __slots__ = ("name", "elements", "body", "title")

    def __init__(self, name):
        self.name = name
        self.elements = []
        self.body = ""
        self.title = None


def split_parts(document):
    parts = []
    for child in document.elements():
        if not exportxml.is_block(child):
            continue
        # A section starts a document; so does anything after a section.
        if child.name == "section" or not parts or parts[-1].elements[-1].name == "section":
            parts.append(Part("part%04d.xhtml" % (len(parts) + 1)))
        parts[-1].elements.append(child)
    if not parts:
        parts.append(Part("part0001.xhtml"))
    return parts


def navigation_entries(writer, part_of):
    """(nesting depth, text, href) of every heading with text, in document order: a
    heading nests below the nearest enclosing section that has an entry."""
    entries = []
    depth_of = {}
    for heading, identifier in writer.headings:
        section = heading.parent
        text = heading.text().strip()
        if not text:
            continue
        ancestor = section.parent
        while ancestor is not None and id(ancestor) not in depth_of:
            ancestor = ancestor.parent
        depth = depth_of[id(ancestor)] + 1 if ancestor is not None else 0
        depth = min(depth, xhtmlwriter.BOOK_DEPTH)  # as deep as the pages nest
        depth_of[id(section)] = depth
        entries.append((depth, text, "%s#%s" % (part_of[id(heading)], identifier)))
    return entries


def navigation(entries, title, first_part):
    """The navigation document's table of contents, nested as the entries nest."""
    if not entries:
        entries = [(0, title, first_part)]
    out = ['<nav epub:type="toc" id="toc">\n<h1>目次</h1>\n<ol>\n']
    depth = 0
    for index, (entry_depth, text, href) in enumerate(entries):
        if index > 0:
            if entry_depth > depth:
                out.append("\n<ol>\n")
            else:
                out.append("</li>\n")
                while depth > entry_depth:
                    out.append("</ol>\n</li>\n")
                    depth -= 1
        depth = entry_depth
        out.append('<li><a href="%s">%s</a>' % (escape(href), escape(text)))
    out.append("</li>\n")
    while depth > 0:
        out.append("</ol>\n</li>\n")
        depth -= 1
    out.append("</ol>\n</nav>\n")
    return "".join(out)


def package(meta, parts, images, vertical, modified):
    items = ['<item id="nav" href="nav.xhtml" media-type="application/xhtml+xml" '
             'properties="nav"/>',
             '<item id="style" href="style.css" media-type="text/css"/>']
    spine = []
    for index, part in enumerate(parts):
        items.append('<item id="p%d" href="%s" media-type="application/xhtml+xml"/>'
                     % (index + 1, part.name))
        spine.append('<itemref idref="p%d"/>' % (index + 1))
    cover = False
    for index, (href, image) in enumerate(images):
        properties = ""
        if not cover and "cover" in image.classes:
            properties, cover = ' properties="cover-image"', True
        items.append('<item id="img%d" href="%s" media-type="%s"%s/>'
                     % (index + 1, href, image.media_type, properties))
    creator = ("<dc:creator>%s</dc:creator>\n" % escape(meta.author)) if meta.author else ""
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<package xmlns="http://www.idpf.org/2007/opf" version="3.0" '
            'unique-identifier="bookid" xml:lang="ja">\n'
            '<metadata xmlns:dc="http://purl.org/dc/elements/1.1/">\n'
            '<dc:identifier id="bookid">%s</dc:identifier>\n'
            "<dc:title>%s</dc:title>\n%s"
            "<dc:language>ja</dc:language>\n"
            '<meta property="dcterms:modified">%s</meta>\n'
            "</metadata>\n<manifest>\n%s\n</manifest>\n"
            '<spine%s>\n%s\n</spine>\n</package>\n'
            % (escape(meta.identifier), escape(meta.title), creator,
               modified.strftime("%Y-%m-%dT%H:%M:%SZ"), "\n".join(items),
               ' page-progression-direction="rtl"' if vertical else "", "\n".join(spine)))


class BookImages(exportxml.ImageFinder):
    """Pictures of the book: each file is stored once, under images/."""

    def __init__(self, output):
        super().__init__(NAME, output)
        self.stored = {}  # path -> href inside the book
        self.order = []  # (href, image)

    def image(self, command):
        image = super().image(command)
        if image is None:
            return None
        if image.path not in self.stored:
            try:
                with open(image.path, "rb") as source:
                    data = source.read()
            except OSError as error:
                exportxml.warn(NAME, "image %s left out: %s" % (image.source, error.strerror))
                self.known[image.path] = None
                return None
            extension = ".jpg" if image.media_type == "image/jpeg" else \
                os.path.splitext(image.path)[1].lower()
            href = "images/image%04d%s" % (len(self.order) + 1, extension)
            self.stored[image.path] = (href, data)
            self.order.append((href, image))
        return image


def build(document, output, vertical):
    meta = exportxml.metadata(document, output)
    images = BookImages(output)
    writer = xhtmlwriter.Writer(images=images, heading_ids=True, hide_metadata=True,
                                deep=xhtmlwriter.BOOK_DEPTH,
                                image_source=lambda image: images.stored[image.path][0])
    writer.reserve_ids(document)
    writer.reserved_ids.add("toc")
    parts = split_parts(document)
    part_of = {}
    for part in parts:
        first = len(writer.headings)
        part.body = writer.render(part.elements)
        for heading, _ in writer.headings[first:]:
            part_of[id(heading)] = part.name
        part.title = (writer.headings[first][0].text().strip()
                      if len(writer.headings) > first else "") or meta.title
    nav = navigation(navigation_entries(writer, part_of), meta.title, parts[0].name)
    return meta, parts, nav, images


def write_book(out, meta, parts, nav, images, vertical):
    modified = modified_time()
    stamp = modified.timetuple()[:6]
    if stamp[0] < 1980:
        stamp = (1980, 1, 1, 0, 0, 0)

    def entry(name, compress=True):
        info = zipfile.ZipInfo(name, date_time=stamp)
        info.compress_type = zipfile.ZIP_DEFLATED if compress else zipfile.ZIP_STORED
        info.external_attr = 0o644 << 16
        return info

    with zipfile.ZipFile(out, "w") as book:
        book.writestr(entry("mimetype", compress=False), "application/epub+zip")
        book.writestr(entry("META-INF/container.xml"), CONTAINER)
        book.writestr(entry("OEBPS/content.opf"),
                      package(meta, parts, images.order, vertical, modified))
        book.writestr(entry("OEBPS/style.css"), xhtmlwriter.book_style(vertical))
        book.writestr(entry("OEBPS/nav.xhtml"), xhtmlwriter.document(
            meta.title, nav, stylesheet="style.css", vertical=vertical, epub=True))
        for part in parts:
            book.writestr(entry("OEBPS/" + part.name), xhtmlwriter.document(
                part.title, part.body, stylesheet="style.css", vertical=vertical))
        for href, image in images.order:
            # Pictures are compressed already.
            book.writestr(entry("OEBPS/" + href, compress=False), images.stored[image.path][1])


def main():
    parser = exportxml.argument_parser("Export XML to an EPUB 3 book.")
    exportxml.add_writing_options(parser)
    options = parser.parse_args()
    document = exportxml.parse(exportxml.read_input())
    meta, parts, nav, images = build(document, options.output, options.vertical)
    exportxml.write_output_with(
        options.output, lambda out: write_book(out, meta, parts, nav, images, options.vertical))


if __name__ == "__main__":
    exportxml.run(NAME, main)
