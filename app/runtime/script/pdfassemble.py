"""Putting the printed book together with qpdf: reading what the printed parts hold
(pages, their size, where each heading landed), joining the printed pages with the page
furniture sheet laid over them, then setting the page boxes (trim, bleed), the outline (しおり), the
reading direction, the language and the document information in one update.
Also makes the subset of the body font that the printed parts embed.
"""

import base64
import json
import os
import re
import struct
import shutil
import subprocess

import exportxml


def _run(command, what, timeout=600):
    try:
        result = subprocess.run(command, stdin=subprocess.DEVNULL, capture_output=True,
                                timeout=timeout)
    except subprocess.TimeoutExpired:
        raise exportxml.ExportError("%s took longer than %d s" % (what, timeout)) from None
    except OSError as error:
        raise exportxml.ExportError("cannot start %s: %s" % (command[0], error.strerror)) \
            from None
    # qpdf ends with 3 when it only warned; its output is written then.
    if result.returncode not in (0, 3):
        lines = result.stderr.decode("utf-8", "replace").strip().splitlines()
        raise exportxml.ExportError("%s failed: %s" % (what, lines[-1] if lines else
                                                       "exit status %d" % result.returncode))
    return result.stdout


def qpdf():
    found = shutil.which("qpdf")
    if not found:
        raise exportxml.ExportError("the program qpdf was not found (Debian package qpdf)")
    return found


def _json(path):
    data = _run([qpdf(), "--json=2", "--json-key=qpdf", "--json-key=pages",
                 "--json-stream-data=none", path], "reading %s" % os.path.basename(path))
    document = json.loads(data)
    objects = document["qpdf"][1]
    return document, objects


def _value(objects, reference):
    """The value of an indirect object ("12 0 R"), or the direct value itself."""
    if isinstance(reference, str) and reference.endswith(" R"):
        found = objects.get("obj:" + reference, {})
        return found.get("value", found.get("stream", {}).get("dict"))
    return reference


class PrintedPart:
    """What one printed PDF holds: its page count, its page size in points and the page
    index (from 0) of each named destination (the headings' ids). With `clip` (x0, y0, x1,
    y1, from the page's bottom left corner), what its pages show is cut to that box: the
    engine paints the ruby of a line it moved to the next page on the previous one too,
    beside the last line, where the box ends."""

    def __init__(self, path, clip=None):
        self.path = path
        document, objects = _json(path)
        pages = document["pages"]
        self.count = len(pages)
        refs = {page["object"]: index for index, page in enumerate(pages)}
        first = _value(objects, pages[0]["object"]) if pages else {}
        box = _value(objects, first.get("/MediaBox", [0, 0, 0, 0]))
        self.size = (float(box[2]) - float(box[0]), float(box[3]) - float(box[1]))
        if clip and pages:
            self.path = _clipped(path, document, objects, [
                float(box[0]) + clip[0], float(box[1]) + clip[1],
                clip[2] - clip[0], clip[3] - clip[1]])
        self.destinations = {}
        root = _value(objects, objects["trailer"]["value"]["/Root"])
        dests = _value(objects, root.get("/Dests")) or {}
        for name, target in dests.items():
            target = _value(objects, target)
            if isinstance(target, dict):
                target = _value(objects, target.get("/D"))
            if isinstance(target, list) and target and target[0] in refs:
                self.destinations[name[1:]] = refs[target[0]]


def _clipped(path, document, objects, rect):
    """A copy of the PDF at `path` whose pages draw their content inside `rect` (x, y,
    width, height) only; returns its path."""
    header = document["qpdf"][0]
    first = int(header["maxobjectid"]) + 1
    start, end = "%d 0 R" % first, "%d 0 R" % (first + 1)
    changes = {
        "obj:" + start: {"stream": {"dict": {}, "data": base64.b64encode(
            ("q %.3f %.3f %.3f %.3f re W n\n" % tuple(rect)).encode()).decode()}},
        "obj:" + end: {"stream": {"dict": {}, "data": base64.b64encode(b"\nQ\n").decode()}},
    }
    for page in document["pages"]:
        value = dict(_value(objects, page["object"]))
        contents = value.get("/Contents")
        contents = contents if isinstance(contents, list) else [contents] if contents else []
        value["/Contents"] = [start] + contents + [end]
        changes["obj:" + page["object"]] = {"value": value}
    update = path + ".clip.json"
    with open(update, "w", encoding="utf-8") as out:
        json.dump({"qpdf": [dict(header), changes]}, out)
    clipped = path + ".clipped.pdf"
    _run([qpdf(), path, "--update-from-json=" + update, "--stream-data=preserve", clipped],
         "cutting the printed pages to the text block")
    return clipped


