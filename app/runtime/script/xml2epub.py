#!/usr/bin/env python3
"""Turns quirtle's export XML (standard input) into an EPUB 3 book (-o PATH).

--vertical (the default) writes vertical text (縦書き, pages turn right to left);
--horizontal writes horizontal text. The reading order: a cover page when
":image(cover)" is given, a title page, the table of contents (nested as the sections
nest, with landmarks), one content document per chapter (the sections with a heading
that no section with a heading holds), a colophon. --chapter-start right starts every
chapter on the next recto page (default any). Ruby stays ruby, emphasis is shown with
emphasis dots (傍点), lines the converter could not read are shown framed in red.
":title", ":author", ":identifier", ":publisher" and ":edition" one-line commands give
the book's metadata (title otherwise: the first heading, then the file name; the
identifier otherwise derives from title and author, so a re-export is the same book; a
reading in square brackets at the end of the title or author is its file-as).
":image(class) path text" embeds a picture (path relative to the book's folder). A
picture of more than 4 million pixels or more than 3200 pixels on its long side is
embedded scaled to that (with Pillow, Debian package python3-pil; the picture file itself
is not changed; without Pillow it is embedded as it is).
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
    """One content document of the reading order."""

    __slots__ = ("name", "elements", "body", "title", "kind", "chapter", "continued")

    def __init__(self, name, kind="chapter"):
        self.name = name
        self.elements = []
        self.body = ""
        self.title = None
        self.kind = kind  # "cover", "titlepage", "toc", "chapter" or "colophon"
        self.chapter = False  # whether it starts with a chapter's heading
        self.continued = False  # whether it goes on with the part before (a page break)


def split_parts(document):
    """One part per chapter (the top heading level the manuscript uses), and one for
    what comes before the first; a page break (":pagebreak") starts a part of its own;
    none is empty."""
    parts = []
    for chapter in exportxml.split_chapters(document, page_breaks=True):
        part = Part("chapter%04d.xhtml" % (len(parts) + 1))
        part.elements = chapter.elements
        part.chapter = chapter.section is not None and not chapter.continued
        part.continued = chapter.continued
        parts.append(part)
    return parts


def navigation_entries(writer, part_of):
    """(nesting depth, text, href) of every heading with text, in document order: a
    heading nests below the nearest enclosing section that has an entry."""
    entries = []
    depth_of = {}
    for heading, identifier in writer.headings:
        section = heading.parent
        text = heading.text().strip()
        if not text or id(heading) not in part_of:
            continue
        ancestor = section.parent
        while ancestor is not None and id(ancestor) not in depth_of:
            ancestor = ancestor.parent
        depth = depth_of[id(ancestor)] + 1 if ancestor is not None else 0
        depth = min(depth, xhtmlwriter.BOOK_DEPTH)  # as deep as the pages nest
        depth_of[id(section)] = depth
        entries.append((depth, text, "%s#%s" % (part_of[id(heading)], identifier)))
    return entries


def navigation(entries, title, first_part, landmarks):
    """The navigation document's table of contents, nested as the entries nest, and its
    landmarks."""
    if not entries:
        entries = [(0, title, first_part)]
    out = ['<nav epub:type="toc" role="doc-toc" id="toc">\n<h1>目次</h1>\n<ol>\n']
    depth = 0
    for index, (entry_depth, text, href) in enumerate(entries):
        if index > 0:
            if entry_depth > depth:
                out.append("\n<ol>\n")
                entry_depth = depth + 1
            else:
                out.append("</li>\n")
                while depth > entry_depth:
                    out.append("</ol>\n</li>\n")
                    depth -= 1
        else:
            entry_depth = 0
        depth = entry_depth
        out.append('<li><a href="%s">%s</a>' % (escape(href), escape(text)))
    out.append("</li>\n")
    while depth > 0:
        out.append("</ol>\n</li>\n")
        depth -= 1
    out.append("</ol>\n</nav>\n")
    out.append('<nav epub:type="landmarks" id="landmarks" hidden="hidden">\n<h2>ランドマーク</h2>\n<ol>\n')
    for kind, href, text in landmarks:
        out.append('<li><a epub:type="%s" href="%s">%s</a></li>\n' % (kind, href, escape(text)))
    out.append("</ol>\n</nav>\n")
    return "".join(out)


def package(meta, parts, images, vertical, modified, chapter_start):
    items = ['<item id="style" href="style.css" media-type="text/css"/>']
    spine = []
    recto = "page-spread-left" if vertical else "page-spread-right"
    for index, part in enumerate(parts):
        properties = ' properties="nav"' if part.kind == "toc" else ""
        items.append('<item id="p%d" href="%s" media-type="application/xhtml+xml"%s/>'
                     % (index + 1, part.name, properties))
        spread = ""
        if chapter_start == "right" and (part.chapter or part.kind in ("titlepage", "toc")):
            spread = ' properties="%s"' % recto
        linear = ' linear="yes"'
        spine.append('<itemref idref="p%d"%s%s/>' % (index + 1, linear, spread))
    cover = False
    for index, (href, image) in enumerate(images):
        properties = ""
        if not cover and "cover" in image.classes:
            properties, cover = ' properties="cover-image"', True
        items.append('<item id="img%d" href="%s" media-type="%s"%s/>'
                     % (index + 1, href, image.media_type, properties))
    metadata = ['<dc:identifier id="bookid">%s</dc:identifier>' % escape(meta.identifier),
                '<dc:title id="title">%s</dc:title>' % escape(meta.title)]
    if meta.title_reading:
        metadata.append('<meta refines="#title" property="file-as">%s</meta>'
                        % escape(meta.title_reading))
    if meta.author:
        metadata.append('<dc:creator id="creator">%s</dc:creator>' % escape(meta.author))
        metadata.append('<meta refines="#creator" property="role" scheme="marc:relators">'
                        'aut</meta>')
        if meta.author_reading:
            metadata.append('<meta refines="#creator" property="file-as">%s</meta>'
                            % escape(meta.author_reading))
    if meta.publisher:
        metadata.append("<dc:publisher>%s</dc:publisher>" % escape(meta.publisher))
    metadata += [
        "<dc:language>ja</dc:language>",
        '<meta property="dcterms:modified">%s</meta>' % modified.strftime("%Y-%m-%dT%H:%M:%SZ"),
        '<meta name="primary-writing-mode" content="%s"/>'
        % ("vertical-rl" if vertical else "horizontal-tb"),
        '<meta property="schema:accessMode">textual</meta>']
    if images:
        metadata.append('<meta property="schema:accessMode">visual</meta>')
    metadata += ['<meta property="schema:accessModeSufficient">textual</meta>']
    for feature in ("structuralNavigation", "tableOfContents", "readingOrder",
                    "rubyAnnotations") + (("alternativeText",) if images else ()):
        metadata.append('<meta property="schema:accessibilityFeature">%s</meta>' % feature)
    metadata += [
        '<meta property="schema:accessibilityHazard">none</meta>',
        '<meta property="schema:accessibilitySummary">%s</meta>'
        % ("本文はすべて文字で読めます。見出しから目次が作られ、ルビは読み仮名として付いています。"
           "%s" % ("図版には代替テキストがあります。" if images else "")),
        '<meta property="dcterms:conformsTo">EPUB Accessibility 1.1 - WCAG 2.1 Level A</meta>']
    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<package xmlns="http://www.idpf.org/2007/opf" version="3.0" '
            'unique-identifier="bookid" xml:lang="ja">\n'
            '<metadata xmlns:dc="http://purl.org/dc/elements/1.1/">\n%s\n'
            "</metadata>\n<manifest>\n%s\n</manifest>\n"
            '<spine page-progression-direction="%s">\n%s\n</spine>\n</package>\n'
            % ("\n".join(metadata), "\n".join(items), "rtl" if vertical else "ltr",
               "\n".join(spine)))


class BookImages(exportxml.ImageFinder):
    """Pictures of the book: each file is stored once, under images/; one larger than
    exportxml.EPUB_PICTURE_LIMIT is stored scaled."""

    def __init__(self, output):
        super().__init__(NAME, output)
        self.stored = {}  # path -> (href inside the book, data)
        self.order = []  # (href, image)
        self.scaler = exportxml.PictureScaler(NAME, exportxml.EPUB_PICTURE_LIMIT)

    def image(self, command):
        image = super().image(command)
        if image is None:
            return None
        scaled = self.scaler.scale(image)
        if scaled is not None:
            image.width, image.height = scaled[1:]
        if image.path not in self.stored:
            if scaled is not None:
                data = scaled[0]
            else:
                try:
                    with open(image.path, "rb") as source:
                        data = source.read()
                except OSError as error:
                    exportxml.warn(NAME, "image %s left out: %s"
                                   % (image.source, error.strerror))
                    self.known[image.path] = None
                    return None
            extension = ".jpg" if image.media_type == "image/jpeg" else \
                os.path.splitext(image.path)[1].lower()
            href = "images/image%04d%s" % (len(self.order) + 1, extension)
            self.stored[image.path] = (href, data)
            self.order.append((href, image))
        return image


def find_cover(document):
    """The first ":image(cover)" command's wrapper, or None."""
    for element in exportxml.iter_elements(document):
        command = exportxml.oneline_command(element)
        if command is not None and command.name == "image" \
                and "cover" in command.attrs.get("class", "").split():
            return element
    return None


