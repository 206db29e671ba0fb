#!/usr/bin/env python3
"""Turns quirtle's export XML (standard input) into a standalone HTML page (-o PATH).

Sections become <section> with <h1>..<h6> headings, lists <ul>/<li>, definition lists
<dl>/<dt>/<dd>, quotations <blockquote>, divisions a <div> carrying the division's name
as class, ruby <ruby>/<rt>, emphasis <em>. Inline commands become <span> and one-line
commands <div> elements whose classes are "inline_command" or "oneline_command", the
command's name and its own class; parameters are kept as data-param0, data-param1, ...
Options: --title TEXT (default: the first heading).
"""

import html
import os
import sys

# The scripts may live in a folder the user cannot write to; no .pyc files beside them.
sys.dont_write_bytecode = True

import exportxml  # noqa: E402

STYLE = """\
body { font-family: sans-serif; line-height: 1.8; max-width: 46em; margin: 2em auto; padding: 0 1em; }
blockquote { border-left: 4px solid #ccc; margin-left: 0; padding-left: 1em; color: #444; }
dt { font-weight: bold; }
pre.incomplete { background: #fee; border: 1px solid #c99; padding: 0.3em; white-space: pre-wrap; }
.oneline_command { margin: 0.5em 0; }
"""

# The converter's fixed elements: output tag, added class, whether it holds only blocks.
FIXED = {
    "paragraph": ("p", None, False), "list": ("ul", None, True), "dlist": ("dl", None, True),
    "blockquote": ("blockquote", None, True), "litem": ("li", None, False),
    "dterm": ("dt", None, False), "ddesc": ("dd", None, False),
    "blockquote_inner": ("div", "blockquote_inner", False),
    "div_inner": ("div", "div_inner", False), "em": ("em", None, False),
}


def escape(text):
    return html.escape(text, quote=True)


def attributes(element, classes):
    """The class, id and data-param attributes of an output start tag."""
    names = classes + element.attrs.get("class", "").split()
    out = ""
    if names:
        out += ' class="%s"' % escape(" ".join(dict.fromkeys(names)))
    if element.attrs.get("id"):
        out += ' id="%s"' % escape(element.attrs["id"])
    for index, value in enumerate(element.params()):
        out += ' data-param%d="%s"' % (index, escape(value))
    return out


class Page:
    def __init__(self):
        self.out = []

    def children(self, element):
        for child in element.children:
            if isinstance(child, str):
                # Line breaks in the export only follow tags; they are no text.
                self.out.append(escape(child.replace("\n", "")))
            else:
                self.element(child)

    def block_children(self, element):
        for child in element.elements():
            self.element(child)

    def tag(self, tag, element, classes, block, inline=False):
        self.out.append("<%s%s>" % (tag, attributes(element, classes)))
        if block:
            self.block_children(element)
        else:
            self.children(element)
        self.out.append("</%s>" % tag if inline else "</%s>\n" % tag)

    def element(self, element):
        name = element.name
        command = exportxml.oneline_command(element)
        if element.inline_command:
            self.tag("span", element, ["inline_command", name], False, inline=True)
        elif name == "section":
            depth = exportxml.section_depth(element)
            self.tag("section", element, ["section_%d" % depth], True)
        elif name == "heading":
            level = min(max(exportxml.section_depth(element), 1), 6)
            self.tag("h%d" % level, element, [], False)
        elif name == "pre" and exportxml.is_block(element):
            self.out.append("<pre%s>%s</pre>\n" % (attributes(element, []),
                                                   escape(element.text())))
        elif name == "ruby":
            params = element.params()
            self.out.append("<ruby>")
            self.children(element)
            self.out.append("<rp>(</rp><rt>%s</rt><rp>)</rp></ruby>"
                            % escape(params[0] if params else ""))
        elif name in FIXED:
            tag, added, block = FIXED[name]
            self.tag(tag, element, [added] if added else [], block, inline=name == "em")
        elif command is not None:
            self.tag("div", command, ["oneline_command", command.name], True)
        elif exportxml.is_container(element):
            self.tag("div", element, [] if name == "div" else [name], True)
        else:
            self.tag("span", element, ["inline_command", name], False, inline=True)


def first_heading(document):
    pending = [document]
    while pending:
        element = pending.pop(0)
        if (element.name == "heading" and not element.inline_command
                and element.text().strip()):
            return element.text().strip()
        pending[0:0] = element.elements()
    return None


def render(document, title):
    page = Page()
    page.block_children(document)
    return ("<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n"
            "<title>%s</title>\n<style>\n%s</style>\n</head>\n<body>\n%s</body>\n</html>\n"
            % (escape(title), STYLE, "".join(page.out)))


def main():
    parser = exportxml.argument_parser("Export XML to a standalone HTML page.")
    parser.add_argument("--title", help="page title (default: the first heading)")
    options = parser.parse_args()
    document = exportxml.parse(sys.stdin.buffer.read())
    title = (options.title or first_heading(document)
             or os.path.splitext(os.path.basename(options.output))[0])
    exportxml.write_output(options.output, render(document, title).encode("utf-8"))


if __name__ == "__main__":
    exportxml.run("xml2html", main)
