"""Reading the export XML that quirtle writes to a script's standard input, and the
steps every export script shares: writing the output whole, finding the programs shipped
beside quirtle, image sizes, book metadata and error reporting.

The document is Shift_JIS (Windows code page 932) with an XML declaration saying so.
Element names are the author's own for divisions and commands, and may hold ":" or
Japanese characters, so the document is read without namespace processing. Elements may
nest 1000 levels deep and more: nothing here recurses.
"""

import argparse
import html
import io
import math
import os
import re
import shutil
import stat
import subprocess
import sys
import tempfile
import uuid
import warnings
import xml.parsers.expat


class ExportError(Exception):
    """A failure to report on standard error before exiting with a non-zero code."""


class Element:
    """One element: its name, attributes, children (str or Element) and its kind."""

    __slots__ = ("name", "attrs", "children", "parent", "newline_after", "kind", "items")

    def __init__(self, name, attrs, parent=None):
        self.name = name
        self.attrs = attrs
        self.children = []
        self.parent = parent
        # Whether a line break follows the end tag (set while parsing).
        self.newline_after = False
        # What the element is, told by its place in the structure (set by classify):
        # one of the KIND_ values below.
        self.kind = None
        # A container's item names: ("litem",), ("dterm", "ddesc"), ("blockquote_inner",)
        # or ("div_inner",) for a division.
        self.items = ()

    @property
    def inline_command(self):
        """Whether this is an inline command of the text (its name is the author's)."""
        return self.kind == KIND_INLINE

    @property
    def division(self):
        """Whether this is a division (its name is the author's own and may equal any of
        the converter's element names)."""
        return self.kind == KIND_CONTAINER and self.items == DIVISION_ITEMS

    def params(self):
        """The values of param0, param1, ... in order."""
        values = []
        while "param%d" % len(values) in self.attrs:
            values.append(self.attrs["param%d" % len(values)])
        return values

    def elements(self):
        return [c for c in self.children if isinstance(c, Element)]

    def text(self):
        """All text below this element, without the line breaks the converter puts
        after end tags."""
        parts = []
        pending = [self]
        while pending:
            item = pending.pop()
            if isinstance(item, Element):
                pending.extend(reversed(item.children))
            else:
                parts.append(item)
        return "".join(parts).replace("\n", "")

    def copy_without_children(self):
        """A shallow copy standing in the same place, for a part of this element."""
        other = Element(self.name, self.attrs, self.parent)
        other.newline_after = self.newline_after
        other.kind = self.kind
        other.items = self.items
        return other


def iter_elements(root):
    """Every element below `root` (not itself), in document order."""
    pending = list(reversed(root.elements()))
    while pending:
        element = pending.pop()
        yield element
        pending.extend(reversed(element.elements()))


_DECLARATION = re.compile(r"^\s*<\?xml[^>]*\?>")
# Characters XML 1.0 does not allow; the manuscript may still contain them.
_NOT_XML = re.compile("[\x00-\x08\x0b\x0c\x0e-\x1f\ufffe\uffff]")
# Every "<" of the export starts a tag: text and attribute values have theirs escaped.
_TAG_NAME = re.compile(r"<(/?)([^\s/>]+)")
# Names the XML reader takes as they are. Others (the converter allows any Japanese
# character, "・", half-width kana, ...) are read under a stand-in name of letters the
# converter never writes ("À" is not a Shift_JIS character), and renamed back after.
_PLAIN_NAME = re.compile(r"^[A-Za-z_][A-Za-z0-9_.\-]*$")


def _stand_in_names(text):
    """The text with every name the XML reader may refuse replaced, and {stand-in: name}."""
    names = {}
    stand_ins = {}

    def replace(match):
        name = match.group(2)
        if _PLAIN_NAME.match(name):
            return match.group(0)
        stand_in = stand_ins.get(name)
        if stand_in is None:
            stand_in = "\u00c0%d" % len(stand_ins)
            stand_ins[name] = stand_in
            names[stand_in] = name
        return "<" + match.group(1) + stand_in

    return _TAG_NAME.sub(replace, text), names


_PROBLEMS = {
    "mismatched tag": "an element is closed that is not the one open",
    "no element found": "the document ends before all its elements are closed",
    "unclosed token": "the document ends inside a tag",
    "not well-formed (invalid token)": "a character or tag the XML rules do not allow",
    "junk after document element": "something follows the document's end",
    "undefined entity": "an unknown entity (& followed by a name)",
    "duplicate attribute": "an attribute written twice",
}


