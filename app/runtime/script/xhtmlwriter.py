"""Writes the blocks of an export document as HTML markup that is also well-formed XHTML,
for the HTML page, the EPUB's content documents and the PDF's printed page.

Sections become <section class="section_N"> with <h1>..<h6> headings, lists <ul>/<li>,
definition lists <dl>/<dt>/<dd>, quotations <blockquote>, divisions a <div> carrying the
division's name as class, ruby <ruby>/<rt>, emphasis <em>. Inline commands become <span>
and one-line commands <div> elements whose classes are "inline_command" or
"oneline_command", the command's name and its own class; parameters are kept as
data-param0, data-param1, ... A one-line command "image" places a picture.
"""

import html
import re
import urllib.parse

import exportxml

# The converter's fixed elements: output tag, added class, whether it holds only blocks.
FIXED = {
    "paragraph": ("p", None, False), "list": ("ul", None, True), "dlist": ("dl", None, True),
    "blockquote": ("blockquote", None, True), "litem": ("li", None, False),
    "dterm": ("dt", None, False), "ddesc": ("dd", None, False),
    "blockquote_inner": ("div", "blockquote_inner", False),
    "div_inner": ("div", "div_inner", False), "em": ("em", None, False),
}

# An id must be one XML name without ":" to be usable as a fragment in every reader.
# Books nest containers and sections this deep at most.
BOOK_DEPTH = 8

_ID = re.compile(r"^[A-Za-z_\u00c0-\ud7ff\uf900-\ufffd][\w.\-\u00b7\u00c0-\ud7ff\uf900-\ufffd]*$")


def escape(text):
    return html.escape(text, quote=True)


class _Raw(str):
    """Markup to copy to the output as it is."""