def export_date(modified):
    return "%d年%d月%d日" % (modified.year, modified.month, modified.day)


def build(document, output, vertical, modified=None):
    """The parts of the book in reading order: cover, title page, contents, the chapters,
    colophon."""
    modified = modified or modified_time()
    meta = exportxml.metadata(document, output)
    images = BookImages(output)
    writer = xhtmlwriter.Writer(images=images, heading_ids=True, hide_metadata=True,
                                deep=xhtmlwriter.BOOK_DEPTH,
                                image_source=lambda image: images.stored[image.path][0])
    writer.reserve_ids(document)
    writer.reserved_ids.update(("toc", "landmarks"))
    front = []
    cover = find_cover(document)
    if cover is not None:
        writer.skip.add(id(cover))
        image = images.image(exportxml.oneline_command(cover))
        if image is not None:
            part = Part("cover.xhtml", "cover")
            part.title = "表紙"
            part.body = ('<section epub:type="cover" class="cover">'
                         '<img role="doc-cover" src="%s" alt="%s"/></section>\n'
                         % (escape(images.stored[image.path][0]), escape(image.alt or meta.title)))
            front.append(part)
    title_page = Part("titlepage.xhtml", "titlepage")
    title_page.title = meta.title
    title_page.body = ('<section epub:type="titlepage" class="titlepage">\n'
                       '<h1 class="book-title">%s</h1>\n%s</section>\n'
                       % (escape(meta.title), '<p class="book-author">%s</p>\n'
                          % escape(meta.author) if meta.author else ""))
    front.append(title_page)
    toc = Part("nav.xhtml", "toc")
    toc.title = "目次"
    front.append(toc)
    parts = split_parts(document)
    owner = {}
    previous = None
    for part in parts:
        first = len(writer.headings)
        part.body = writer.render(part.elements)
        for heading, _ in writer.headings[first:]:
            owner[id(heading)] = part
        # A part after a page break goes on under the title of the part before.
        part.title = (writer.headings[first][0].text().strip()
                      if len(writer.headings) > first else "") \
            or (previous.title if part.continued and previous else "") or meta.title
        previous = part
    # A part that shows nothing (only book metadata, say) is no content document.
    parts = [part for part in parts if part.body.strip()]
    for index, part in enumerate(parts):
        part.name = "chapter%04d.xhtml" % (index + 1)
    part_of = {key: part.name for key, part in owner.items()}
    colophon = Part("colophon.xhtml", "colophon")
    colophon.title = "奥付"
    lines = ['<p class="book-title">%s</p>' % escape(meta.title)]
    if meta.author:
        lines.append('<p class="book-author">%s 著</p>' % escape(meta.author))
    lines.append('<p class="book-date">%s 発行</p>' % export_date(modified))
    if meta.edition:
        lines.append('<p class="book-edition">%s</p>' % escape(meta.edition))
    if meta.publisher:
        lines.append('<p class="book-publisher">発行 %s</p>' % escape(meta.publisher))
    colophon.body = ('<section epub:type="colophon" role="doc-colophon" class="colophon">\n'
                     '%s\n</section>\n' % "\n".join(lines))
    body_start = parts[0].name if parts else colophon.name
    landmarks = ([("cover", "cover.xhtml", "表紙")] if front[0].kind == "cover" else [])
    landmarks += [("titlepage", "titlepage.xhtml", "扉"), ("toc", "nav.xhtml#toc", "目次"),
                  ("bodymatter", body_start, "本文"), ("colophon", "colophon.xhtml", "奥付")]
    toc.body = navigation(navigation_entries(writer, part_of), meta.title, body_start,
                          landmarks)
    return meta, front + parts + [colophon], images, modified