def _near(text, line, column):
    """The manuscript text nearest to a place of the export XML: the character data of
    that line, which is one manuscript line's text."""
    lines = text.split("\n")
    if not 1 <= line <= len(lines):
        return ""
    here = re.sub(r"<[^>]*>?", " ", lines[line - 1])
    here = " ".join(html.unescape(here).split())
    return here[:40]


def parse(data):
    """Parses the export document (bytes) and returns its root element."""
    if not data.strip():
        raise ExportError("input is empty (expected the export XML on standard input)")
    try:
        text = data.decode("cp932")
    except UnicodeDecodeError as error:
        raise ExportError("input is not Shift_JIS text (byte %d)" % error.start) from None
    text = _DECLARATION.sub("", text, count=1)
    text = _NOT_XML.sub("\ufffd", text)
    text, names = _stand_in_names(text)

    parser = xml.parsers.expat.ParserCreate("UTF-8")
    parser.ordered_attributes = False
    parser.buffer_text = True
    stack = []
    root = []

    def start(name, attrs):
        element = Element(names.get(name, name), attrs, stack[-1] if stack else None)
        if stack:
            stack[-1].children.append(element)
        else:
            root.append(element)
        stack.append(element)

    def end(_name):
        stack.pop()

    def characters(data):
        if not stack:
            return
        children = stack[-1].children
        if children and isinstance(children[-1], str):
            children[-1] += data
        else:
            if children:
                children[-1].newline_after = data.startswith("\n")
            children.append(data)

    parser.StartElementHandler = start
    parser.EndElementHandler = end
    parser.CharacterDataHandler = characters
    try:
        parser.Parse(text.encode("utf-8"), True)
    except xml.parsers.expat.ExpatError as error:
        reason = xml.parsers.expat.ErrorString(error.code)
        near = _near(text, error.lineno, error.offset)
        raise ExportError("input is not well-formed XML (line %d, column %d of the export%s): "
                          "%s" % (error.lineno, error.offset,
                                  ", at the manuscript line 「%s」" % near if near else "",
                                  _PROBLEMS.get(reason, reason))) from None
    if not root or root[0].name != "document":
        raise ExportError("input is not an export document (no <document> root)")
    classify(root[0])
    return root[0]


# ---------------------------------------------------------------------------------------
# What each element is. The converter writes a fixed grammar; author-named elements
# (divisions, one-line and inline commands) may carry any of its names, so an element is
# told by where it stands, never by its name alone:
#   block context (the document, a section after its heading, a container, an item after
#   its text): sections, paragraphs, containers, one-line commands, incomplete lines;
#   a section: an optional heading first, then blocks;
#   a container: its items, and blocks (a list directly in a list, a section in a list);
#   an item: its line's text, then blocks;
#   text (headings, paragraphs, the text of items): ruby and emphasis (no line break
#   after them), inline commands (the converter writes a line break after each).

KIND_DOCUMENT = "document"
KIND_SECTION = "section"
KIND_HEADING = "heading"
KIND_PARAGRAPH = "paragraph"
KIND_PRE = "pre"  # a line the converter could not read
KIND_ONELINE = "oneline"  # a one-line command's wrapper (or the command, for "div")
KIND_COMMAND = "command"  # the command element inside a one-line command's wrapper
KIND_CONTAINER = "container"
KIND_ITEM = "item"
KIND_RUBY = "ruby"
KIND_EM = "em"
KIND_INLINE = "inline"  # an inline command

DIVISION_ITEMS = ("div_inner",)
CONTAINER_ITEMS = {"list": ("litem",), "dlist": ("dterm", "ddesc"),
                   "blockquote": ("blockquote_inner",)}
# Items of the converter's containers (lists, definition lists, quotations, divisions).
ITEM_NAMES = ("litem", "dterm", "ddesc", "blockquote_inner", "div_inner")
BLOCK_KINDS = (KIND_SECTION, KIND_HEADING, KIND_PARAGRAPH, KIND_PRE, KIND_ONELINE,
               KIND_CONTAINER)


# The white space the converter writes between tags; an ideographic space is text.
SPACE = " \t\r\n"


def _has_text(children):
    return any(isinstance(c, str) and c.strip(SPACE) for c in children)


def _oneline_shape(element):
    """The command element when `element` is written like a one-line command (an empty
    "div", or a "div" whose only attribute is the class naming the empty element it
    wraps); otherwise None."""
    if element.name != "div":
        return None
    if not element.children:
        return element
    if set(element.attrs) != {"class"} or _has_text(element.children):
        return None
    inner = element.elements()
    if len(inner) == 1 and not inner[0].children and inner[0].name == element.attrs["class"]:
        return inner[0]
    return None


