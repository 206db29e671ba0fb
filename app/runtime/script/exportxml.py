"""Reading the export XML that quirtle writes to a script's standard input, and the
steps every export script shares: writing the output whole, finding the programs shipped
beside quirtle, image sizes, book metadata and error reporting.

The document is Shift_JIS (Windows code page 932) with an XML declaration saying so.
Element names are the author's own for divisions and commands, and may hold ":" or
Japanese characters, so the document is read without namespace processing. Elements may
nest 1000 levels deep and more: nothing here recurses.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import uuid
import xml.parsers.expat


class ExportError(Exception):
    """A failure to report on standard error before exiting with a non-zero code."""


class Element:
    """One element: its name, attributes, and children (str or Element)."""

    __slots__ = ("name", "attrs", "children", "parent", "newline_after", "inline_command",
                 "division")

    def __init__(self, name, attrs, parent=None):
        self.name = name
        self.attrs = attrs
        self.children = []
        self.parent = parent
        # Whether a line break follows the end tag (set while parsing).
        self.newline_after = False
        # Whether this is an inline command of the text (set by mark_inline_commands).
        self.inline_command = False
        # Whether this is a division (set by mark_inline_commands): its name is the
        # author's own and may equal any of the converter's element names.
        self.division = False

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
        after inline command end tags."""
        parts = []
        pending = [self]
        while pending:
            item = pending.pop()
            if isinstance(item, Element):
                pending.extend(reversed(item.children))
            else:
                parts.append(item)
        return "".join(parts).replace("\n", "")


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

    parser = xml.parsers.expat.ParserCreate("UTF-8")
    parser.ordered_attributes = False
    parser.buffer_text = True
    stack = []
    root = []

    def start(name, attrs):
        element = Element(name, attrs, stack[-1] if stack else None)
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
        raise ExportError("input is not well-formed XML (line %d, column %d): %s"
                          % (error.lineno, error.offset,
                             xml.parsers.expat.ErrorString(error.code))) from None
    if not root or root[0].name != "document":
        raise ExportError("input is not an export document (no <document> root)")
    mark_inline_commands(root[0])
    return root[0]


# Items of the converter's containers (lists, definition lists, quotations, divisions).
ITEM_NAMES = ("litem", "dterm", "ddesc", "blockquote_inner", "div_inner")


def is_container(element):
    """A list, definition list, quotation or division: an element holding items."""
    return any(child.name in ITEM_NAMES and not child.division for child in element.elements())


def oneline_command(element):
    """The command element when `element` is a one-line command (an empty "div", or the
    "div" whose class names the empty command element it wraps); otherwise None."""
    if element.name != "div":
        return None
    if not element.children:
        return element
    inner = element.elements()
    if (set(element.attrs) == {"class"} and len(inner) == 1 and not inner[0].children
            and inner[0].name == element.attrs["class"]
            and not any(isinstance(c, str) and c.strip() for c in element.children)):
        return inner[0]
    return None


# Elements whose content is one line's text.
TEXT_NAMES = ("heading", "paragraph", "dterm")


def _is_block_in_item(element):
    """Whether an element inside an item is a block written after the item's text."""
    if is_container(element) or oneline_command(element) is not None:
        return True
    if element.name == "pre" and element.attrs.get("class") == "incomplete":
        return True
    return element.name == "section" and not any(
        isinstance(c, str) and c.strip() for c in element.children)


def _holds_division_items(element):
    """Whether every child element is a division's item (and there is one at least)."""
    found = False
    for child in element.children:
        if isinstance(child, Element):
            if child.name != "div_inner":
                return False
            found = True
    return found


def mark_inline_commands(document):
    """Marks the inline commands and the divisions below `document`.

    Inline command names are the author's own and may equal the converter's element names
    ("heading", "em", "ruby", ...). The converter writes a line break after every inline
    command's end tag and never after its own ruby and emphasis, which tells them apart.
    Each element's children stand in a context: "block", "text" (a line's text) or "item"
    (an item's text, then blocks). A division is told by its items: it holds nothing but
    "div_inner" elements."""
    pending = [(document, "block")]
    while pending:
        element, context = pending.pop()
        in_text = context in ("text", "item")
        for child in element.elements():
            if context == "item" and in_text and _is_block_in_item(child):
                in_text = False  # the item's text has ended
            if in_text:
                child.inline_command = child.newline_after or child.name not in ("ruby", "em")
                pending.append((child, "text"))
            elif _holds_division_items(child):
                child.division = True
                pending.append((child, "block"))
            elif child.name in TEXT_NAMES:
                pending.append((child, "text"))
            elif child.name in ITEM_NAMES:
                pending.append((child, "item"))
            else:
                pending.append((child, "block"))


def is_block(element):
    """Whether the element stands as a block of its own rather than inside a line's text."""
    if element.inline_command:
        return False
    if element.division or element.name in ("section", "heading", "paragraph"):
        return True
    if element.name == "pre" and element.attrs.get("class") == "incomplete":
        return True
    return is_container(element) or oneline_command(element) is not None


def section_depth(element):
    """How many section elements hold this element (itself included)."""
    depth = 0
    while element is not None:
        if element.name == "section" and not element.inline_command and not element.division:
            depth += 1
        element = element.parent
    return depth


def is_heading(element):
    return element.name == "heading" and not element.inline_command and not element.division


