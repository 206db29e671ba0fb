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
import unicodedata
import urllib.parse

import exportxml

# Output tags of the converter's items.
ITEM_TAGS = {"litem": ("li", None), "dterm": ("dt", None), "ddesc": ("dd", None),
             "blockquote_inner": ("div", "blockquote_inner"), "div_inner": ("div", "div_inner")}
# Output tags of the containers, by their item names.
CONTAINER_TAGS = {("litem",): "ul", ("dterm", "ddesc"): "dl",
                  ("blockquote_inner",): "blockquote"}

# An id must be one XML name without ":" to be usable as a fragment in every reader.
# Books nest containers and sections this deep at most.
BOOK_DEPTH = 8

_ID = re.compile(r"^[A-Za-z_\u00c0-\ud7ff\uf900-\ufffd][\w.\-\u00b7\u00c0-\ud7ff\uf900-\ufffd]*$")

# Text set by the Japanese layout rules in vertical books: "――" as one line; two
# half-width digits and
# "!?", "!!", "?!", "??" upright in one em (縦中横); a single digit upright; longer runs
# of digits each upright, one after another (the house rule: no run of three or more is
# squeezed into one em); Latin words kept sideways, with a small space around them; a
# comma, period or closing bracket before another or before an opening bracket loses its
# blank trailing half, and an opening bracket after another its blank leading half, so
# that "。」" or "、「" take one and a half em, not two (where the engine does not trim
# such spaces itself, text-spacing-trim; where it does, the spans change nothing).
_RUNS = re.compile(r"(?<![!?])[!?]{2}(?![!?])|―{2,}"
                   r"|[A-Za-z][A-Za-z0-9]*(?:[ '.,&\-][A-Za-z0-9]+)*"
                   r"|[0-9]+"
                   r"|[%(closing)s](?=[%(closing)s%(opening)s])|(?<=[%(opening)s])[%(opening)s]"
                   % {"closing": "、。，．」』）〕］｝〉》】", "opening": "「『（〔［｛〈《【"})
# Paragraphs that begin with an ideographic space keep it as their indent; those that
# begin with an opening bracket get none (the bracket's own space stands for it).
NO_INDENT = "\u3000「『（〔［｛〈《【"
_OPENING = NO_INDENT[1:]


# Ruby longer than its base. Readings are set at RUBY_SIZE of the base (the rt rule of
# the book style below); the engine makes a ruby as wide as its reading, centres the
# reading and the base in it (a base of several characters is spread, its end spaces half
# the spaces between its characters), and by itself lets the reading overhang text on
# either side by half a reading character (ENGINE_OVERHANG; no more than the base leaves
# free), never over another ruby and never past the line's head. The house rule: the reading overhangs a neighbour by up to one
# reading character (OVERHANG) where the neighbour is kana or a punctuation mark with a
# blank half towards the ruby, not at all where it is anything else (a kanji, a digit, a
# Latin word) or another ruby. ruby_margins gives the inline margins that turn the
# engine's overhang into the house rule's; the rest of a long reading stays as space.
RUBY_SIZE = 0.5
ENGINE_OVERHANG = RUBY_SIZE / 2
OVERHANG = RUBY_SIZE
# A mark with a blank half after it (the ruby may overhang it when it comes before the
# ruby) or before it (when it comes after); middle dots have a blank quarter each side.
_BLANK_AFTER = "、。，．」』）〕］｝〉》】〙〗〟’”"
_BLANK_BEFORE = "「『（〔［｛〈《【〘〖〝‘“"
_MIDDLE = "・：；"
# A neighbour that is a ruby itself.
RUBY = object()


def _is_kana(char):
    code = ord(char)
    return (0x3041 <= code <= 0x309F or 0x30A1 <= code <= 0x30FA or 0x30FC <= code <= 0x30FF
            or 0x31F0 <= code <= 0x31FF)


def overhang_room(char, before):
    """How far (em) a reading may overhang `char`, the character before the ruby (before
    true) or after it."""
    if _is_kana(char) or char == "\u3000":
        return OVERHANG
    if char in (_BLANK_AFTER if before else _BLANK_BEFORE):
        return OVERHANG
    if char in _MIDDLE:
        return OVERHANG / 2
    return 0.0


