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


def inline_text(children):
    """The text of a line: strings and inline elements, ruby as 漢字(かんじ)."""
    parts = []
    pending = list(reversed(children))
    while pending:
        child = pending.pop()
        if type(child) is _Reading:
            parts.append(child)
        elif isinstance(child, str):
            parts.append(child.replace("\n", ""))
        elif child.kind == exportxml.KIND_RUBY:
            params = child.params()
            pending.append(_Reading("(%s)" % (params[0] if params else "")))
            pending.extend(reversed(child.children))
        else:
            pending.extend(reversed(child.children))
    return "".join(parts)


_BLANK = object()
K = exportxml


class Text:
    def __init__(self):
        self.lines = []

    def blank(self):
        if self.lines and self.lines[-1] != "":
            self.lines.append("")

    def blocks(self, element, depth):
        """Writes the blocks below `element`; a work list stands in for recursion."""
        pending = list(reversed(self.children(element.children, depth)))
        while pending:
            item = pending.pop()
            if item is _BLANK:
                self.blank()
            elif isinstance(item, str):
                self.lines.append(item)
            else:
                pending.extend(reversed(self.block(*item)))

    @staticmethod
    def children(children, depth):
        """The blocks among children, and any text standing between them as a line."""
        out = []
        for child in children:
            if isinstance(child, str):
                if child.strip(exportxml.SPACE):
                    out.append(INDENT * depth + child.replace("\n", ""))
            else:
                out.append((child, depth))
        return out

    def block(self, element, depth):
        """Writes what of `element` comes first; returns what follows, in order."""
        kind = element.kind
        follow = []
        if kind == K.KIND_CONTAINER:
            follow = self.container(element, depth)
        elif kind == K.KIND_SECTION:
            self.blank()
            follow = self.children(element.children, depth)
            follow.append(_BLANK)
        elif kind == K.KIND_HEADING:
            self.blank()
            self.lines.append(inline_text(element.children))
            self.blank()
        elif kind == K.KIND_PARAGRAPH:
            self.lines.append(inline_text(element.children))
        elif kind == K.KIND_PRE:
            self.lines.append(element.text())
        elif kind == K.KIND_ITEM:  # an item outside a container: not written by the converter
            text, blocks = K.item_parts(element)
            self.lines.append(INDENT * depth + inline_text(text))
            follow = self.children(blocks, depth + 1)
        elif kind not in (K.KIND_ONELINE, K.KIND_COMMAND):  # one-line commands carry no text
            self.lines.append(inline_text(element.children))
        return follow

    def container(self, element, depth):
        follow = []
        for child in element.children:
            if isinstance(child, K.Element) and child.kind == K.KIND_ITEM:
                text, blocks = K.item_parts(child)
                follow.append(INDENT * depth + PREFIX[child.name] + inline_text(text))
                follow.extend(self.children(blocks, depth + 1))
            else:
                follow.extend(self.children([child], depth))
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
