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


def inline_text(element):
    parts = []
    for child in element.children:
        if isinstance(child, str):
            parts.append(child.replace("\n", ""))
        elif exportxml.is_block(child):
            continue  # written as lines of their own
        elif child.name == "ruby" and not child.inline_command:
            params = child.params()
            parts.append("%s(%s)" % (inline_text(child), params[0] if params else ""))
        else:
            parts.append(inline_text(child))
    return "".join(parts)


class Text:
    def __init__(self):
        self.lines = []

    def blank(self):
        if self.lines and self.lines[-1] != "":
            self.lines.append("")

    def blocks(self, element, depth):
        for child in element.elements():
            if exportxml.is_block(child):
                self.block(child, depth)

    def block(self, element, depth):
        name = element.name
        if name == "section":
            self.blank()
            self.blocks(element, depth)
            self.blank()
        elif name == "heading":
            self.blank()
            self.lines.append(inline_text(element))
            self.blank()
        elif name == "paragraph":
            self.lines.append(inline_text(element))
        elif name == "pre":
            self.lines.append(element.text())
        elif exportxml.is_container(element):
            for child in element.elements():
                if child.name in PREFIX:
                    self.lines.append(INDENT * depth + PREFIX[child.name] + inline_text(child))
                    self.blocks(child, depth + 1)
                elif exportxml.is_block(child):
                    self.block(child, depth)
        # One-line commands carry no text.


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
    document = exportxml.parse(sys.stdin.buffer.read())
    text = render(document, "\r\n" if options.newline == "crlf" else "\n")
    try:
        data = text.encode(options.encoding)
    except UnicodeEncodeError as error:
        raise exportxml.ExportError("the character %r cannot be written in %s"
                                    % (error.object[error.start], options.encoding)) from None
    exportxml.write_output(options.output, data)


if __name__ == "__main__":
    exportxml.run("xml2text", main)