def ruby_margins(base, reading, before, after):
    """(start, end) inline margins in em of a ruby whose base text is `base` and reading
    `reading`, between the characters `before` and `after` (RUBY for a ruby, None where
    the block starts or ends). A reading counts RUBY_SIZE em a full-width character and
    half that for a narrow one; a base counts 1 em a full-width character, and a base with
    anything else (Latin letters, digits) is left as the engine sets it, its width being
    the font's."""
    if not base or any(unicodedata.east_asian_width(c) not in "WF" for c in base):
        return 0.0, 0.0
    width = sum(RUBY_SIZE if unicodedata.east_asian_width(c) in "WFA" else RUBY_SIZE / 2
                for c in reading)
    # The reading's excess beyond the base's first (last) character.
    excess = (width - len(base)) / (2 * len(base))
    if excess <= 0:
        return 0.0, 0.0
    margins = []
    for neighbour, is_before in ((before, True), (after, False)):
        if neighbour is None or neighbour is RUBY:
            margins.append(0.0)  # neither the engine nor the house rule overhangs
            continue
        wanted = min(excess, overhang_room(neighbour, is_before))
        margins.append(min(excess, ENGINE_OVERHANG) - wanted)
    return margins[0], margins[1]


def _neighbour(element, step, positions):
    """The character next to an inline element in its block, looking through emphasis and
    inline commands: the one before it (step -1) or after it (step 1); RUBY when that is a
    ruby's, None at the block's edge. positions: a dict kept between calls, {id(parent):
    {id(child): index}}."""
    node = element
    while node.parent is not None:
        siblings = node.parent.children
        if id(node.parent) not in positions:
            positions[id(node.parent)] = {id(child): i for i, child in enumerate(siblings)}
        index = positions[id(node.parent)][id(node)] + step
        while 0 <= index < len(siblings):
            found = _edge(siblings[index], step)
            if found == "":
                return None  # a block: the edge
            if found is not None:
                return found
            index += step
        if node.parent.kind not in (K.KIND_EM, K.KIND_INLINE, K.KIND_RUBY):
            return None
        node = node.parent
    return None


def _edge(item, step):
    """The first (step 1) or last (step -1) character of text or an inline element, RUBY
    for a ruby, None when it holds no text, "" for a block element (an edge)."""
    pending = [item]
    while pending:
        item = pending.pop()
        if isinstance(item, str):
            text = item.replace("\n", "")
            if text:
                return text[0] if step > 0 else text[-1]
        elif item.kind == K.KIND_RUBY:
            return RUBY
        elif item.kind in (K.KIND_EM, K.KIND_INLINE):
            pending.extend(reversed(item.children) if step > 0 else item.children)
        else:
            return ""
    return None


def escape(text):
    return html.escape(text, quote=True)


def typeset(text):
    """Escaped text with the spans of the layout rules above."""
    out = []
    last = 0
    for match in _RUNS.finditer(text):
        run = match.group(0)
        if run[0].isdigit() and match.start() > 0 and text[match.start() - 1].isalpha() \
                and text[match.start() - 1].isascii():
            continue  # the digits of a Latin word (A4)
        out.append(escape(text[last:match.start()]))
        if run[0] == "―":  # drawn as one continuous line, its text kept beneath
            out.append('<span class="dash">%s</span>' % run)
        elif run[0] in "!?" or (run[0].isdigit() and len(run) <= 2):
            out.append('<span class="tcy">%s</span>' % run)
        elif run[0].isdigit():
            out.append('<span class="upright">%s</span>' % run)
        elif run in _OPENING:  # after another opening bracket: its leading half goes
            out.append('<span class="kern-start">%s</span>' % run)
        elif not run.isascii():  # before a bracket or a comma: its trailing half goes
            out.append('<span class="kern-end">%s</span>' % run)
        else:
            out.append('<span class="latin">%s</span>' % escape(run))
        last = match.end()
    out.append(escape(text[last:]))
    return "".join(out)