def assemble(sheet, parts, pages, output):
    """Writes `output`: page i of the book is page pages[i].index of parts[pages[i].unit]
    with page i of `sheet` laid over it, or the sheet's page alone where the book has a
    blank page. One qpdf run that leaves the printed streams as they are (the final
    update compresses what it made)."""
    command = [qpdf(), "--empty", "--stream-data=preserve", "--pages"]
    run = None  # [unit, first index, last index] of printed pages in a row
    for number, page in enumerate(pages, 1):
        if page.unit is not None and run and run[0] == page.unit and run[2] == page.index - 1:
            run[2] = page.index
            continue
        if run:
            command += [parts[run[0]].path, "%d-%d" % (run[1] + 1, run[2] + 1)]
            run = None
        if page.unit is None:
            command += [sheet, str(number)]
        else:
            run = [page.unit, page.index, page.index]
    if run:
        command += [parts[run[0]].path, "%d-%d" % (run[1] + 1, run[2] + 1)]
    numbers = [number for number, page in enumerate(pages, 1) if page.unit is not None]
    ranges = _ranges(numbers)
    command += ["--", "--overlay", sheet, "--to=" + ranges, "--from=" + ranges, "--", output]
    _run(command, "laying the page furniture on the printed pages")


def _ranges(numbers):
    """"1-5,7-9" of ascending page numbers."""
    spans = []
    for number in numbers:
        if spans and spans[-1][1] == number - 1:
            spans[-1][1] = number
        else:
            spans.append([number, number])
    return ",".join("%d-%d" % (a, b) if a != b else "%d" % a for a, b in spans)


def set_boxes(path, output, boxes):
    """Writes `output`: the PDF at `path` with the page boxes `boxes` ({"/MediaBox": [x0,
    y0, x1, y1], ...}) on every page."""
    document, objects = _json(path)
    changes = {}
    for page in document["pages"]:
        value = dict(_value(objects, page["object"]))
        value.update(boxes)
        changes["obj:" + page["object"]] = {"value": value}
    update = output + ".json"
    with open(update, "w", encoding="utf-8") as out:
        json.dump({"qpdf": [dict(document["qpdf"][0]), changes]}, out)
    _run([qpdf(), path, "--update-from-json=" + update, "--stream-data=preserve", output],
         "setting the page boxes")


def _text(value):
    return "u:" + value


def finish(path, output, info, outline, boxes_of, vertical, tag_of, shared_fonts=(),
           more_changes=None):
    """Writes `output` from the assembled `path`: page boxes (boxes_of(number) gives
    {"/TrimBox": [...], ...}), the outline (a list of (level, title, page number)), the
    reading direction, /Lang (ja), title and author (info: {"/Title": str, ...}), and a
    subset tag on embedded subset fonts named without one (tag_of(name) gives it); with
    each font of `shared_fonts` (made by subset_font), one shared copy of it for the
    parts' subsets of it; more_changes(path,
    document, objects), when given, returns further changes of the same update."""
    document, objects = _json(path)
    header = document["qpdf"][0]
    next_id = int(header["maxobjectid"]) + 1
    changes = {}
    page_refs = [page["object"] for page in document["pages"]]
    for number, ref in enumerate(page_refs, 1):
        value = dict(_value(objects, ref))
        value.update(boxes_of(number))
        changes["obj:" + ref] = {"value": value}

    trailer = objects["trailer"]["value"]
    root_ref = trailer["/Root"]
    root = dict(_value(objects, root_ref))
    root["/Lang"] = _text("ja")
    preferences = dict(_value(objects, root.get("/ViewerPreferences")) or {})
    preferences["/Direction"] = "/R2L" if vertical else "/L2R"
    preferences["/DisplayDocTitle"] = True
    root["/ViewerPreferences"] = preferences
    if outline:
        outline_id, next_id = next_id, next_id + 1
        items, next_id = _outline(outline, outline_id, next_id, page_refs)
        changes.update(items)
        root["/Outlines"] = "%d 0 R" % outline_id
        root["/PageMode"] = "/UseOutlines"
    changes["obj:" + root_ref] = {"value": root}

    info_ref = trailer.get("/Info")
    values = dict(_value(objects, info_ref) or {}) if info_ref else {}
    values.update({key: _text(text) for key, text in info.items() if text})
    if info_ref and isinstance(info_ref, str):
        changes["obj:" + info_ref] = {"value": values}
    else:
        new_trailer = dict(trailer)
        new_trailer["/Info"] = "%d 0 R" % next_id
        changes["obj:%d 0 R" % next_id] = {"value": values}
        changes["trailer"] = {"value": new_trailer}
        next_id += 1

    changes.update(_tagged_fonts(objects, tag_of))
    for font in shared_fonts:
        changes.update(_shared_font(objects, font, next_id))
        next_id += 1
    if more_changes:
        changes.update(more_changes(path, document, objects))
    update = {"qpdf": [dict(header), changes]}
    update_path = path + ".update.json"
    with open(update_path, "w", encoding="utf-8") as out:
        json.dump(update, out, ensure_ascii=False)
    _run([qpdf(), path, "--update-from-json=" + update_path, "--object-streams=generate",
          output], "finishing the PDF")


