"""The text a reader copies or searches in the printed book: the printed pages draw ruby
readings and emphasis marks as text of their own, in front of their base text, so that
a phrase with a ruby in it could not be found. Each such run of glyphs is marked as
content whose actual text is empty: the page looks the same, and a text extractor reads
the base text alone, in order.

Ruby readings are told apart by their font (the print style sets them in a copy of the
body font under a name of its own, RUBY_FONT_NAME); emphasis marks by their glyphs: a
run that shows nothing but the marks' characters (from the font's ToUnicode map).
"""

import json
import os
import re

import pdfassemble

RUBY_FONT_NAME = "IPAMincho-Ruby"
# The characters the book style sheets draw as emphasis marks.
EMPHASIS_MARKS = "﹅﹆•◦●○"

_RUBY_FONT = re.compile(r"^/[A-Z]{6}\+" + re.escape(RUBY_FONT_NAME) + "$")
_TEXT_OBJECT = re.compile(rb"(?<![^\s])BT\s.*?\sET(?![^\s])", re.S)
_FONT_SELECTION = re.compile(rb"/([^\s/\[\]()<>{}%]+)\s+[-+.\d]+\s+Tf")
_GLYPHS = re.compile(rb"<([0-9A-Fa-f\s]*)>")
_SPAN = re.compile(rb"/Span\s*<<.*?>>\s*BDC\s|(?<![^\s])EMC\s", re.S)
_EMPTY_TEXT = b"/Span <</ActualText <FEFF>>> BDC\n"


def _value(objects, reference):
    return pdfassemble._value(objects, reference)  # noqa: SLF001 - the same qpdf JSON


def _resource_fonts(objects, resources):
    fonts = _value(objects, (_value(objects, resources) or {}).get("/Font")) or {}
    return {name[1:]: ref for name, ref in fonts.items() if isinstance(ref, str)}


def _font_kinds(objects):
    """{font reference: "ruby"} for ruby fonts and {font reference: ToUnicode reference}
    for the other embedded composite fonts."""
    kinds = {}
    for key, entry in objects.items():
        value = entry.get("value") if isinstance(entry, dict) else None
        if not isinstance(value, dict) or value.get("/Type") != "/Font":
            continue
        reference = key[len("obj:"):]
        if _RUBY_FONT.match(value.get("/BaseFont", "")):
            kinds[reference] = "ruby"
        elif isinstance(value.get("/ToUnicode"), str):
            kinds[reference] = value["/ToUnicode"]
    return kinds


def _text_streams(objects, document):
    """[(stream reference, {resource name: font reference})] of every form and page
    content stream that selects an embedded font."""
    found = []
    for key, entry in objects.items():
        stream = entry.get("stream") if isinstance(entry, dict) else None
        if stream and stream.get("dict", {}).get("/Subtype") == "/Form":
            fonts = _resource_fonts(objects, stream["dict"].get("/Resources"))
            if fonts:
                found.append((key[len("obj:"):], fonts))
    for page in document.get("pages", []):
        value = _value(objects, page["object"]) or {}
        fonts = _resource_fonts(objects, value.get("/Resources"))
        contents = value.get("/Contents")
        contents = contents if isinstance(contents, list) else [contents]
        if fonts:
            found.extend((ref, fonts) for ref in contents if isinstance(ref, str))
    return found


def _stream_data(path, references):
    """{reference: decoded bytes} of the streams `references` of the PDF at `path`; qpdf
    writes them into files beside it, which are read and removed."""
    if not references:
        return {}
    prefix = path + ".stream"
    command = [pdfassemble.qpdf(), "--json=2", "--json-key=qpdf", "--json-stream-data=file",
               "--json-stream-prefix=" + prefix, "--decode-level=generalized"]
    command += ["--json-object=%s" % ref.split()[0] for ref in sorted(set(references))]
    data = json.loads(pdfassemble._run(command + [path], "reading the printed text"))  # noqa: SLF001
    out = {}
    for key, entry in data["qpdf"][1].items():
        stream = entry.get("stream") if isinstance(entry, dict) else None
        if stream and "datafile" in stream:
            with open(stream["datafile"], "rb") as file:
                out[key[len("obj:"):]] = file.read()
            os.remove(stream["datafile"])
    return out