class _Raw(str):
    """Markup to copy to the output as it is."""


K = exportxml


class Writer:
    """Turns elements into markup, without recursion. Every element the converter can
    write is written, whatever its nesting: where HTML has no direct place for it, it is
    wrapped (an "li" for a list directly in a list, a "dd" for a section in a definition
    list), never left out.

    images: an exportxml.ImageFinder, or None to leave ":image" commands as commands.
    image_source: function(Image) -> the src URL of a placed image.
    figure_style: function(Image) -> CSS declarations for the figure of a placed image
    (None: no style attribute).
    heading_ids: give every section heading an id (see `headings`).
    hide_metadata: leave out the one-line commands that only carry book metadata.
    deep: containers and sections nested deeper than this are not nested further
    (None: no limit).
    book: set the text by the Japanese layout rules (縦中横, indents, Latin words)."""

    def __init__(self, images=None, image_source=None, heading_ids=False, hide_metadata=False,
                 deep=None, book=None, figure_style=None):
        self.images = images
        self.image_source = image_source or (lambda image: urllib.parse.quote(image.source))
        self.figure_style = figure_style
        self.heading_ids = heading_ids
        self.hide_metadata = hide_metadata
        self.deep = deep
        self.book = hide_metadata if book is None else book
        self.used_ids = set()
        self.reserved_ids = set()
        self.next_heading = 0
        # (element, id) of every section heading written, in document order.
        self.headings = []
        self.placed_images = []
        self.container_depths = {}
        self.positions = {}  # for _neighbour
        # ids of one-line commands to leave out (the cover, written on a page of its own).
        self.skip = set()

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

    def render(self, elements):
        """The markup of these elements (a list), in order."""
        out = []
        text = typeset if self.book else escape
        pending = list(reversed(elements))
        while pending:
            item = pending.pop()
            if type(item) is _Raw:
                out.append(item)
            elif isinstance(item, str):
                # Line breaks in the export only follow tags; they are no text.
                out.append(text(item.replace("\n", "")))
            else:
                start, end, children = self.rule(item)
                out.append(start)
                if end:
                    pending.append(_Raw(end))
                if children:
                    pending.extend(reversed(children))
        return "".join(out)

    def _tag(self, tag, element, classes, children, end_line=True):
        return ("<%s%s>" % (tag, self.attributes(element, classes)),
                "</%s>\n" % tag if end_line else "</%s>" % tag, children)

    def rule(self, element):
        """(start markup, end markup, children to write between them) of one element."""
        kind = element.kind
        name = element.name
        if kind == K.KIND_RUBY:
            params = element.params()
            reading = params[0] if params else ""
            return (self._ruby_start(element, reading),
                    "<rp>(</rp><rt>%s</rt><rp>)</rp></ruby>" % escape(reading),
                    element.children)
        if kind == K.KIND_EM:
            return self._tag("em", element, [], element.children, False)
        if kind == K.KIND_INLINE:
            if name == "tcy":  # the author's 縦中横: its text upright in one em, as it is
                return self._tag("span", element, ["inline_command", name, "tcy"],
                                 [_Raw(escape(element.text()))], False)
            return self._tag("span", element, ["inline_command", name], element.children,
                             False)
        if kind == K.KIND_PARAGRAPH:
            classes = []
            if self.book and element.text()[:1] in NO_INDENT:
                classes.append("noindent")
            return self._tag("p", element, classes, element.children)
        if kind == K.KIND_HEADING:
            level = min(max(exportxml.section_depth(element), 1), 6)
            follow = _headings_following(element) if self.book else 0
            start, end, children = self._tag("h%d" % level, element,
                                             ["keep-%d" % follow] if follow else [],
                                             element.children)
            if self.heading_ids:
                identifier = self._heading_id()
                self.headings.append((element, identifier))
                start = start[:-1] + ' id="%s">' % identifier
            return start, end, children
        if kind == K.KIND_SECTION:
            if self.deep is not None and exportxml.section_depth(element) > self.deep:
                return "", None, _blocks(element.children)  # not nested further
            children = _blocks(element.children)
            if self.book and self.images is not None:
                children = _heading_with_picture(children)
            return self._tag("section", element,
                             ["section_%d" % exportxml.section_depth(element)], children)
        if kind == K.KIND_PRE:
            return ("<pre%s>%s</pre>\n" % (self.attributes(element, []),
                                           escape(element.text())), None, None)
        if kind == K.KIND_ONELINE:
            if id(element) in self.skip:
                return ("", None, None)
            command = exportxml.oneline_command(element)
            if command.name == "image" and self.images is not None:
                return (self._figure(command), None, None)
            if command.name in exportxml.METADATA_COMMANDS and self.hide_metadata:
                return ("", None, None)  # book metadata, not page content
            return self._tag("div", command, ["oneline_command", command.name], None)
        if kind == K.KIND_CONTAINER:
            return self._container(element)
        if kind == K.KIND_ITEM:
            tag, added = ITEM_TAGS[name]
            text, blocks = exportxml.item_parts(element)
            if tag == "dt":
                blocks = []  # written after the term, in a description (_list_children)
            return self._tag(tag, element, [added] if added else [],
                             list(text) + _blocks(blocks))
        # The document, or an element read from XML the converter did not write.
        return "", None, _blocks(element.children)

    def _ruby_start(self, element, reading):
        """<ruby>, with the inline margins of a reading longer than its base in books."""
        if not self.book:
            return "<ruby>"
        start, end = ruby_margins(element.text(), reading,
                                  _neighbour(element, -1, self.positions),
                                  _neighbour(element, 1, self.positions))
        if not start and not end:
            return "<ruby>"
        return '<ruby style="margin-inline: %sem %sem">' % (_em(start), _em(end))

    def _container(self, element):
        """A list, definition list, quotation or division. Below `deep` levels of them the
        containers are left out and their items follow one another as plain blocks: a
        page keeps room for the text at any depth, and readers need not lay out a
        thousand nested boxes. The text and its order stay as they are."""
        tag = CONTAINER_TAGS.get(element.items, "div")
        if self.deep is not None and self._container_depth(element) > self.deep:
            flat = []
            for child in element.children:
                if isinstance(child, exportxml.Element) and child.kind == K.KIND_ITEM:
                    text, blocks = exportxml.item_parts(child)
                    flat.append(_Raw('<div class="deep %s">' % child.name))
                    flat.extend(text)
                    flat.append(_Raw("</div>\n"))
                    flat.extend(_blocks(blocks))
                else:
                    flat.extend(_blocks([child]))
            return "", None, flat
        classes = [element.name] if tag == "div" and element.name != "div" else []
        start, end, _ = self._tag(tag, element, classes, None)
        return start, end, _list_children(element, tag)

    def _figure(self, command):
        image = self.images.image(command)
        if image is None:
            return ""
        self.placed_images.append(image)
        caption = ("<figcaption>%s</figcaption>" % escape(image.alt)) if image.alt else ""
        style = self.figure_style(image) if self.figure_style else None
        return ('<figure%s%s><img src="%s" alt="%s" width="%d" height="%d"/>%s</figure>\n'
                % (self.attributes(command, ["oneline_command", "image"]),
                   ' style="%s"' % escape(style) if style else "",
                   escape(self.image_source(image)), escape(image.alt), image.width,
                   image.height, caption))


