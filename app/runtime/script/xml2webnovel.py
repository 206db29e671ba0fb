#!/usr/bin/env python3
"""Turns quirtle's export XML (standard input) into text for posting to a web-novel site
(-o PATH): --site kakuyomu (カクヨム) or narou (小説家になろう). UTF-8, LF line ends.

Ruby is always written with its bar, ｜base《reading》, so that the site never takes
another base than the manuscript's. Emphasis is written as the site writes it: カクヨム
《《text》》, なろう one ruby of "・" a character (｜傍《・》｜点《・》). A ruby longer than the
site takes (カクヨム: base over 20 or reading over 50 characters; なろう: either over 10) is
written base（reading）, and standard error says so. A 《 of the text is written ｜《, the
sites' way of showing the bracket itself; on なろう, a （ or ( after a kanji with kana
only up to its closing bracket (which the site would take for a reading) gets the bar
too.

One episode per chapter (a section with a heading that no section with a heading holds;
what comes before the first chapter is an episode without a title). PATH gets the whole
text: each episode's title on a line of its own, a blank line, its text, and two blank
lines before the next. Beside PATH, the folder named as PATH without its extension (or
PATH + "_episodes" when it has none) gets one file per episode holding its text only,
ready to paste into the site's text field: "001_title.txt", "002_title.txt", ...
(numbered in order, three digits or more; the title with "/", "\\", control characters
and the characters Windows refuses in names replaced by "_", cut to 60 characters; an
episode without a title is "001.txt"). Files of that naming left from an earlier export
into the same folder are removed first; other files there are left alone.
Other blocks: headings inside a chapter and paragraphs one line each (a blank line
around a heading), list items "・" lines, one-line commands nothing.
"""

import os
import re
import sys

# The scripts may live in a folder the user cannot write to; no .pyc files beside them.
sys.dont_write_bytecode = True

import exportxml  # noqa: E402
import notation  # noqa: E402

NAME = "xml2webnovel"


def is_kanji(char):
    code = ord(char)
    return (0x4E00 <= code <= 0x9FFF or 0x3400 <= code <= 0x4DBF or 0x20000 <= code <= 0x3FFFF
            or 0xF900 <= code <= 0xFAFF or char in "々〆〇ヶ")


_KANA_READING = re.compile(r"[\u3041-\u309f\u30a0-\u30ff]{1,10}[）)]")


class Site:
    """The notation of one site. Every writer collects what it could not write as asked
    in `notes`: {kind: [examples]}."""

    name = ""
    max_base = max_reading = 0

    def __init__(self):
        self.notes = {}

    def note(self, kind, example):
        self.notes.setdefault(kind, []).append(example)

    def escape(self, text, before):
        """Text as the site shows it; `before`: the text written before it on the line."""
        return text.replace("《", "｜《")

    def emphasis(self, text, before):
        raise NotImplementedError

    def line(self, children):
        """The site's notation of a line's content."""
        out = ""
        for run in notation.runs(children):
            if run.kind == notation.RUBY:
                out += self.ruby(run, out)
            elif run.em and run.kind == notation.TEXT:
                out += self.emphasis(run.text, out)
            else:
                out += self.escape(run.text, out)
        return out

    def ruby(self, run, before):
        base, reading = run.text, run.reading
        if run.em:
            self.note("emphasis", base)
        if not reading:
            return self.escape(base, before)
        if not base or len(base) > self.max_base or len(reading) > self.max_reading \
                or any(c in base for c in "《》｜|\n") or any(c in reading for c in "《》"):
            self.note("long", "%s（%s）" % (base, reading))
            return self.escape("%s（%s）" % (base, reading), before)
        return "｜%s《%s》" % (base, reading)


class Kakuyomu(Site):
    name = "カクヨム"
    max_base, max_reading = 20, 50

    def emphasis(self, text, before):
        body = self.escape(text, before)
        if text.endswith("》") or "》》" in text or not text.strip():
            if text.strip():
                self.note("emphasis", text)
            return body
        return "《《%s》》" % body


class Narou(Site):
    name = "小説家になろう"
    max_base, max_reading = 10, 10

    def escape(self, text, before):
        out = []
        for index, char in enumerate(text):
            if char == "《":
                out.append("｜《")
                continue
            if char in "（(":
                previous = text[index - 1] if index else (before[-1:] or " ")
                if is_kanji(previous) and _KANA_READING.match(text, index + 1):
                    out.append("｜")
            out.append(char)
        return "".join(out)

    def emphasis(self, text, before):
        out = []
        for char in text:
            if char.isspace() or char in "《》｜|（）()":
                if not char.isspace():
                    self.note("emphasis", char)
                out.append(self.escape(char, before + "".join(out)))
            else:
                out.append("｜%s《・》" % char)
        return "".join(out)