def _block_kind(element):
    """(kind, item names) of an element standing in a block context."""
    if _oneline_shape(element) is not None:
        return KIND_ONELINE, ()
    if any(isinstance(c, Element) and c.name == "div_inner" for c in element.children):
        return KIND_CONTAINER, DIVISION_ITEMS
    name = element.name
    if name == "section":
        return KIND_SECTION, ()
    if name == "paragraph":
        return KIND_PARAGRAPH, ()
    if name in CONTAINER_ITEMS:
        return KIND_CONTAINER, CONTAINER_ITEMS[name]
    if name == "pre" and element.attrs.get("class") == "incomplete" \
            and not element.elements():
        return KIND_PRE, ()
    return KIND_CONTAINER, DIVISION_ITEMS  # a division the author named


def _looks_like_block(element):
    """Whether an element after an item's last text is one of the item's blocks: no text
    of its own, and every element in it ended by a line break (ruby and emphasis never
    are)."""
    if not element.newline_after or _has_text(element.children):
        return False
    return all(child.newline_after for child in element.elements())


def _text_end(children):
    """How many of an item's children are its line's text; blocks follow."""
    end = len(children)
    while end > 0:
        child = children[end - 1]
        if isinstance(child, str):
            if child.strip(SPACE):
                break
        elif not _looks_like_block(child):
            break
        end -= 1
    return end


def classify(document):
    """Sets the kind of every element below `document`, without recursion."""
    document.kind = KIND_DOCUMENT
    pending = [document]
    while pending:
        element = pending.pop()
        kind = element.kind
        children = element.children
        if kind in (KIND_PARAGRAPH, KIND_HEADING, KIND_RUBY, KIND_EM, KIND_INLINE, KIND_PRE):
            for child in children:
                if isinstance(child, Element):
                    _set_text_kind(child)
                    pending.append(child)
            continue
        if kind == KIND_ONELINE:
            command = _oneline_shape(element)
            if command is not element:
                command.kind = KIND_COMMAND
            continue
        if kind == KIND_COMMAND:
            continue
        text_end = 0
        if kind == KIND_ITEM:
            text_end = _text_end(children)
            for child in children[:text_end]:
                if isinstance(child, Element):
                    _set_text_kind(child)
                    pending.append(child)
        first = True
        for child in children[text_end:]:
            if not isinstance(child, Element):
                continue
            if kind == KIND_SECTION and first and child.name == "heading":
                child.kind = KIND_HEADING
            elif kind == KIND_CONTAINER and child.name in element.items:
                child.kind = KIND_ITEM
            else:
                child.kind, child.items = _block_kind(child)
            first = False
            pending.append(child)


def _set_text_kind(element):
    if element.newline_after:
        element.kind = KIND_INLINE
    elif element.name == "ruby":
        element.kind = KIND_RUBY
    elif element.name == "em":
        element.kind = KIND_EM
    else:
        element.kind = KIND_INLINE


def mark_inline_commands(document):
    """Sets the kinds of the elements below `document` (kept for older callers)."""
    classify(document)


def is_container(element):
    """A list, definition list, quotation or division: an element holding items."""
    return element.kind == KIND_CONTAINER


def oneline_command(element):
    """The command element when `element` is a one-line command; otherwise None."""
    if element.kind != KIND_ONELINE:
        return None
    return _oneline_shape(element)


# Elements whose content is one line's text.
TEXT_NAMES = ("heading", "paragraph", "dterm")


def is_block(element):
    """Whether the element stands as a block of its own rather than inside a line's text."""
    return element.kind in BLOCK_KINDS


def item_parts(item):
    """An item's own text (strings and inline elements), and the blocks after it."""
    children = item.children
    for index, child in enumerate(children):
        if isinstance(child, Element) and child.kind in BLOCK_KINDS:
            return children[:index], children[index:]
    return children, []


def section_depth(element):
    """How many sections hold this element (itself included)."""
    depth = 0
    while element is not None:
        if element.kind == KIND_SECTION:
            depth += 1
        element = element.parent
    return depth


def is_heading(element):
    return element.kind == KIND_HEADING


def heading_of(section):
    """The heading element of a section, or None."""
    for child in section.children:
        if isinstance(child, Element):
            return child if child.kind == KIND_HEADING else None
    return None


def first_heading(document):
    """The text of the first heading that has any, or None."""
    for element in iter_elements(document):
        if is_heading(element) and element.text().strip():
            return element.text().strip()
    return None