def _headings_following(heading):
    """How many headings follow `heading` with nothing between them (at most 3): those of
    the sections that open right after it, inside its own section or after it within
    the same chapter. A printed page keeps them all with the text after the last one."""
    count = 0
    while count < 3:
        following = _next_block(heading)
        first = following.elements()[:1] if following is not None \
            and following.kind == K.KIND_SECTION else []
        if not first or first[0].kind != K.KIND_HEADING:
            break
        heading = first[0]
        count += 1
    return count


def _heading_with_picture(children):
    """A section's blocks, its heading and a picture right after it held together in a
    <div class="heading-picture">: a printed page never shows the heading without it."""
    blocks = [(i, c) for i, c in enumerate(children) if isinstance(c, exportxml.Element)]
    if len(blocks) < 2 or blocks[0][1].kind != K.KIND_HEADING:
        return children
    command = exportxml.oneline_command(blocks[1][1])
    if command is None or command.name != "image":
        return children
    first, last = blocks[0][0], blocks[1][0]
    return (children[:first] + [_Raw('<div class="heading-picture">')]
            + children[first:last + 1] + [_Raw("</div>\n")] + children[last + 1:])


def _next_block(element):
    """The block after `element`, looking out of the sections it ends, but not out of
    a chapter (a section whose parent has no heading): the next one starts a page."""
    while element.parent is not None:
        siblings = element.parent.elements()
        place = next(i for i, sibling in enumerate(siblings) if sibling is element)
        if place + 1 < len(siblings):
            return siblings[place + 1]
        element = element.parent
        if element.parent is None or element.parent.kind != K.KIND_SECTION \
                or exportxml.heading_of(element.parent) is None:
            return None
    return None