def first_heading(document):
    """The text of the first heading that has any, or None."""
    for element in iter_elements(document):
        if is_heading(element) and element.text().strip():
            return element.text().strip()
    return None


# ---------------------------------------------------------------------------------------
# Book metadata: one-line commands ":title 雨の駅", ":author 山田 花子" and
# ":identifier urn:uuid:..." (all parameters joined with one space; the first one wins).

METADATA_COMMANDS = ("title", "author", "identifier")
# Identifiers derived from title and author live in a namespace of their own, so the same
# book gets the same identifier at every export.
_BOOK_NAMESPACE = uuid.UUID("5a1c3b0e-6f2d-5e47-9b1a-7d3c2e4f9a60")


def command_texts(document, names):
    """{name: text} of the first one-line command of each name that has any parameter
    text (all parameters joined with one space), in one walk of the document."""
    found = {}
    for element in iter_elements(document):
        if element.name != "div" or element.inline_command:
            continue
        command = oneline_command(element)
        if command is None or command.name not in names or command.name in found:
            continue
        text = " ".join(p.strip() for p in command.params() if p.strip())
        if text:
            found[command.name] = text
    return found


class Metadata:
    __slots__ = ("title", "author", "identifier")

    def __init__(self, title, author, identifier):
        self.title = title
        self.author = author
        self.identifier = identifier


def metadata(document, output_path):
    """Title (":title", else the first heading, else the output file's name), author
    (":author", or None) and a stable identifier (":identifier", else derived)."""
    texts = command_texts(document, METADATA_COMMANDS)
    title = (texts.get("title") or first_heading(document)
             or os.path.splitext(os.path.basename(output_path))[0] or "untitled")
    author = texts.get("author")
    identifier = texts.get("identifier")
    if identifier is None:
        identifier = "urn:uuid:%s" % uuid.uuid5(_BOOK_NAMESPACE,
                                                "%s\n%s" % (title, author or ""))
    return Metadata(title, author, identifier)


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


class ImageFinder:
    """Measures pictures with the shipped imgsize program, once per file. A picture that
    cannot be used is reported on standard error (once) and left out."""

    def __init__(self, script_name, output_path):
        self.script_name = script_name
        self.base = os.path.dirname(os.path.abspath(output_path))
        self.imgsize = None
        self.known = {}

    def image(self, command):
        """The Image of an ":image" command element, or None when it cannot be placed."""
        params = command.params()
        source = params[0].strip() if params else ""
        alt = " ".join(p.strip() for p in params[1:] if p.strip())
        if not source:
            self._report(("",), "image: no file named (write :image path text)")
            return None
        path = os.path.normpath(os.path.join(self.base, source))
        if path not in self.known:
            self.known[path] = self._measure(source, path)
        found = self.known[path]
        if found is None:
            return None
        return Image(source, path, alt, found[0], found[1], found[2],
                     command.attrs.get("class", "").split())

    def _report(self, key, message):
        if key not in self.known:
            self.known[key] = None
            warn(self.script_name, message)

    def _measure(self, source, path):
        media_type = IMAGE_TYPES.get(os.path.splitext(path)[1].lower())
        if media_type is None:
            warn(self.script_name, "image %s left out: not a JPEG, PNG or GIF file" % source)
            return None
        if not os.path.isfile(path):
            warn(self.script_name, "image %s left out: no such file (%s)" % (source, path))
            return None
        if self.imgsize is None:
            self.imgsize = find_program("imgsize") or ""
        if not self.imgsize:
            warn(self.script_name, "image %s left out: the imgsize program was not found"
                 % source)
            return None
        try:
            result = subprocess.run([self.imgsize, path], stdin=subprocess.DEVNULL,
                                    capture_output=True, timeout=60)
        except (OSError, subprocess.SubprocessError) as error:
            warn(self.script_name, "image %s left out: imgsize failed: %s" % (source, error))
            return None
        lines = result.stdout.decode("ascii", "replace").split()
        reason = result.stderr.decode("utf-8", "replace").strip()
        try:
            width, height = int(lines[0]), int(lines[1])
        except (IndexError, ValueError):
            width = height = -1
        if width <= 0 or height <= 0:
            warn(self.script_name, "image %s left out: %s"
                 % (source, reason or "its size cannot be read"))
            return None
        return (width, height, media_type)


# ---------------------------------------------------------------------------------------
# Output and the script's frame.

def write_output(path, data):
    """Writes the whole output file, or nothing: a temporary file beside it is renamed
    over it once complete."""
    write_output_with(path, lambda out: out.write(data))


def write_output_with(path, writer):
    """Calls writer(binary file) on a temporary file beside `path` and renames it over
    `path` once writer has returned; on any failure nothing is left behind."""
    if os.path.isdir(path):
        raise ExportError("cannot write %s: it is a folder" % path)
    directory = os.path.dirname(os.path.abspath(path))
    try:
        handle, temporary = tempfile.mkstemp(prefix=".export-", dir=directory)
    except OSError as error:
        raise ExportError("cannot write %s: %s" % (path, error.strerror)) from None
    try:
        with os.fdopen(handle, "w+b") as out:
            writer(out)
            out.flush()
            os.fsync(out.fileno())
        os.chmod(temporary, 0o666 & ~_umask())
        os.replace(temporary, path)
    except BaseException as error:
        try:
            os.unlink(temporary)
        except OSError:
            pass
        if isinstance(error, OSError):
            raise ExportError("cannot write %s: %s" % (path, error.strerror)) from None
        raise


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
