#!/usr/bin/env python3
"""Turns quirtle's export XML (standard input) into text in 青空文庫's notation (-o PATH):
Shift_JIS (Windows code page 932, as the manuscript), CR LF line ends.

The title (":title") and the author (":author") on the first two lines, a blank line,
then the text: a paragraph a line; headings as
"X［＃「X」は大見出し］" (depth 1; 中見出し depth 2, 小見出し deeper), with a blank line
around them; ":pagebreak" as ［＃改ページ］; emphasis as "X［＃「X」に傍点］", or
［＃傍点］X［＃傍点終わり］ where X holds more than plain text (a ruby, another note) or
brackets; ruby as ｜base《reading》, the bar left out where the base is a run of kanji that
the kanji before it do not extend (the reading's base is then the same); 縦中横 (the
inline command tcy) as "X［＃「X」は縦中横］"; the items of quotations, divisions and
nested lists indented with ［＃ここからN字下げ］ … ［＃ここで字下げ終わり］ (a division
named "indent" by its first parameter, one character by default; a quotation two);
":image path" as ［＃挿絵（path）入る］.
A character Shift_JIS cannot hold is written as a 外字注記: ※［＃「name」、第3水準1-84-77］
with its JIS X 0213 plane, row and cell (第4水準 on plane 2; no level for a character
that is no kanji) where it has one, else ※［＃「name」、U+XXXX］ (the name is the
character's Unicode name). The notation's own characters in the text are written as
notes too: 《 ※［＃始め二重山括弧、1-1-52］, 》 ※［＃終わり二重山括弧、1-1-53］, ｜
※［＃縦線、1-1-35］, ［ before ＃ ※［＃始め角括弧、1-1-46］, and ※ before a note
※［＃米印、1-2-8］.
"""

import re
import sys
import unicodedata

# The scripts may live in a folder the user cannot write to; no .pyc files beside them.
sys.dont_write_bytecode = True

import exportxml  # noqa: E402
import notation  # noqa: E402

NAME = "xml2aozora"
HEADINGS = {1: "大見出し", 2: "中見出し", 3: "小見出し"}
ESCAPES = {"《": "※［＃始め二重山括弧、1-1-52］", "》": "※［＃終わり二重山括弧、1-1-53］",
           "｜": "※［＃縦線、1-1-35］"}
OPEN_BRACKET = "※［＃始め角括弧、1-1-46］"
MARK = "※［＃米印、1-2-8］"
# Characters of JIS X 0208 that code page 932 writes as other code points.
JIS_FORMS = {"\u2014": "\u2015", "\u2016": "\u2225", "\u2212": "\uff0d", "\u00a2": "\uffe0",
             "\u00a3": "\uffe1", "\u00ac": "\uffe2"}


def is_kanji(char):
    code = ord(char)
    return (0x4E00 <= code <= 0x9FFF or 0x3400 <= code <= 0x4DBF or 0x20000 <= code <= 0x3FFFF
            or 0xF900 <= code <= 0xFAFF or char in "々〆〇")


def _fits(char):
    try:
        char.encode("cp932")
        return True
    except UnicodeEncodeError:
        return False


def gaiji(chars):
    """The 外字注記 of `chars` (one character, or one with a combining mark)."""
    name = " ".join(unicodedata.name(c, "U+%04X" % ord(c)) for c in chars)
    try:
        code = chars.encode("euc_jis_2004")
    except UnicodeEncodeError:
        code = b""
    if len(code) == 2:
        place = "1-%d-%d" % (code[0] - 0xA0, code[1] - 0xA0)
        level = "第3水準" if is_kanji(chars[0]) else ""
        return "※［＃「%s」、%s%s］" % (name, level, place)
    if len(code) == 3 and code[0] == 0x8F:
        return "※［＃「%s」、第4水準2-%d-%d］" % (name, code[1] - 0xA0, code[2] - 0xA0)
    return "※［＃「%s」、%s］" % (name, "、".join("U+%04X" % ord(c) for c in chars))


_SPECIAL = re.compile("[《》｜［\u2014\u2016\u2212\u00a2\u00a3\u00ac]")


def text(value):
    """Text with the notation's characters and what Shift_JIS cannot hold as notes."""
    if not _SPECIAL.search(value):
        try:
            value.encode("cp932")
            return value
        except UnicodeEncodeError:
            pass
    out = []
    index = 0
    while index < len(value):
        char = value[index]
        char = JIS_FORMS.get(char, char)
        if char in ESCAPES:
            out.append(ESCAPES[char])
        elif char == "［" and value[index + 1:index + 2] == "＃":
            out.append(OPEN_BRACKET)
        elif _fits(char):
            out.append(char)
        else:
            pair = value[index:index + 2]
            if len(pair) == 2 and unicodedata.combining(pair[1]):
                out.append(gaiji(pair))
                index += 1
            else:
                out.append(gaiji(char))
        index += 1
    return "".join(out)


class Line:
    """A line being written: pieces of text and of notation. A ※ of the text right
    before a note is written as a note itself, or the note would read as a 外字注記."""

    def __init__(self):
        self.pieces = []

    def add(self, value):
        self.pieces.append(text(value))

    def note(self, value):
        if self.pieces and self.pieces[-1].endswith("※"):
            self.pieces[-1] = self.pieces[-1][:-1] + MARK
        self.pieces.append(value)

    def last(self):
        """The last character written, "" at the line's start."""
        return self.pieces[-1][-1:] if self.pieces and self.pieces[-1] else (
            "".join(self.pieces)[-1:])

    def __str__(self):
        return "".join(self.pieces)