# ---------------------------------------------------------------------------------------
# Chapters: the top heading level the manuscript uses. A manuscript without "*" headings
# but with "**" ones has the "**" sections as its chapters, and so on: a chapter is a
# section with a heading that no section with a heading holds. (A novel whose chapters
# are "**" and whose only "*" is a closing "* 底本" has its "**" sections, inside the
# converter's implicit "*" section, as chapters, and "* 底本" as the last.) Sections
# count wherever the converter put them (inside a list the author did not end, too),
# except inside the text of a line.

_STRUCTURE = (KIND_DOCUMENT, KIND_SECTION, KIND_CONTAINER, KIND_ITEM)


def _structural_sections(document):
    """(section, depth, whether a section with a heading holds it) of every section below
    the document whose holders are sections, containers and items only, in document
    order."""
    pending = [(child, 0, False) for child in reversed(document.elements())]
    while pending:
        element, depth, inside = pending.pop()
        if element.kind not in _STRUCTURE:
            continue
        below = inside
        if element.kind == KIND_SECTION:
            depth += 1
            yield element, depth, inside
            below = inside or _titled(element)
        pending.extend((child, depth, below) for child in reversed(element.elements()))


def _titled(section):
    heading = heading_of(section)
    return heading is not None and bool(heading.text().strip())


def chapter_depth(document):
    """The shallowest section depth that holds a heading with text, or None when the
    manuscript has no such heading."""
    best = None
    for section, depth, _ in _structural_sections(document):
        if (best is None or depth < best) and _titled(section):
            best = depth
    return best


def chapter_sections(document, depth=None):
    """The sections that start chapters, in document order: the sections with a heading
    that no section with a heading holds (or, given a depth, those of that depth)."""
    return [section for section, found, inside in _structural_sections(document)
            if _titled(section) and (not inside if depth is None else found == depth)]


class Chapter:
    """The blocks of one chapter (or of what comes before the first), in order: parts of
    the holders of a chapter section are stand-ins (copy_without_children) holding the
    chapter's share of their children."""

    __slots__ = ("elements", "section", "continued")

    def __init__(self, section, continued=False):
        self.elements = []
        self.section = section  # the chapter's section, or None for the front
        # Whether this part goes on with the chapter before it, after a page break.
        self.continued = continued

    def heading(self):
        return heading_of(self.section) if self.section is not None else None


def is_page_break(element):
    """Whether `element` is a one-line command ":pagebreak" (a new page starts there)."""
    command = oneline_command(element)
    return command is not None and command.name == "pagebreak"


def split_chapters(document, depth=None, page_breaks=False):
    """The document cut into chapters: each chapter section starts one, with what follows
    it up to the next; what comes before the first is a chapter of its own (section
    None). A chapter section inside a list or a quotation is cut out of it: the holders
    are split around it, so the text and its order stay as they are. With page_breaks,
    every ":pagebreak" also starts a part (continued, of the same chapter), the holders
    split around it in the same way, and the command itself is left out. No chapter is
    empty (whitespace only)."""
    starts = {id(section) for section in chapter_sections(document, depth)}
    breaks = set()
    if page_breaks:
        breaks = {id(element) for element in iter_elements(document)
                  if element.kind == KIND_ONELINE and is_page_break(element)}
    holds = set()
    for element in iter_elements(document):
        if id(element) in starts or id(element) in breaks:
            holder = element.parent
            while holder is not None and holder is not document and id(holder) not in holds:
                holds.add(id(holder))
                holder = holder.parent
    chapters = [Chapter(None)]
    # The open holders: [original, its stand-in in the current chapter or None].
    open_holders = []

    def target():
        """The children list new content goes to, opening stand-ins as needed."""
        parent_children = chapters[-1].elements
        for entry in open_holders:
            if entry[1] is None:
                entry[1] = entry[0].copy_without_children()
                parent_children.append(entry[1])
            parent_children = entry[1].children
        return parent_children

    iterators = [iter(document.children)]
    while iterators:
        child = next(iterators[-1], None)
        if child is None:
            iterators.pop()
            if open_holders:
                open_holders.pop()
            continue
        if isinstance(child, str):
            if child.strip(SPACE):
                target().append(child)
            else:
                _append_space(open_holders, child)
            continue
        if id(child) in breaks:
            chapters.append(Chapter(chapters[-1].section, continued=True))
            for entry in open_holders:
                entry[1] = None
        elif id(child) in starts:
            chapters.append(Chapter(child))
            for entry in open_holders:
                entry[1] = None
            if id(child) in holds:  # it holds a page break: opened like any holder
                open_holders.append([child, None])
                iterators.append(iter(child.children))
            else:
                chapters[-1].elements.append(child)
        elif id(child) in holds:
            open_holders.append([child, None])
            iterators.append(iter(child.children))
        else:
            target().append(child)
    return [chapter for chapter in chapters if _has_content(chapter.elements)]


