#!/usr/bin/env python3
"""Turns quirtle's export XML (standard input) into plain text (-o PATH).

Headings and paragraphs become lines of their own (a blank line around each heading),
list items "・" lines, definition terms lines with their description indented below,
quotation items "> " lines, division items plain lines; nested containers are indented
one ideographic space per level. Ruby is written as 漢字(かんじ); emphasis and inline
commands keep their text; one-line commands leave nothing.
Options: --encoding NAME (default utf-8), --newline lf|crlf (default lf).
"""

import sys

# The scripts may live in a folder the user cannot write to; no .pyc files beside them.
sys.dont_write_bytecode = True

import exportxml  # noqa: E402

INDENT = "\u3000"
PREFIX = {"litem": "・", "dterm": "", "ddesc": INDENT, "blockquote_inner": "> ", "div_inner": ""}


class _Reading(str):
    """The reading of a ruby, written after its base."""


def inline_text(element):
    parts = []
    pending = list(reversed(element.children))
    while pending:
        child = pending.pop()
        if type(child) is _Reading:
            parts.append(child)
        elif isinstance(child, str):
            parts.append(child.replace("\n", ""))
        elif exportxml.is_block(child):
            continue  # written as lines of their own
        elif child.name == "ruby" and not child.inline_command:
            params = child.params()
            pending.append(_Reading("(%s)" % (params[0] if params else "")))
            pending.extend(reversed(child.children))
        else:
            pending.extend(reversed(child.children))
    return "".join(parts)


_BLANK = object()


class Text:
    def __init__(self):
        self.lines = []

    def blank(self):
        if self.lines and self.lines[-1] != "":
            self.lines.append("")

    def blocks(self, element, depth):
        """Writes the blocks below `element`; a work list stands in for recursion."""
        pending = [(child, depth) for child in reversed(element.elements())
                   if exportxml.is_block(child)]
        while pending:
            item = pending.pop()
            if item is _BLANK:
                self.blank()
            elif isinstance(item, str):
                self.lines.append(item)
            else:
                pending.extend(reversed(self.block(*item)))

    def block(self, element, depth):
        """Writes what of `element` comes first; returns what follows, in order."""
        name = element.name
        follow = []
        if element.division or exportxml.is_container(element):
            follow = self.container(element, depth)
        elif name == "section":
            self.blank()
            follow = [(child, depth) for child in element.elements()
                      if exportxml.is_block(child)]
            follow.append(_BLANK)
        elif name == "heading":
            self.blank()
            self.lines.append(inline_text(element))
            self.blank()
        elif name == "paragraph":
            self.lines.append(inline_text(element))
        elif name == "pre":
            self.lines.append(element.text())
        # One-line commands carry no text.
        return follow

    @staticmethod
    def container(element, depth):
        follow = []
        for child in element.elements():
            if child.name in PREFIX:
                follow.append(INDENT * depth + PREFIX[child.name] + inline_text(child))
                follow.extend((grandchild, depth + 1) for grandchild in child.elements()
                              if exportxml.is_block(grandchild))
            elif exportxml.is_block(child):
                follow.append((child, depth))
        return follow


def render(document, newline):
    text = Text()
    text.blocks(document, 0)
    lines = text.lines
    while lines and lines[0] == "":
        lines.pop(0)
    while lines and lines[-1] == "":
        lines.pop()
    return "".join(line + newline for line in lines)


def main():
    parser = exportxml.argument_parser("Export XML to plain text.")
    parser.add_argument("--encoding", default="utf-8",
                        help="encoding of the text file (default utf-8)")
    parser.add_argument("--newline", choices=("lf", "crlf"), default="lf",
                        help="line ends of the text file (default lf)")
    options = parser.parse_args()
    try:
        "".encode(options.encoding)
    except LookupError:
        raise exportxml.ExportError("unknown encoding %s" % options.encoding) from None
    document = exportxml.parse(exportxml.read_input())
    text = render(document, "\r\n" if options.newline == "crlf" else "\n")
    try:
        data = text.encode(options.encoding)
    except UnicodeEncodeError as error:
        raise exportxml.ExportError("the character %r cannot be written in %s"
                                    % (error.object[error.start], options.encoding)) from None
    exportxml.write_output(options.output, data)


if __name__ == "__main__":
    exportxml.run("xml2text", main)