def _outline(entries, outline_id, next_id, page_refs):
    """The outline objects: entries nest by level as the headings do."""
    nodes = []  # [id, level, title, page, parent index or None, children]
    stack = []
    for level, title, page in entries:
        while stack and nodes[stack[-1]][1] >= level:
            stack.pop()
        parent = stack[-1] if stack else None
        nodes.append([next_id, level, title, page, parent, []])
        next_id += 1
        if parent is not None:
            nodes[parent][5].append(len(nodes) - 1)
        stack.append(len(nodes) - 1)
    top = [i for i, node in enumerate(nodes) if node[4] is None]
    objects = {}

    def link(children, parent_id):
        for position, index in enumerate(children):
            node = nodes[index]
            value = {"/Title": _text(node[2]), "/Parent": "%d 0 R" % parent_id,
                     "/Dest": [page_refs[node[3] - 1], "/XYZ", None, None, None]}
            if position > 0:
                value["/Prev"] = "%d 0 R" % nodes[children[position - 1]][0]
            if position + 1 < len(children):
                value["/Next"] = "%d 0 R" % nodes[children[position + 1]][0]
            if node[5]:
                value["/First"] = "%d 0 R" % nodes[node[5][0]][0]
                value["/Last"] = "%d 0 R" % nodes[node[5][-1]][0]
                value["/Count"] = len(node[5])
            objects["obj:%d 0 R" % node[0]] = {"value": value}

    link(top, outline_id)
    for node in nodes:
        if node[5]:
            link(node[5], node[0])
    objects["obj:%d 0 R" % outline_id] = {"value": {
        "/Type": "/Outlines", "/First": "%d 0 R" % nodes[top[0]][0],
        "/Last": "%d 0 R" % nodes[top[-1]][0], "/Count": len(top)}}
    return objects, next_id


def _tagged_fonts(objects, tag_of):
    """Renamed font objects for embedded TrueType subsets named without a subset tag (the
    page furniture's fonts: Qt embeds subsets under the font's own name)."""
    changes = {}
    for key, entry in objects.items():
        value = entry.get("value") if isinstance(entry, dict) else None
        if not isinstance(value, dict) or value.get("/Type") != "/Font" \
                or value.get("/Subtype") != "/Type0":
            continue
        name = value.get("/BaseFont", "")
        if not name.startswith("/") or "+" in name:
            continue
        descendants = _value(objects, value.get("/DescendantFonts")) or []
        cid = _value(objects, descendants[0]) if descendants else None
        if not isinstance(cid, dict):
            continue
        descriptor_ref = cid.get("/FontDescriptor")
        descriptor = _value(objects, descriptor_ref)
        if not isinstance(descriptor, dict) or "/FontFile2" not in descriptor:
            continue
        tagged = "/%s+%s" % (tag_of(name[1:]), name[1:])
        changes[key] = {"value": dict(value, **{"/BaseFont": tagged})}
        if isinstance(descendants[0], str):
            changes["obj:" + descendants[0]] = {"value": dict(cid, **{"/BaseFont": tagged})}
        if isinstance(descriptor_ref, str):
            changes["obj:" + descriptor_ref] = {"value": dict(descriptor,
                                                              **{"/FontName": tagged})}
    return changes