def write_book(out, meta, parts, images, vertical, modified, chapter_start="any"):
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
                      package(meta, parts, images.order, vertical, modified, chapter_start))
        book.writestr(entry("OEBPS/style.css"), xhtmlwriter.book_style(vertical) + FRONT_STYLE)
        for part in parts:
            book.writestr(entry("OEBPS/" + part.name), xhtmlwriter.document(
                part.title, part.body, stylesheet="style.css", vertical=vertical, epub=True,
                body_class=part.kind))
        for href, image in images.order:
            # Pictures are compressed already.
            book.writestr(entry("OEBPS/" + href, compress=False), images.stored[image.path][1])


# The pages the book adds around the text.
FRONT_STYLE = """\
body.cover { margin: 0; padding: 0; text-align: center; }
section.cover { height: 100vh; width: 100vw; }
section.cover img { height: 100vh; width: 100vw; object-fit: contain; }
section.titlepage { text-align: center; margin-block-start: 4em; }
h1.book-title { font-size: 2em; margin-block-end: 2em; }
p.book-author { font-size: 1.3em; text-indent: 0; }
section.colophon { margin-block-start: 6em; border-block-start: 1px solid #888; }
section.colophon p { text-indent: 0; margin: 0; }
"""


def main():
    parser = exportxml.argument_parser("Export XML to an EPUB 3 book.")
    exportxml.add_writing_options(parser)
    parser.add_argument("--chapter-start", choices=("right", "any"), default="any",
                        help="start every chapter on the next recto page (right) or on the "
                             "next page (any, the default)")
    options = parser.parse_args()
    document = exportxml.parse(exportxml.read_input())
    meta, parts, images, modified = build(document, options.output, options.vertical)
    exportxml.write_output_with(
        options.output, lambda out: write_book(out, meta, parts, images, options.vertical,
                                               modified, options.chapter_start))


if __name__ == "__main__":
    exportxml.run(NAME, main)