def _append_space(open_holders, text):
    """Whitespace goes only into a stand-in that is already open (it carries the line
    breaks that tell inline commands)."""
    if open_holders and open_holders[-1][1] is not None:
        open_holders[-1][1].children.append(text)


def _has_content(elements):
    return any(isinstance(e, Element) or e.strip(SPACE) for e in elements)


# ---------------------------------------------------------------------------------------
# Book metadata: one-line commands ":title 雨の駅", ":author 山田 花子" and
# ":identifier urn:uuid:..." (all parameters joined with one space; the first one wins).

METADATA_COMMANDS = ("title", "author", "identifier", "publisher", "edition")
# Identifiers derived from title and author live in a namespace of their own, so the same
# book gets the same identifier at every export.
_BOOK_NAMESPACE = uuid.UUID("5a1c3b0e-6f2d-5e47-9b1a-7d3c2e4f9a60")
# A reading written in square brackets at the end of ":title" or ":author"
# (":author 夏目 漱石 [なつめ そうせき]") is the sorting reading (file-as) of the name.
_READING = re.compile(r"^(.*?)\s*[\[［]([^\]］]*)[\]］]$")


def command_texts(document, names):
    """{name: text} of the first one-line command of each name that has any parameter
    text (all parameters joined with one space), in one walk of the document."""
    found = {}
    for element in iter_elements(document):
        if element.kind != KIND_ONELINE:
            continue
        command = oneline_command(element)
        if command is None or command.name not in names or command.name in found:
            continue
        text = " ".join(p.strip() for p in command.params() if p.strip())
        if text:
            found[command.name] = text
    return found


def split_reading(text):
    """(name, reading or None) of a ":title" or ":author" text."""
    if text is None:
        return None, None
    match = _READING.match(text)
    if match and match.group(1).strip() and match.group(2).strip():
        return match.group(1).strip(), " ".join(match.group(2).split())
    return text, None


class Metadata:
    __slots__ = ("title", "author", "identifier", "title_reading", "author_reading",
                 "publisher", "edition")

    def __init__(self, title, author, identifier, title_reading=None, author_reading=None,
                 publisher=None, edition=None):
        self.title = title
        self.author = author
        self.identifier = identifier
        self.title_reading = title_reading
        self.author_reading = author_reading
        self.publisher = publisher
        self.edition = edition


def metadata(document, output_path):
    """Title (":title", else the first heading, else the output file's name), author
    (":author", or None), their readings, publisher and edition (":publisher",
    ":edition") and a stable identifier (":identifier", else derived)."""
    texts = command_texts(document, METADATA_COMMANDS)
    title, title_reading = split_reading(texts.get("title"))
    title = (title or first_heading(document)
             or os.path.splitext(os.path.basename(output_path))[0] or "untitled")
    author, author_reading = split_reading(texts.get("author"))
    identifier = texts.get("identifier")
    if identifier is None:
        identifier = "urn:uuid:%s" % uuid.uuid5(_BOOK_NAMESPACE,
                                                "%s\n%s" % (title, author or ""))
    return Metadata(title, author, identifier, title_reading, author_reading,
                    texts.get("publisher"), texts.get("edition"))


# ---------------------------------------------------------------------------------------
# Programs shipped beside quirtle and images.

def program_directory():
    """The folder holding quirtle and its tools: the parent of this script's folder."""
    return os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def find_program(name):
    """The path of a program shipped with quirtle: beside quirtle first, then the PATH."""
    candidate = os.path.join(program_directory(), name)
    if os.path.isfile(candidate) and os.access(candidate, os.X_OK):
        return candidate
    return shutil.which(name)


def warn(name, message):
    """One line on standard error for something the export left out; it goes on."""
    print("%s: %s" % (name, message), file=sys.stderr)


IMAGE_TYPES = {".jpg": "image/jpeg", ".jpeg": "image/jpeg", ".png": "image/png",
               ".gif": "image/gif"}


class Image:
    """A picture placed by a one-line command ":image(class) path alt text"."""

    __slots__ = ("source", "path", "alt", "width", "height", "media_type", "classes")

    def __init__(self, source, path, alt, width, height, media_type, classes=()):
        self.source = source  # as the author wrote it
        self.path = path  # absolute path of the file
        self.alt = alt
        self.width = width
        self.height = height
        self.media_type = media_type
        self.classes = list(classes)