SITES = {"kakuyomu": Kakuyomu, "narou": Narou}


def episode_lines(site, blocks):
    """The lines of an episode's text."""
    lines = []
    for block in blocks:
        if block.kind == "heading":
            text = site.line(block.children)
            if text.strip():
                if lines and lines[-1]:
                    lines.append("")
                lines += [text, ""]
        elif block.kind in ("paragraph", "item"):
            lines.append(block.prefix + site.line(block.children))
        elif block.kind == "pre":
            lines.append(site.escape(block.text, ""))
    while lines and not lines[-1]:
        lines.pop()
    while lines and not lines[0]:
        lines.pop(0)
    return lines


# Characters no file name may hold here or on the systems a folder is copied to.
_UNSAFE = re.compile(r'[\x00-\x1f\x7f/\\:*?"<>|]')


def episode_name(number, count, title):
    """The file name of episode `number` (from 1) of `count`."""
    digits = max(3, len(str(count)))
    name = "%0*d" % (digits, number)
    if title:
        safe = _UNSAFE.sub("_", " ".join(title.split())).strip(" .")
        if len(safe) > 60:
            safe = safe[:60]
        if safe:
            name += "_" + safe
    return name + ".txt"


_OLD_EPISODE = re.compile(r"^\d{3,}(_.*)?\.txt$")


def episode_folder(output):
    stem, extension = os.path.splitext(output)
    return stem if extension and os.path.basename(stem) else output + "_episodes"


def write_episodes(folder, files):
    """Writes {name: bytes} into `folder` (made when missing, beside the whole text),
    after removing the files an earlier export left there."""
    if os.path.lexists(folder) and not os.path.isdir(folder):
        raise exportxml.ExportError("cannot write the episodes into %s: it is not a folder"
                                    % folder)
    try:
        if not os.path.isdir(folder):
            os.mkdir(folder)
        for name in os.listdir(folder):
            if _OLD_EPISODE.match(name) and name not in files \
                    and os.path.isfile(os.path.join(folder, name)):
                os.unlink(os.path.join(folder, name))
    except OSError as error:
        raise exportxml.ExportError("cannot write the episodes into %s: %s"
                                    % (folder, error.strerror)) from None
    for name, data in files.items():
        exportxml.write_output(os.path.join(folder, name), data)


def render(document, site):
    """(whole text, [(file name, episode text)])."""
    found = notation.episodes(document)
    whole = []
    files = []
    for number, (title, blocks) in enumerate(found, 1):
        lines = episode_lines(site, blocks)
        text = "".join(line + "\n" for line in lines)
        files.append((episode_name(number, len(found), title), text))
        if whole:
            whole += ["", ""]
        if title:
            whole += [title, ""]
        whole += lines
    return "".join(line + "\n" for line in whole), files


def report(site):
    """One line on standard error for each kind of thing written otherwise than asked."""
    for kind, examples in site.notes.items():
        shown = "、".join("「%s」" % e for e in examples[:3]) + (" …" if len(examples) > 3 else "")
        if kind == "long":
            text = ("%d ruby too long for %s (base over %d or reading over %d characters) "
                    "written as base（reading）" % (len(examples), site.name, site.max_base,
                                                   site.max_reading))
        else:
            text = ("%d emphasis %s cannot write (over a ruby, or with a bracket of its "
                    "notation) written as plain text" % (len(examples), site.name))
        exportxml.warn(NAME, "%s: %s" % (text, shown))


def main():
    parser = exportxml.argument_parser("Export XML to text for a web-novel site.")
    parser.add_argument("--site", choices=sorted(SITES), required=True,
                        help="kakuyomu (カクヨム) or narou (小説家になろう)")
    options = parser.parse_args()
    document = exportxml.parse(exportxml.read_input())
    site = SITES[options.site]()
    whole, files = render(document, site)
    # The whole text first: where it cannot be written, no folder is made either.
    exportxml.write_output(options.output, whole.encode("utf-8"))
    write_episodes(episode_folder(options.output),
                   {name: text.encode("utf-8") for name, text in files})
    report(site)


if __name__ == "__main__":
    exportxml.run(NAME, main)