def _em(value):
    text = ("%.3f" % value).rstrip("0").rstrip(".")
    return "0" if text in ("", "-0") else text


def _blocks(children):
    """Children of a block context: line breaks dropped, any text the converter would not
    put there kept in a block of its own."""
    out = []
    for child in children:
        if isinstance(child, str):
            if child.strip(exportxml.SPACE):
                out.extend((_Raw('<div class="text">'), child, _Raw("</div>\n")))
        else:
            out.append(child)
    return out


def _list_children(container, tag):
    """The children of a container as its output tag allows them: in a list, whatever is
    not an item goes into an item of its own; in a definition list, into a description,
    with an empty term before a description that has none, and an empty description after
    a term that has none; a term's blocks follow it in a description."""
    children = _blocks(container.children)
    if tag == "ul":
        out = []
        for child in children:
            if isinstance(child, exportxml.Element) and child.kind == K.KIND_ITEM:
                out.append(child)
            elif type(child) is _Raw and child.startswith('<div class="text">'):
                out.append(_Raw('<li class="nested">' + child[:-1]))
            elif type(child) is _Raw and child == "</div>\n":
                out.append(_Raw("</div></li>\n"))
            else:
                out.extend((_Raw('<li class="nested">'), child, _Raw("</li>\n")))
        return out
    if tag != "dl":
        return children
    out = []
    previous = None  # "dt" or "dd"
    pending_blocks = []

    def describe(blocks):
        nonlocal previous
        if previous is None:
            out.append(_Raw("<dt></dt>\n"))
        out.append(_Raw('<dd class="nested">'))
        out.extend(blocks)
        out.append(_Raw("</dd>\n"))
        previous = "dd"

    index = 0
    while index < len(children):
        child = children[index]
        if isinstance(child, exportxml.Element) and child.kind == K.KIND_ITEM \
                and child.name == "dterm":
            if previous == "dt":
                out.append(_Raw("<dd></dd>\n"))
            out.append(child)
            previous = "dt"
            _, pending_blocks = exportxml.item_parts(child)
            if pending_blocks:
                describe(_blocks(pending_blocks))
        elif isinstance(child, exportxml.Element) and child.kind == K.KIND_ITEM:
            if previous is None:
                out.append(_Raw("<dt></dt>\n"))
            out.append(child)
            previous = "dd"
        elif type(child) is _Raw:  # stray text: its three pieces go together
            describe(children[index + 1:index + 2])
            index += 2
        else:
            describe([child])
        index += 1
    if previous == "dt":
        out.append(_Raw("<dd></dd>\n"))
    return out


# ---------------------------------------------------------------------------------------
# Style of the book (EPUB and PDF).