class Writer:
    """Turns elements into markup, without recursion.

    images: an exportxml.ImageFinder, or None to leave ":image" commands as commands.
    image_source: function(Image) -> the src URL of a placed image.
    heading_ids: give every section heading an id (see `headings`).
    hide_metadata: leave out the one-line commands that only carry book metadata.
    deep: containers and sections nested deeper than this are not nested further
    (None: no limit)."""

    def __init__(self, images=None, image_source=None, heading_ids=False, hide_metadata=False,
                 deep=None):
        self.images = images
        self.image_source = image_source or (lambda image: urllib.parse.quote(image.source))
        self.heading_ids = heading_ids
        self.hide_metadata = hide_metadata
        self.deep = deep
        self.used_ids = set()
        self.reserved_ids = set()
        self.next_heading = 0
        # (element, id) of every section heading written, in document order.
        self.headings = []
        self.placed_images = []
        self.container_depths = {}

    def reserve_ids(self, document):
        """Keeps generated heading ids clear of the ids the author wrote."""
        for element in exportxml.iter_elements(document):
            if "id" in element.attrs:
                self.reserved_ids.add(element.attrs["id"])

    def attributes(self, element, classes):
        """The class, id and data-param attributes of an output start tag."""
        names = classes + element.attrs.get("class", "").split()
        out = ""
        if names:
            out += ' class="%s"' % escape(" ".join(dict.fromkeys(names)))
        identifier = element.attrs.get("id")
        # Only the first use of a well-formed id is kept: ids must be unique.
        if identifier and _ID.match(identifier) and identifier not in self.used_ids:
            self.used_ids.add(identifier)
            out += ' id="%s"' % escape(identifier)
        for index, value in enumerate(element.params()):
            out += ' data-param%d="%s"' % (index, escape(value))
        return out

    def _heading_id(self):
        while True:
            self.next_heading += 1
            candidate = "heading-%d" % self.next_heading
            if candidate not in self.reserved_ids and candidate not in self.used_ids:
                self.used_ids.add(candidate)
                return candidate

    def _container_depth(self, element):
        """How many containers hold `element`, itself included (it is one)."""
        ancestor = element.parent
        while ancestor is not None and id(ancestor) not in self.container_depths:
            ancestor = ancestor.parent
        depth = self.container_depths[id(ancestor)] + 1 if ancestor is not None else 1
        self.container_depths[id(element)] = depth
        return depth

    def _container(self, tag, element, classes, children=None):
        """A list, definition list, quotation or division. Below `deep` levels of them the
        containers are left out and their items follow one another as plain blocks: a
        page keeps room for the text at any depth, and readers need not lay out a
        thousand nested boxes. The text and its order stay as they are."""
        if self.deep is None or self._container_depth(element) <= self.deep:
            start, end, _ = self._tag(tag, element, classes, True)
            return start, end, element.elements() if children is None else children
        flat = []
        for child in element.elements():
            if child.name in exportxml.ITEM_NAMES and not child.division \
                    and not child.inline_command:
                text, blocks = _item_parts(child)
                flat.append(_Raw('<div class="deep %s">' % child.name))
                flat.extend(text)
                flat.append(_Raw("</div>\n"))
                flat.extend(blocks)
            else:
                flat.append(child)
        return "", None, flat

    def render(self, elements):
        """The markup of these elements (a list), in order."""
        out = []
        pending = list(reversed(elements))
        while pending:
            item = pending.pop()
            if type(item) is _Raw:
                out.append(item)
            elif isinstance(item, str):
                # Line breaks in the export only follow tags; they are no text.
                out.append(escape(item.replace("\n", "")))
            else:
                start, end, children = self.rule(item)
                out.append(start)
                if end:
                    pending.append(_Raw(end))
                if children:
                    pending.extend(reversed(children))
        return "".join(out)

    def _tag(self, tag, element, classes, block, inline=False):
        children = element.elements() if block else element.children
        return ("<%s%s>" % (tag, self.attributes(element, classes)),
                "</%s>" % tag if inline else "</%s>\n" % tag, children)

    def rule(self, element):
        """(start markup, end markup, children to write between them) of one element."""
        name = element.name
        if element.inline_command:
            return self._tag("span", element, ["inline_command", name], False, inline=True)
        if element.division:
            return self._container("div", element, [] if name == "div" else [name])
        if name == "section":
            depth = exportxml.section_depth(element)
            if self.deep is not None and depth > self.deep:  # not nested further
                return "", None, element.elements()
            return self._tag("section", element, ["section_%d" % depth], True)
        if name == "heading":  # a section's heading
            level = min(max(exportxml.section_depth(element), 1), 6)
            start, end, children = self._tag("h%d" % level, element, [], False)
            if self.heading_ids and element.parent is not None \
                    and element.parent.name == "section":
                identifier = self._heading_id()
                self.headings.append((element, identifier))
                start = start[:-1] + ' id="%s">' % identifier
            return start, end, children
        if name == "pre" and exportxml.is_block(element):
            return ("<pre%s>%s</pre>\n" % (self.attributes(element, []),
                                           escape(element.text())), None, None)
        if name == "ruby":
            params = element.params()
            return ("<ruby>", "<rp>(</rp><rt>%s</rt><rp>)</rp></ruby>"
                    % escape(params[0] if params else ""), element.children)
        if name == "dlist":
            return self._container("dl", element, [], _definition_groups(element))
        if name in FIXED:
            tag, added, block = FIXED[name]
            if block:
                return self._container(tag, element, [])
            return self._tag(tag, element, [added] if added else [], block,
                             inline=name == "em")
        command = exportxml.oneline_command(element)
        if command is not None:
            if command.name == "image" and self.images is not None:
                return (self._figure(command), None, None)
            if command.name in exportxml.METADATA_COMMANDS and self.hide_metadata:
                return ("", None, None)  # book metadata, not page content
            return self._tag("div", command, ["oneline_command", command.name], True)
        if exportxml.is_container(element):
            return self._container("div", element, [] if name == "div" else [name])
        return self._tag("span", element, ["inline_command", name], False, inline=True)

    def _figure(self, command):
        image = self.images.image(command)
        if image is None:
            return ""
        self.placed_images.append(image)
        caption = ("<figcaption>%s</figcaption>" % escape(image.alt)) if image.alt else ""
        return ('<figure%s><img src="%s" alt="%s" width="%d" height="%d"/>%s</figure>\n'
                % (self.attributes(command, ["oneline_command", "image"]),
                   escape(self.image_source(image)), escape(image.alt), image.width,
                   image.height, caption))