# The first bytes of each kind of picture.
SIGNATURES = {"image/jpeg": (b"\xff\xd8\xff",), "image/png": (b"\x89PNG\r\n\x1a\n",),
              "image/gif": (b"GIF87a", b"GIF89a")}


def command_line(command):
    """A one-line command as the manuscript writes it (":image(cover) a.png 雨"), to name
    the manuscript line in a message."""
    head = ":" + command.name
    group = command.attrs.get("class", "")
    if "id" in command.attrs:
        group += "#" + command.attrs["id"]
    if group:
        head += "(%s)" % group
    params = ['"%s"' % p if (" " in p or not p) else p for p in command.params()]
    return " ".join([head] + params)


class ImageFinder:
    """Measures pictures with the shipped imgsize program, once per file. Only regular
    files inside the output file's folder are read (after following symbolic links), and
    only when their first bytes are those of their type: a manuscript from someone else
    cannot put other files into the book. A picture that cannot be used is reported on
    standard error (once, naming the manuscript line) and left out."""

    def __init__(self, script_name, output_path):
        self.script_name = script_name
        self.base = os.path.realpath(os.path.dirname(os.path.abspath(output_path)))
        self.imgsize = None
        self.known = {}

    def image(self, command):
        """The Image of an ":image" command element, or None when it cannot be placed."""
        params = command.params()
        source = params[0].strip() if params else ""
        alt = " ".join(p.strip() for p in params[1:] if p.strip())
        line = command_line(command)
        if not source:
            self._report(("",), "%s left out: no file named (write :image path text)" % line)
            return None
        if os.path.isabs(source) or source.startswith("~"):
            self._report(("abs", source), "%s left out: %s is not a path inside the book's "
                         "folder %s" % (line, source, self.base))
            return None
        path = os.path.realpath(os.path.join(self.base, source))
        if path not in self.known:
            self.known[path] = self._measure(line, source, path)
        found = self.known[path]
        if found is None:
            return None
        return Image(source, path, alt, found[0], found[1], found[2],
                     command.attrs.get("class", "").split())

    def _report(self, key, message):
        if key not in self.known:
            self.known[key] = None
            warn(self.script_name, message)

    def _measure(self, line, source, path):
        def refuse(reason):
            warn(self.script_name, "%s left out: %s" % (line, reason))

        if os.path.commonpath([self.base, path]) != self.base:
            refuse("%s leads out of the book's folder %s" % (source, self.base))
            return None
        media_type = IMAGE_TYPES.get(os.path.splitext(source)[1].lower())
        if media_type is None or IMAGE_TYPES.get(os.path.splitext(path)[1].lower()) is None:
            refuse("not a JPEG, PNG or GIF file")
            return None
        try:
            status = os.stat(path)
        except OSError:
            refuse("no such file (%s)" % path)
            return None
        if not stat.S_ISREG(status.st_mode):
            refuse("%s is not a regular file" % source)
            return None
        try:
            with open(path, "rb") as picture:
                head = picture.read(8)
        except OSError as error:
            refuse("cannot read %s: %s" % (source, error.strerror))
            return None
        if not head.startswith(SIGNATURES[media_type]):
            refuse("%s is not a %s file (its first bytes say otherwise)"
                   % (source, media_type.split("/")[1].upper()))
            return None
        if self.imgsize is None:
            self.imgsize = find_program("imgsize") or ""
        if not self.imgsize:
            refuse("the imgsize program was not found")
            return None
        try:
            result = subprocess.run([self.imgsize, path], stdin=subprocess.DEVNULL,
                                    capture_output=True, timeout=60)
        except (OSError, subprocess.SubprocessError) as error:
            refuse("imgsize failed: %s" % error)
            return None
        lines = result.stdout.decode("ascii", "replace").split()
        reason = result.stderr.decode("utf-8", "replace").strip()
        try:
            width, height = int(lines[0]), int(lines[1])
        except (IndexError, ValueError):
            width = height = -1
        if width <= 0 or height <= 0:
            refuse(reason or "its size cannot be read")
            return None
        return (width, height, media_type)


# ---------------------------------------------------------------------------------------
# Pictures larger than a book can use.

# The EPUB's limit: 4 million pixels and 3200 pixels on the long side, what stores commonly
# ask for and more than any reader's screen shows.
EPUB_PICTURE_LIMIT = (3200, 3200, 4_000_000)
# The printed book's: the box a picture is fitted into, at this resolution.
PRINT_DPI = 350


