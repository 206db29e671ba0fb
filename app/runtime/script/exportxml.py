"""Reading the export XML that quirtle writes to a script's standard input.

The document is Shift_JIS (Windows code page 932) with an XML declaration saying so.
Element names are the author's own for divisions and commands, and may hold ":" or
Japanese characters, so the document is read without namespace processing.
"""

import argparse
import os
import re
import sys
import tempfile
import xml.parsers.expat


class ExportError(Exception):
    """A failure to report on standard error before exiting with a non-zero code."""


class Element:
    """One element: its name, attributes in document order, and children (str or Element)."""

    __slots__ = ("name", "attrs", "children", "parent", "newline_after", "inline_command")

    def __init__(self, name, attrs, parent=None):
        self.name = name
        self.attrs = attrs
        self.children = []
        self.parent = parent
        # Whether a line break follows the end tag (set while parsing).
        self.newline_after = False
        # Whether this is an inline command of the text (set by mark_inline_commands).
        self.inline_command = False

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
        for child in self.children:
            parts.append(child.text() if isinstance(child, Element) else child)
        return "".join(parts).replace("\n", "")


_DECLARATION = re.compile(r"^\s*<\?xml[^>]*\?>")
# Characters XML 1.0 does not allow; the manuscript may still contain them.
_NOT_XML = re.compile("[\x00-\x08\x0b\x0c\x0e-\x1f\ufffe\uffff]")


def parse(data):
    """Parses the export document (bytes) and returns its root element."""
    try:
        text = data.decode("cp932")
    except UnicodeDecodeError as error:
        raise ExportError("input is not Shift_JIS text (byte %d)" % error.start) from None
    text = _DECLARATION.sub("", text, count=1)
    text = _NOT_XML.sub("\ufffd", text)

    parser = xml.parsers.expat.ParserCreate("UTF-8")
    parser.ordered_attributes = False
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
    mark_inline_commands(root[0], "block")
    return root[0]


# Items of the converter's containers (lists, definition lists, quotations, divisions).
ITEM_NAMES = ("litem", "dterm", "ddesc", "blockquote_inner", "div_inner")


def is_container(element):
    """A list, definition list, quotation or division: an element holding items."""
    return any(child.name in ITEM_NAMES for child in element.elements())


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


def mark_inline_commands(element, context):
    """Marks the inline commands below `element`, whose child elements stand in `context`:
    "block", "text" (a line's text) or "item" (an item's text, then blocks).

    Inline command names are the author's own and may equal the converter's element names
    ("heading", "em", "ruby", ...). The converter writes a line break after every inline
    command's end tag and never after its own ruby and emphasis, which tells them apart."""
    in_text = context in ("text", "item")
    for child in element.elements():
        if context == "item" and in_text and _is_block_in_item(child):
            in_text = False  # the item's text has ended
        if in_text:
            child.inline_command = child.newline_after or child.name not in ("ruby", "em")
            mark_inline_commands(child, "text")
        elif child.name in TEXT_NAMES:
            mark_inline_commands(child, "text")
        elif child.name in ITEM_NAMES:
            mark_inline_commands(child, "item")
        else:
            mark_inline_commands(child, "block")


def is_block(element):
    """Whether the element stands as a block of its own rather than inside a line's text."""
    if element.inline_command:
        return False
    if element.name in ("section", "heading", "paragraph"):
        return True
    if element.name == "pre" and element.attrs.get("class") == "incomplete":
        return True
    return is_container(element) or oneline_command(element) is not None


def section_depth(element):
    """How many section elements hold this element (itself included)."""
    depth = 0
    while element is not None:
        if element.name == "section":
            depth += 1
        element = element.parent
    return depth


def write_output(path, data):
    """Writes the whole output file, or nothing: a temporary file beside it is renamed
    over it once complete."""
    directory = os.path.dirname(os.path.abspath(path))
    try:
        handle, temporary = tempfile.mkstemp(prefix=".export-", dir=directory)
    except OSError as error:
        raise ExportError("cannot write %s: %s" % (path, error.strerror)) from None
    try:
        with os.fdopen(handle, "wb") as out:
            out.write(data)
        os.chmod(temporary, 0o666 & ~_umask())
        os.replace(temporary, path)
    except OSError as error:
        try:
            os.unlink(temporary)
        except OSError:
            pass
        raise ExportError("cannot write %s: %s" % (path, error.strerror)) from None


def _umask():
    mask = os.umask(0)
    os.umask(mask)
    return mask


def argument_parser(description):
    parser = argparse.ArgumentParser(description=description)
    parser.add_argument("-o", dest="output", required=True, metavar="PATH",
                        help="the file to write")
    return parser


def run(name, main):
    """Runs main(), reporting an ExportError on standard error with a non-zero exit."""
    try:
        sys.stderr.reconfigure(encoding="utf-8", errors="backslashreplace")
    except AttributeError:
        pass
    try:
        main()
    except ExportError as error:
        print("%s: %s" % (name, error), file=sys.stderr)
        sys.exit(1)
    except KeyboardInterrupt:
        sys.exit(130)