def _item_parts(item):
    """An item's own text (strings and inline elements), and the blocks after it."""
    children = item.children
    for index, child in enumerate(children):
        if isinstance(child, exportxml.Element) and exportxml.is_block(child):
            return children[:index], [c for c in children[index:]
                                      if isinstance(c, exportxml.Element)]
    return children, []


def _definition_groups(dlist):
    """The children of a definition list, with an empty term or description added where
    the manuscript left one out, so that every term has a description."""
    children = []
    previous = None
    for child in dlist.elements():
        if child.name == "ddesc" and previous not in ("dterm", "ddesc"):
            children.append(_Raw("<dt></dt>\n"))
        elif child.name != "dterm" and child.name != "ddesc" and previous == "dterm":
            children.append(_Raw("<dd></dd>\n"))
        children.append(child)
        previous = child.name
    if previous == "dterm":
        children.append(_Raw("<dd></dd>\n"))
    return children


# ---------------------------------------------------------------------------------------
# Style of the book (EPUB and PDF).

_BOOK_STYLE = """\
html { font-family: "IPAMincho", "IPA明朝", "Noto Serif CJK JP", "Source Han Serif JP", serif; line-height: 1.75; }
body { margin: 0; }
h1, h2, h3, h4, h5, h6 { font-weight: bold; line-height: 1.4; margin-inline: 0; }
h1 { font-size: 1.6em; margin-block: 0 1.5em; }
h2 { font-size: 1.3em; margin-block: 1.5em 1em; }
h3, h4, h5, h6 { font-size: 1.1em; margin-block: 1em 0.5em; }
section.section_1 { page-break-before: always; break-before: page; }
p { margin: 0; text-indent: 1em; }
em { font-style: normal; -webkit-text-emphasis-style: filled sesame; -epub-text-emphasis-style: filled sesame; text-emphasis-style: filled sesame; }
rt { font-size: 0.5em; }
blockquote { margin-block: 0.5em; margin-inline: 2em; }
ul, dl { margin-block: 0.5em; }
dt { font-weight: bold; }
dd { margin: 0; margin-inline-start: 2em; }
pre { white-space: pre-wrap; font-family: inherit; margin: 0; }
pre.incomplete { color: #a00000; border: 1px solid #c03030; background: #fff0f0; padding: 0.2em; margin-block: 0.3em; }
figure { margin-block: 1em; margin-inline: 0; text-align: center; page-break-inside: avoid; break-inside: avoid; }
figure img { max-width: 100%; max-height: 100%; width: auto; height: auto; }
figcaption { font-size: 0.9em; }
nav ol { list-style-type: none; }
"""

_VERTICAL_STYLE = """\
html { -epub-writing-mode: vertical-rl; -webkit-writing-mode: vertical-rl; writing-mode: vertical-rl; }
"""


def book_style(vertical):
    return _BOOK_STYLE + (_VERTICAL_STYLE if vertical else "")


def document(title, body, style=None, stylesheet=None, vertical=False, epub=False):
    """A whole XHTML document around `body`."""
    head = ['<meta charset="UTF-8"/>', "<title>%s</title>" % escape(title)]
    if stylesheet:
        head.append('<link rel="stylesheet" type="text/css" href="%s"/>' % escape(stylesheet))
    if style:
        head.append("<style>\n%s</style>" % style)
    return ('<?xml version="1.0" encoding="UTF-8"?>\n<!DOCTYPE html>\n'
            '<html xmlns="http://www.w3.org/1999/xhtml"%s xml:lang="ja" lang="ja" class="%s">\n'
            "<head>\n%s\n</head>\n<body>\n%s</body>\n</html>\n"
            % (' xmlns:epub="http://www.idpf.org/2007/ops"' if epub else "",
               "vrtl" if vertical else "hltr", "\n".join(head), body))