def scaled_size(width, height, limit):
    """The size a width by height picture is scaled to so that it keeps within `limit`
    (maximum width, maximum height, maximum pixels; None for no limit), its proportions
    kept; None when it is within the limit already."""
    max_width, max_height, max_pixels = limit
    factor = 1.0
    if max_width:
        factor = min(factor, max_width / width)
    if max_height:
        factor = min(factor, max_height / height)
    if max_pixels:
        factor = min(factor, math.sqrt(max_pixels / (width * height)))
    if factor >= 1.0:
        return None
    return max(1, int(width * factor)), max(1, int(height * factor))


class PictureScaler:
    """Makes pictures larger than `limit` (see scaled_size) smaller copies of themselves
    of the same type, with Pillow (Debian package python3-pil): resampled with a Lanczos
    filter, JPEG at quality 90 with its colour profile and Exif data (so its orientation
    stays), PNG and GIF with their transparency. The original file is only read. An
    animated GIF (or PNG) is put in as it is, all its pictures kept, with a line on
    standard error. Without Pillow, or where a picture cannot be read
    with it, the picture is put in as it is and standard error says so (without Pillow:
    once)."""

    def __init__(self, script_name, limit):
        self.script_name = script_name
        self.limit = limit
        self.pillow = None  # the PIL.Image module, False when it is not there
        self.done = {}  # path -> (bytes, width, height) or None

    def scale(self, image):
        """(data, width, height) of the scaled copy of an Image, or None to use the file
        as it is."""
        size = scaled_size(image.width, image.height, self.limit)
        if size is None:
            return None
        if image.path not in self.done:
            self.done[image.path] = self._scale(image, size)
        return self.done[image.path]

    def _module(self):
        if self.pillow is None:
            try:
                import PIL.Image
                self.pillow = PIL.Image
            except ImportError:
                self.pillow = False
                warn(self.script_name, "pictures larger than the book needs are put in at "
                     "full size: Pillow (Debian package python3-pil) is not installed")
        return self.pillow

    def _scale(self, image, size):
        pil = self._module()
        if not pil:
            return None
        failures = (OSError, ValueError, SyntaxError, MemoryError, pil.DecompressionBombError)
        try:
            # Pillow refuses pictures of more than 179 million pixels (reported below) and
            # would warn about those of more than half that: they are scaled all the same.
            with warnings.catch_warnings():
                warnings.simplefilter("ignore", pil.DecompressionBombWarning)
                picture = pil.open(image.path)
            with picture:
                if picture.format not in _PILLOW_FORMATS[image.media_type]:
                    return None  # not what imgsize read: left as it is
                if image.media_type != "image/jpeg" and getattr(picture, "is_animated", False):
                    warn(self.script_name, "%s is animated: put in at full size, not "
                         "scaled" % image.source)
                    return None
                if image.media_type == "image/jpeg" \
                        and picture.getexif().get(0x0112, 1) in (5, 6, 7, 8):
                    # Shown turned a quarter (its Exif orientation): the limit applies to
                    # the picture as shown.
                    turned = scaled_size(image.height, image.width, self.limit)
                    if turned is None:
                        return None
                    size = turned[::-1]
                info = dict(picture.info)
                picture.draft(picture.mode, size)  # a JPEG is decoded at a fraction
                scaled = _resample(pil, picture, size, image.media_type)
            out = io.BytesIO()
            options = {}
            if info.get("icc_profile"):
                options["icc_profile"] = info["icc_profile"]
            if image.media_type == "image/jpeg":
                scaled.save(out, "JPEG", quality=90, exif=info.get("exif", b""), **options)
            elif image.media_type == "image/png":
                scaled.save(out, "PNG", **options)
            else:
                scaled.save(out, "GIF")
        except failures as error:
            warn(self.script_name, "%s is put in at full size: it could not be scaled (%s)"
                 % (image.source, error))
            return None
        return out.getvalue(), scaled.width, scaled.height


# What Pillow calls the types imgsize reads (a JPEG with further pictures is an MPO; its
# first picture is the JPEG).
_PILLOW_FORMATS = {"image/jpeg": ("JPEG", "MPO"), "image/png": ("PNG",), "image/gif": ("GIF",)}