def _plain_target(value):
    """Whether a note may name `value` as its target 「value」."""
    return bool(value) and not any(c in value for c in "「」［］《》｜※") \
        and all(_fits(c) for c in value)


def write_runs(line, runs):
    """Writes the runs of a line's text onto `line`."""
    index = 0
    while index < len(runs):
        run = runs[index]
        if run.em:
            # The emphasised runs that follow one another, under one note.
            end = index
            while end < len(runs) and runs[end].em:
                end += 1
            group = runs[index:end]
            target = notation.plain(group)
            simple = all(r.kind == notation.TEXT for r in group) and _plain_target(target)
            if simple:
                line.add(target)
                line.note("［＃「%s」に傍点］" % target)
            else:
                line.note("［＃傍点］")
                for inner in group:
                    write_run(line, inner)
                line.note("［＃傍点終わり］")
            index = end
            continue
        write_run(line, run)
        index += 1


def write_run(line, run):
    if run.kind == notation.RUBY:
        base, reading = run.text, run.reading
        if not reading:
            line.add(base)
            return
        before = line.last()
        # Without the bar, the reading takes the run of kanji before it (and a 外字注記
        # or the kanji-like ヶ〻 may count as kanji): the bar only where that run is the
        # base.
        if not (base and all(is_kanji(c) and _fits(c) for c in base) and before
                and not is_kanji(before) and before not in "ヶ〻］※"):
            line.note("｜")
        line.add(base)
        line.note("《%s》" % text(reading))
    elif run.kind == notation.TCY:
        if _plain_target(run.text):
            line.add(run.text)
            line.note("［＃「%s」は縦中横］" % run.text)
        elif run.text:
            line.note("［＃縦中横］")
            line.add(run.text)
            line.note("［＃縦中横終わり］")
    else:
        line.add(run.text)


def indent_of(block):
    """Characters the block is indented by: a quotation two, a description and each list
    inside another one, a division "indent" its first parameter (1 to 40; 1 without)."""
    width = 0
    lists = 0
    for holder in block.holders:
        if holder.kind == exportxml.KIND_ITEM:
            width += 1 if holder.name == "ddesc" else 0
        elif holder.items == ("blockquote_inner",):
            width += 2
        elif holder.items == ("litem",):
            width += 1 if lists else 0
            lists += 1
        elif holder.division and holder.name == "indent":
            params = holder.params()
            value = params[0].strip() if params else ""
            width += int(value) if value.isdigit() and 0 < int(value) <= 40 else 1
    return width


def render(document, output):
    meta = exportxml.metadata(document, output)
    texts = exportxml.command_texts(document, ("title", "author"))
    lines = [text(texts.get("title") or meta.title), text(texts.get("author") or ""), ""]
    indent = 0
    for block in notation.blocks(document.children):
        wanted = indent_of(block) if block.kind in ("paragraph", "item", "pre") else 0
        if block.kind != "pagebreak" and wanted != indent:
            if indent:
                lines.append("［＃ここで字下げ終わり］")
            if wanted:
                lines.append("［＃ここから%d字下げ］" % wanted)
            indent = wanted
        if block.kind == "heading":
            runs = notation.runs(block.children)
            target = notation.plain(runs)
            if not target.strip():
                continue
            kind = HEADINGS.get(min(block.depth, 3), "小見出し")
            line = Line()
            if _plain_target(target) and not any(r.kind != notation.TEXT or r.em
                                                 for r in runs):
                line.add(target)
                line.note("［＃「%s」は%s］" % (target, kind))
            else:
                line.note("［＃%s］" % kind)
                write_runs(line, runs)
                line.note("［＃%s終わり］" % kind)
            if lines[-1]:
                lines.append("")
            lines += [str(line), ""]
        elif block.kind in ("paragraph", "item"):
            line = Line()
            line.add(block.prefix)
            write_runs(line, notation.runs(block.children))
            lines.append(str(line))
        elif block.kind == "pre":
            lines.append(text(block.text))
        elif block.kind == "pagebreak":
            lines.append("［＃改ページ］")
        elif block.kind == "image":
            source = (block.command.params() or [""])[0].strip()
            if source:
                lines.append("［＃挿絵（%s）入る］" % text(source))
    if indent:
        lines.append("［＃ここで字下げ終わり］")
    while len(lines) > 3 and not lines[-1]:
        lines.pop()
    return "".join(line + "\r\n" for line in lines)


def main():
    parser = exportxml.argument_parser("Export XML to text in 青空文庫's notation.")
    options = parser.parse_args()
    document = exportxml.parse(exportxml.read_input())
    data = render(document, options.output)
    try:
        encoded = data.encode("cp932")
    except UnicodeEncodeError as error:  # every character was checked: a fault of ours
        raise exportxml.ExportError("the character %r cannot be written in Shift_JIS"
                                    % error.object[error.start]) from None
    exportxml.write_output(options.output, encoded)


if __name__ == "__main__":
    exportxml.run(NAME, main)