# ---------------------------------------------------------------------------------------
# The body font.

FONT_FILES = ("/usr/share/fonts/opentype/ipafont-mincho/ipam.ttf",
              "/usr/share/fonts/truetype/fonts-japanese-mincho.ttf")


def subset_font(text, folder, name=None):
    """A subset of the body font holding the characters of `text` (and every vertical
    and other alternate form of them), written into `folder` under the font name `name`
    (BODY_FONT_NAME unless given); returns its path, or None
    when the font or the subsetting program (pyftsubset, Debian package fonttools) is not
    there: the engine then embeds the whole system font."""
    program = shutil.which("pyftsubset")
    font = next((path for path in FONT_FILES if os.path.isfile(path)), None)
    if not program or not font:
        return None
    name = name or BODY_FONT_NAME
    characters = os.path.join(folder, name + ".txt")
    with open(characters, "w", encoding="utf-8") as out:
        # Digits for the page numbers; the marks the style sheets draw (emphasis dots,
        # the character shown on screen) are no text of the book.
        out.write("".join(sorted(set(text) | set("0123456789﹅﹆•◦●○あ"))))
    output = os.path.join(folder, name + ".ttf")
    _run([program, font, "--text-file=" + characters, "--layout-features=*",
          "--name-IDs=*", "--no-hinting", "--notdef-outline", "--output-file=" + output],
         "making the font subset")
    if not os.path.isfile(output):
        return None
    rename_font(output, name)
    return output


# The subset's own name: the printed parts' subsets of it are told from any other font by
# it, and all of them share the one subset file in the finished PDF.
BODY_FONT_NAME = "IPAMincho-Book"


def rename_font(path, name):
    """Gives the TrueType font at `path` the family, full and PostScript name `name` (a
    new name table; every other table stays as it is)."""
    with open(path, "rb") as font:
        data = font.read()
    count = struct.unpack(">H", data[4:6])[0]
    tables = {}
    for index in range(count):
        tag, _, offset, length = struct.unpack(">4sIII", data[12 + 16 * index:28 + 16 * index])
        tables[tag] = data[offset:offset + length]
    names = {1: name, 2: "Regular", 3: name, 4: name, 6: name}
    records, storage = b"", b""
    for number in sorted(names):
        text = names[number].encode("utf-16-be")
        records += struct.pack(">6H", 3, 1, 0x409, number, len(text), len(storage))
        storage += text
    tables[b"name"] = struct.pack(">3H", 0, len(names), 6 + 12 * len(names)) + records + storage
    tags = sorted(tables)
    power = 1 << (len(tags).bit_length() - 1)
    header = data[:4] + struct.pack(">4H", len(tags), power * 16, power.bit_length() - 1,
                                    (len(tags) - power) * 16)
    directory, body = b"", b""
    offset = 12 + 16 * len(tags)
    for tag in tags:
        table = tables[tag]
        padded = table + b"\0" * (-len(table) % 4)
        checksum = sum(struct.unpack(">%dI" % (len(padded) // 4), padded)) & 0xFFFFFFFF
        directory += struct.pack(">4sIII", tag, checksum, offset + len(body), len(table))
        body += padded
    with open(path, "wb") as font:
        font.write(header + directory + body)


def _shared_font(objects, font, next_id):
    """The font descriptors of the printed parts' subsets of the font file `font` (named
    as its file is) pointed at one embedded copy of the whole file: the engine subsets the
    font again for every part, keeping its glyph numbers, so the one file serves them all."""
    name = os.path.splitext(os.path.basename(font))[0]
    subset = re.compile(r"^/[A-Z]{6}\+" + re.escape(name) + "$")
    changes = {}
    shared = "%d 0 R" % next_id
    for key, entry in objects.items():
        value = entry.get("value") if isinstance(entry, dict) else None
        if isinstance(value, dict) and value.get("/Type") == "/FontDescriptor" \
                and "/FontFile2" in value and subset.match(value.get("/FontName", "")):
            changes[key] = {"value": dict(value, **{"/FontFile2": shared})}
    if changes:
        changes["obj:" + shared] = {"stream": {
            "dict": {"/Length1": os.path.getsize(font)}, "datafile": font}}
    return changes