def _resample(pil, picture, size, media_type):
    """The picture at `size`, in a mode its type can be saved in."""
    mode = picture.mode
    transparent = "transparency" in picture.info or mode in ("RGBA", "LA", "PA")
    if media_type == "image/jpeg":
        work = picture if mode in ("L", "RGB", "CMYK") else picture.convert("RGB")
    elif mode in ("L", "RGB", "RGBA", "LA") and not (mode in ("L", "RGB") and transparent):
        work = picture
    else:
        work = picture.convert("RGBA" if transparent else "RGB")
    resampling = getattr(pil, "Resampling", pil)
    return work.resize(size, resampling.LANCZOS)


# ---------------------------------------------------------------------------------------
# Output and the script's frame.

def write_output(path, data):
    """Writes the whole output file, or nothing: a temporary file beside it is renamed
    over it once complete."""
    write_output_with(path, lambda out: out.write(data))


def write_output_with(path, writer):
    """Calls writer(binary file) on a temporary file beside `path` and renames it over
    `path` once writer has returned; on any failure nothing is left behind. An existing
    output keeps its permissions. An output that exists and is not a regular file (a
    device, a pipe, /dev/stdout) is written to directly: it is never replaced."""
    try:
        status = os.stat(path)
    except OSError:
        status = None
    if status is not None and stat.S_ISDIR(status.st_mode):
        raise ExportError("cannot write %s: it is a folder" % path)
    if status is not None and not stat.S_ISREG(status.st_mode):
        _write_directly(path, writer)
        return
    # A link is followed: the file it leads to is replaced, the link stays.
    target = os.path.realpath(path) if status is not None else path
    directory = os.path.dirname(os.path.abspath(target))
    try:
        handle, temporary = tempfile.mkstemp(prefix=".export-", dir=directory)
    except OSError as error:
        raise ExportError("cannot write %s: %s" % (path, error.strerror)) from None
    try:
        with os.fdopen(handle, "w+b") as out:
            writer(out)
            out.flush()
            os.fsync(out.fileno())
        if status is not None:
            os.chmod(temporary, stat.S_IMODE(status.st_mode))
            if os.geteuid() == 0:
                try:
                    os.chown(temporary, status.st_uid, status.st_gid)
                except OSError:
                    pass
        else:
            os.chmod(temporary, 0o666 & ~_umask())
        os.replace(temporary, target)
    except BaseException as error:
        try:
            os.unlink(temporary)
        except OSError:
            pass
        if isinstance(error, OSError):
            raise ExportError("cannot write %s: %s" % (path, error.strerror)) from None
        raise


def _write_directly(path, writer):
    """Writes to a device or pipe as it is (the whole result is made first, so a failure
    writes nothing)."""
    buffer = io.BytesIO()
    writer(buffer)
    try:
        with open(path, "wb", buffering=0) as out:
            view = memoryview(buffer.getbuffer())
            while view:
                written = out.write(view)
                view = view[written:]
    except OSError as error:
        raise ExportError("cannot write %s: %s" % (path, error.strerror)) from None


def _umask():
    mask = os.umask(0)
    os.umask(mask)
    return mask


class _ArgumentParser(argparse.ArgumentParser):
    def error(self, message):
        raise ExportError("%s (usage: %s)" % (message, self.format_usage().strip()
                                              .replace("usage: ", "")))


def argument_parser(description):
    parser = _ArgumentParser(description=description)
    parser.add_argument("-o", dest="output", required=True, metavar="PATH",
                        help="the file to write")
    return parser


def add_writing_options(parser):
    """--vertical (the default) or --horizontal, stored as options.vertical."""
    writing = parser.add_mutually_exclusive_group()
    writing.add_argument("--vertical", dest="vertical", action="store_true", default=True,
                         help="vertical writing (default)")
    writing.add_argument("--horizontal", dest="vertical", action="store_false",
                         help="horizontal writing")


def read_input():
    try:
        return sys.stdin.buffer.read()
    except OSError as error:
        raise ExportError("cannot read standard input: %s" % error.strerror) from None


def run(name, main):
    """Runs main(). Every failure ends with one line on standard error and exit code 1."""
    try:
        sys.stderr.reconfigure(encoding="utf-8", errors="backslashreplace")
    except (AttributeError, ValueError):
        pass
    try:
        main()
    except ExportError as error:
        print("%s: %s" % (name, error), file=sys.stderr)
        sys.exit(1)
    except KeyboardInterrupt:
        sys.exit(130)
    except MemoryError:
        print("%s: out of memory" % name, file=sys.stderr)
        sys.exit(1)
    except Exception as error:  # the last guard: one line, never a traceback
        print("%s: internal error: %s: %s" % (name, type(error).__name__, error),
              file=sys.stderr)
        sys.exit(1)