def mark_glyphs(cmap):
    """The glyph codes (bytes of two) that a ToUnicode CMap maps to emphasis marks."""
    codes = set()
    marks = {ord(c) for c in EMPHASIS_MARKS}
    text = cmap.decode("latin-1")
    for block in re.findall(r"beginbfchar(.*?)endbfchar", text, re.S):
        for code, unicode in re.findall(r"<([0-9A-Fa-f]+)>\s*<([0-9A-Fa-f]+)>", block):
            if len(unicode) == 4 and int(unicode, 16) in marks:
                codes.add(bytes.fromhex(code))
    for block in re.findall(r"beginbfrange(.*?)endbfrange", text, re.S):
        for low, high, start in re.findall(
                r"<([0-9A-Fa-f]+)>\s*<([0-9A-Fa-f]+)>\s*<([0-9A-Fa-f]{4})>", block):
            first, width = int(low, 16), len(low) // 2
            for offset in range(int(high, 16) - first + 1):
                if int(start, 16) + offset in marks:
                    codes.add((first + offset).to_bytes(width, "big"))
    return codes


def quiet_annotations(content, ruby_names, marks_of):
    """`content` (a content stream) with every text object that selects only the
    resource fonts `ruby_names`, or that shows only the glyphs marks_of[font name] of its
    font, wrapped in an empty actual text. Marked spans inside such an object go: they
    only name the same glyphs' text again."""
    # Most text objects are body text: those that name no ruby font and no mark glyph
    # are passed over before they are looked at closely.
    hints = [b"/%s " % name.encode("latin-1") for name in ruby_names]
    hints += sorted({text.encode() for codes in marks_of.values() for code in codes
                     for text in (code.hex().upper(), code.hex())})

    def quiet(match):
        block = match.group(0)
        if not any(hint in block for hint in hints):
            return block
        fonts = {name.decode("latin-1") for name in _FONT_SELECTION.findall(block)}
        if not fonts:
            return block
        if not fonts <= ruby_names:
            marks = marks_of.get(next(iter(fonts))) if len(fonts) == 1 else None
            codes = [bytes.fromhex(g.decode("latin-1")) for g in _GLYPHS.findall(block)]
            glyphs = [c[i:i + 2] for c in codes for i in range(0, len(c), 2)]
            if not marks or not glyphs or not all(g in marks for g in glyphs):
                return block
        return _EMPTY_TEXT + _SPAN.sub(b"", block) + b"\nEMC"
    return _TEXT_OBJECT.sub(quiet, content)


def annotation_changes(path, document, objects):
    """qpdf JSON changes that rewrite the text streams of the PDF at `path` (whose
    qpdf JSON is `document`, its objects `objects`) with quiet_annotations."""
    kinds = _font_kinds(objects)
    streams = [(ref, fonts) for ref, fonts in _text_streams(objects, document)
               if any(font in kinds for font in fonts.values())]
    cmaps = {kind for kind in kinds.values() if kind != "ruby"}
    data = _stream_data(path, [ref for ref, _ in streams] + sorted(cmaps))
    glyphs = {ref: mark_glyphs(data[ref]) for ref in cmaps if ref in data}
    changes = {}
    for ref, fonts in streams:
        if ref not in data:
            continue
        ruby = {name for name, font in fonts.items() if kinds.get(font) == "ruby"}
        marks = {name: glyphs.get(kinds.get(font), set()) for name, font in fonts.items()}
        marks = {name: codes for name, codes in marks.items() if codes}
        if not ruby and not marks:
            continue
        rewritten = quiet_annotations(data[ref], ruby, marks)
        if rewritten == data[ref]:
            continue
        entry = objects["obj:" + ref]["stream"]["dict"]
        dictionary = {k: v for k, v in entry.items()
                      if k not in ("/Filter", "/DecodeParms", "/Length")}
        datafile = "%s.text-%s" % (path, ref.split()[0])
        with open(datafile, "wb") as out:
            out.write(rewritten)
        changes["obj:" + ref] = {"stream": {"dict": dictionary, "datafile": datafile}}
    return changes
