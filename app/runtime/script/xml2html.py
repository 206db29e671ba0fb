#!/usr/bin/env python3
"""Turns quirtle's export XML (standard input) into a standalone HTML page (-o PATH).

Sections become <section> with <h1>..<h6> headings, lists <ul>/<li>, definition lists
<dl>/<dt>/<dd>, quotations <blockquote>, divisions a <div> carrying the division's name
as class, ruby <ruby>/<rt>, emphasis <em>. Inline commands become <span> and one-line
commands <div> elements whose classes are "inline_command" or "oneline_command", the
command's name and its own class; parameters are kept as data-param0, data-param1, ...
":image path text" places a picture (path relative to the page's folder) with the size
imgsize reports.
Options: --title TEXT (default: ":title", else the first heading, else the file name).
"""

import sys

# The scripts may live in a folder the user cannot write to; no .pyc files beside them.
sys.dont_write_bytecode = True

import exportxml  # noqa: E402
import xhtmlwriter  # noqa: E402

STYLE = """\
body { font-family: sans-serif; line-height: 1.8; max-width: 46em; margin: 2em auto; padding: 0 1em; }
blockquote { border-left: 4px solid #ccc; margin-left: 0; padding-left: 1em; color: #444; }
dt { font-weight: bold; }
em { font-style: normal; text-emphasis: filled sesame; -webkit-text-emphasis: filled sesame; }
pre.incomplete { background: #fee; border: 1px solid #c99; padding: 0.3em; white-space: pre-wrap; }
.oneline_command { margin: 0.5em 0; }
figure img { max-width: 100%; height: auto; }
"""


def render(document, title, images=None):
    writer = xhtmlwriter.Writer(images=images)
    writer.reserve_ids(document)
    body = writer.render(document.elements())
    return ("<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n"
            "<title>%s</title>\n<style>\n%s</style>\n</head>\n<body>\n%s</body>\n</html>\n"
            % (xhtmlwriter.escape(title), STYLE, body))


def main():
    parser = exportxml.argument_parser("Export XML to a standalone HTML page.")
    parser.add_argument("--title", help="page title (default: the first heading)")
    options = parser.parse_args()
    document = exportxml.parse(exportxml.read_input())
    title = options.title or exportxml.metadata(document, options.output).title
    images = exportxml.ImageFinder("xml2html", options.output)
    exportxml.write_output(options.output, render(document, title, images).encode("utf-8"))


if __name__ == "__main__":
    exportxml.run("xml2html", main)