_BOOK_STYLE = """\
@font-face { font-family: "QuirtleLatin"; src: local("IPAPMincho"), local("IPA P明朝"); unicode-range: U+0020-007E; }
html { font-family: "QuirtleLatin", "IPAMincho", "IPA明朝", "Noto Serif CJK JP", "Source Han Serif JP", serif; line-height: 2; line-break: strict; -webkit-line-break: strict; -epub-line-break: strict; word-break: normal; overflow-wrap: anywhere; text-spacing-trim: normal; }
body { margin: 0; }
h1, h2, h3, h4, h5, h6 { font-weight: bold; line-height: 1.4; margin-inline: 0; page-break-after: avoid; break-after: avoid; page-break-inside: avoid; break-inside: avoid; }
h1 { font-size: 1.6em; margin-block: 0 1.5em; }
h2 { font-size: 1.3em; margin-block: 1.5em 1em; }
h3, h4, h5, h6 { font-size: 1.1em; margin-block: 1em 0.5em; }
section.section_1, .chapter { page-break-before: always; break-before: page; }
p { margin: 0; text-indent: 1em; text-align: justify; text-align-last: start; -epub-text-align-last: start; }
p.noindent { text-indent: 0; }
em { font-style: normal; -webkit-text-emphasis-style: filled sesame; -epub-text-emphasis-style: filled sesame; text-emphasis-style: filled sesame; }
ruby { ruby-align: center; -epub-ruby-position: over; ruby-position: over; }
rt { font-size: 0.5em; line-height: 1; }
.latin { margin-inline: 0.25em; }
@supports not (text-spacing-trim: normal) { .kern-end { margin-inline-end: -0.5em; } .kern-start { margin-inline-start: -0.5em; } }
.dash { -webkit-text-fill-color: transparent; background-image: linear-gradient(to bottom, transparent 46%, currentColor 46%, currentColor 54%, transparent 54%); }
blockquote { margin-block: 0.5em; margin-inline: 2em; }
ul, dl { margin-block: 0.5em; }
li.nested { list-style-type: none; }
dt { font-weight: bold; }
dd { margin: 0; margin-inline-start: 2em; }
pre { white-space: pre-wrap; font-family: inherit; margin: 0; }
pre.incomplete { color: #a00000; border: 1px solid #c03030; background: #fff0f0; padding: 0.2em; margin-block: 0.3em; }
figure { margin-block: 1em; margin-inline: 0; text-align: center; page-break-inside: avoid; break-inside: avoid; }
figure img { max-width: 100%; max-height: 100%; width: auto; height: auto; }
figcaption { font-size: 0.9em; }
nav ol { list-style-type: none; }
.oneline_command.pagebreak { page-break-before: always; break-before: page; }
"""

# Upright digits and "!?" (縦中横), rotated Latin words: only vertical text needs them.
_VERTICAL_STYLE = """\
html { -epub-writing-mode: vertical-rl; -webkit-writing-mode: vertical-rl; writing-mode: vertical-rl; }
.tcy { -webkit-text-combine: horizontal; -epub-text-combine: horizontal; -webkit-text-combine-upright: all; text-combine-upright: all; }
.dash { background-image: linear-gradient(to right, transparent 46%, currentColor 46%, currentColor 54%, transparent 54%); }
.upright { -webkit-text-orientation: upright; -epub-text-orientation: upright; text-orientation: upright; }
.latin { -webkit-text-orientation: mixed; -epub-text-orientation: mixed; text-orientation: mixed; }
"""


def book_style(vertical):
    return _BOOK_STYLE + (_VERTICAL_STYLE if vertical else "")


def document(title, body, style=None, stylesheet=None, vertical=False, epub=False,
             body_class=None):
    """A whole XHTML document around `body`."""
    head = ['<meta charset="UTF-8"/>', "<title>%s</title>" % escape(title)]
    if stylesheet:
        head.append('<link rel="stylesheet" type="text/css" href="%s"/>' % escape(stylesheet))
    if style:
        head.append("<style>\n%s</style>" % style)
    return ('<?xml version="1.0" encoding="UTF-8"?>\n<!DOCTYPE html>\n'
            '<html xmlns="http://www.w3.org/1999/xhtml"%s xml:lang="ja" lang="ja" class="%s">\n'
            "<head>\n%s\n</head>\n<body%s>\n%s</body>\n</html>\n"
            % (' xmlns:epub="http://www.idpf.org/2007/ops"' if epub else "",
               "vrtl" if vertical else "hltr", "\n".join(head),
               ' class="%s"' % escape(body_class) if body_class else "", body))
