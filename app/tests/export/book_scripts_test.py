"""The shipped export scripts, run as the editor runs them: working directory script/
beside the program, the export XML on standard input, the entry's arguments, -o PATH.

Usage: book_scripts_test.py PROGRAM_DIR QUIRTLE_CONVERT SAMPLE_MANUSCRIPT [unittest args]
"""

import concurrent.futures
import json
import html
import os
import re
import shlex
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree
import zipfile
import zlib

PROGRAM_DIR = CONVERTER = SAMPLE = None
SCRIPT_DIR = None

# Hard cases for every script: nesting to the converter's limit, elements the author
# named like the export's own, incomplete blocks, repeated and malformed ids, pictures.
EXPORT_NAMES = ("section", "heading", "paragraph", "em", "ruby", "litem", "list", "dterm",
                "ddesc", "blockquote_inner", "document")


def hard_manuscript():
    lines = [":title 難しい 原稿", ":author 試験 太郎", "本文の前の段落。",
             "*(#dup) 第一章 _入れ子[いれこ]", "*(#dup) 重複", "*(x#9bad) 悪いID",
             "_" * 1000 + "最深部" + "*" * 1000, "__二重[に][じゅう]"]
    lines += ["-" * i + " 項目%d" % i for i in range(1, 1001)] + [""]
    lines += [">" * i + " 引用%d" % i for i in range(1, 1001)] + [""]
    lines += ["|" * i + ("{box}" if i == 1 else "") + " 箱%d" % i for i in range(1, 1001)]
    lines.append("")
    for name in EXPORT_NAMES:
        lines += ["|{%s} 区分%s" % (name, name), "", ":%s 命令 %s" % (name, name),
                  "段落_中%s{%s}" % (name, name)]
    lines += ["! 用語だけ", "! 用語:説明", "", "- 項目", ":hr 線", "- 項目二",
              "*bad", "_閉じない", ":image(cover) images/rain.png 雨の 駅舎",
              ":image images/dot.gif", ":image images/none.gif ない",
              "** 第二節 A&B <x>", "*" * 30 + " 深い節", "* 第二章", "おわり。"]
    return "\r\n".join(lines) + "\r\n"


def png(width, height):
    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data)))
    rows = b"".join(b"\x00" + b"\x30\x60\xc0" * width for _ in range(height))
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


# A 3 by 2 GIF, one colour.
GIF = (b"GIF89a\x03\x00\x02\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff"
       b",\x00\x00\x00\x00\x03\x00\x02\x00\x00\x02\x02\x84\x51\x00;")


def convert(manuscript_bytes):
    result = subprocess.run([CONVERTER], input=manuscript_bytes, capture_output=True,
                            check=True)
    return result.stdout


def shipped_entries():
    """(label, program, script, arguments, extension) of the shipped script.cfg."""
    with open(os.path.join(PROGRAM_DIR, "script.cfg"), "rb") as cfg:
        text = cfg.read().decode("cp932")
    entries = []
    for line in text.split("\r\n")[:-1]:
        if not line.startswith("#"):
            entries.append(tuple(line.split("\t", 4)))
    return entries


def entry(label_start):
    for found in shipped_entries():
        if found[0].startswith(label_start):
            return found
    raise AssertionError("no entry " + label_start)


def run_entry(found, xml, output):
    """Runs an entry as the editor does; returns (exit status, standard error text)."""
    _, program, script, arguments, _ = found
    command = shlex.split(program) + [os.path.join(SCRIPT_DIR, script)]
    command += shlex.split(arguments) + ["-o", output]
    result = subprocess.run(command, input=xml, cwd=SCRIPT_DIR, capture_output=True,
                            timeout=300)
    return result.returncode, result.stderr.decode("utf-8", "replace")


def epubcheck(path):
    jar = "/usr/share/java/epubcheck.jar"
    # A short run: the quick compiler and the simple collector start the JVM much faster.
    command = (["java", "-XX:TieredStopAtLevel=1", "-XX:+UseSerialGC", "-jar", jar]
               if os.path.isfile(jar) else ["epubcheck"])
    result = subprocess.run(command + [path], capture_output=True, timeout=600)
    return result.returncode, (result.stdout + result.stderr).decode("utf-8", "replace")


def imgsize(path):
    result = subprocess.run([os.path.join(PROGRAM_DIR, "imgsize"), path],
                            capture_output=True)
    width, height = result.stdout.split()
    return int(width), int(height)


def pdf_text(path, page=None):
    command = ["pdftotext", "-raw", "-enc", "UTF-8"]
    if page is not None:
        command += ["-f", str(page), "-l", str(page)]
    return subprocess.run(command + [path, "-"], capture_output=True,
                          check=True).stdout.decode("utf-8")


def pdf_info(path):
    text = subprocess.run(["pdfinfo", path], capture_output=True, check=True).stdout
    return dict(re.findall(r"^([^:]+):\s*(.*)$", text.decode("utf-8"), re.M))


def pdf_json(path, key="catalog"):
    """The document catalog (or, with key="outlines", the outline) as qpdf reads it."""
    data = json.loads(subprocess.run(["qpdf", "--json=2", "--json-key=qpdf",
                                      "--json-key=outlines", "--json-stream-data=none",
                                      path], capture_output=True, check=True).stdout)
    if key == "outlines":
        return data["outlines"]
    objects = data["qpdf"][1]
    return objects["obj:" + objects["trailer"]["value"]["/Root"]]["value"]


def pdf_objects(path):
    data = json.loads(subprocess.run(["qpdf", "--json=2", "--json-key=qpdf",
                                      "--json-stream-data=none", path],
                                     capture_output=True, check=True).stdout)
    return data["qpdf"][1]


def flat(text):
    return re.sub(r"\s", "", text)


class Books(unittest.TestCase):
    """Exports the sample and the hard manuscript once; epubcheck runs in parallel."""

    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="quirtle-books-")
        os.mkdir(os.path.join(cls.folder, "images"))
        with open(os.path.join(cls.folder, "images", "rain.png"), "wb") as out:
            out.write(png(120, 80))
        with open(os.path.join(cls.folder, "images", "dot.gif"), "wb") as out:
            out.write(GIF)
        with open(SAMPLE, "rb") as sample:
            cls.sample_xml = convert(sample.read())
        cls.hard_xml = convert(hard_manuscript().encode("cp932"))
        cls.empty_xml = convert(b"")
        cls.runs = {}
        for key, label, xml in (("sample_v", "EPUB 縦書き", cls.sample_xml),
                                ("sample_h", "EPUB 横書き", cls.sample_xml),
                                ("hard_h", "EPUB 横書き", cls.hard_xml),
                                ("hard_v", "EPUB 縦書き", cls.hard_xml),
                                ("empty_v", "EPUB 縦書き", cls.empty_xml)):
            path = os.path.join(cls.folder, key + ".epub")
            cls.runs[key] = (path,) + run_entry(entry(label), xml, path)
        with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
            checks = {key: pool.submit(epubcheck, path)
                      for key, (path, status, _) in cls.runs.items() if status == 0}
            cls.checks = {key: future.result() for key, future in checks.items()}

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder, ignore_errors=True)

    def book(self, key):
        path, status, errors = self.runs[key]
        self.assertEqual(status, 0, errors)
        return zipfile.ZipFile(path)

    def read(self, key, name):
        return self.book(key).read(name).decode("utf-8")

    def test_every_book_passes_epubcheck_without_a_warning(self):
        for key in self.runs:
            with self.subTest(key):
                self.assertEqual(self.runs[key][1], 0, self.runs[key][2])
                status, report = self.checks[key]
                self.assertEqual(status, 0, report)
                self.assertIn("No errors or warnings detected", report)

    def test_container_and_mimetype_come_first(self):
        book = self.book("sample_v")
        first = book.infolist()[0]
        self.assertEqual((first.filename, first.compress_type), ("mimetype", zipfile.ZIP_STORED))
        self.assertEqual(book.read("mimetype"), b"application/epub+zip")

    def test_vertical_and_horizontal_variants(self):
        vertical = self.read("sample_v", "OEBPS/content.opf")
        horizontal = self.read("sample_h", "OEBPS/content.opf")
        self.assertIn('<spine page-progression-direction="rtl">', vertical)
        self.assertIn('<spine page-progression-direction="ltr">', horizontal)
        self.assertIn("writing-mode: vertical-rl", self.read("sample_v", "OEBPS/style.css"))
        self.assertNotIn("vertical-rl", self.read("sample_h", "OEBPS/style.css"))
        for key in ("sample_v", "sample_h"):
            self.assertIn("text-emphasis-style: filled sesame",
                          self.read(key, "OEBPS/style.css"))

    def test_metadata_of_the_sample(self):
        opf = self.read("sample_v", "OEBPS/content.opf")
        self.assertIn('<dc:title id="title">雨の駅</dc:title>', opf)  # the first heading
        self.assertIn('<dc:creator id="creator">山田 花子</dc:creator>', opf)
        self.assertIn("<dc:language>ja</dc:language>", opf)
        self.assertRegex(opf, r'<meta property="dcterms:modified">'
                              r'\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ</meta>')
        self.assertRegex(opf, r'<dc:identifier id="bookid">urn:uuid:[0-9a-f-]{36}<')
        hard = self.read("hard_h", "OEBPS/content.opf")
        self.assertIn('<dc:title id="title">難しい 原稿</dc:title>', hard)
        self.assertIn('<dc:creator id="creator">試験 太郎</dc:creator>', hard)

    def test_one_document_per_chapter_and_nested_navigation(self):
        book = self.book("sample_v")
        parts = sorted(n for n in book.namelist() if re.match(r"OEBPS/chapter\d+\.xhtml$", n))
        self.assertEqual(len(parts), 2)
        self.assertIn("<h1", book.read(parts[0]).decode())
        self.assertIn("終章</h1>", book.read(parts[1]).decode())
        nav = ElementTree.fromstring(book.read("OEBPS/nav.xhtml"))
        namespace = "{http://www.w3.org/1999/xhtml}"
        top = nav.find(".//%snav/%sol" % (namespace, namespace))

        def outline(ol):
            return [("".join(li.find(namespace + "a").itertext()),
                     outline(li.find(namespace + "ol")) if li.find(namespace + "ol")
                     is not None else []) for li in ol.findall(namespace + "li")]
        self.assertEqual(outline(top), [("雨の駅", [("待合室", [("回想", [])])]),
                                        ("終章", [])])
        # Every link leads to a heading of that id in its document.
        for link in top.iter(namespace + "a"):
            name, anchor = link.get("href").split("#")
            self.assertIn('id="%s"' % anchor, book.read("OEBPS/" + name).decode())

    def test_ruby_emphasis_and_incomplete_blocks(self):
        part = self.read("sample_v", "OEBPS/chapter0001.xhtml")
        self.assertIn("<ruby>駅舎<rp>(</rp><rt>えきしゃ</rt><rp>)</rp></ruby>", part)
        self.assertIn("<em>傘</em>", part)
        hard = "".join(self.read("hard_h", n) for n in self.book("hard_h").namelist()
                       if n.endswith(".xhtml"))
        self.assertIn('<pre class="incomplete">*bad</pre>', hard)
        self.assertIn("pre.incomplete { color: #a00000; border",
                      self.read("hard_h", "OEBPS/style.css"))

    def test_identifier_is_stable_and_can_be_named(self):
        def identifier(manuscript, name):
            path = os.path.join(self.folder, name)
            status, errors = run_entry(entry("EPUB 縦書き"), convert(manuscript.encode("cp932")),
                                       path)
            self.assertEqual(status, 0, errors)
            opf = zipfile.ZipFile(path).read("OEBPS/content.opf").decode()
            return re.search(r'<dc:identifier id="bookid">([^<]*)<', opf).group(1)
        first = identifier(":author 甲\r\n* 題\r\n本文。\r\n", "a.epub")
        edited = identifier(":author 甲\r\n* 題\r\n書き直した本文。\r\n", "b.epub")
        other = identifier(":author 乙\r\n* 題\r\n本文。\r\n", "c.epub")
        named = identifier(":identifier urn:isbn:9784000000000\r\n* 題\r\n", "d.epub")
        self.assertEqual(first, edited)
        self.assertNotEqual(first, other)
        self.assertEqual(named, "urn:isbn:9784000000000")

    def test_images_are_embedded_with_the_size_imgsize_reports(self):
        book = self.book("hard_h")
        opf = book.read("OEBPS/content.opf").decode()
        self.assertIn('href="images/image0001.png" media-type="image/png" '
                      'properties="cover-image"', opf)
        self.assertIn('href="images/image0002.gif" media-type="image/gif"', opf)
        self.assertEqual(book.read("OEBPS/images/image0001.png"), png(120, 80))
        pages = "".join(book.read(n).decode() for n in book.namelist() if "chapter" in n)
        width, height = imgsize(os.path.join(self.folder, "images", "dot.gif"))
        self.assertIn('<img src="images/image0002.gif" alt="" width="%d" height="%d"/>'
                      % (width, height), pages)
        # The cover is a page of its own, the picture alone.
        self.assertNotIn("image0001", pages)
        self.assertIn('<img role="doc-cover" src="images/image0001.png" alt="雨の 駅舎"/>',
                      book.read("OEBPS/cover.xhtml").decode())
        errors = self.runs["hard_h"][2]
        self.assertIn("images/none.gif", errors)
        self.assertNotIn("Traceback", errors)

    def test_deep_nesting_and_author_named_elements_keep_their_text(self):
        text = flat(re.sub(r"<rp>.*?</rp>|<rt>.*?</rt>|<[^>]+>", "", "".join(
            self.read("hard_v", n) for n in sorted(self.book("hard_v").namelist())
            if "chapter" in n)))
        for piece in ["最深部", "項目1", "項目1000", "引用1000", "箱1000", "深い節"] + \
                ["区分" + n for n in EXPORT_NAMES] + ["中" + n for n in EXPORT_NAMES]:
            self.assertIn(piece, text)
        self.assertLess(text.index("項目999"), text.index("項目1000"))

    def test_html_page_and_plain_text_of_the_hard_manuscript(self):
        for label, extension in (("HTML", "html"), ("テキスト", "txt")):
            with self.subTest(label):
                output = os.path.join(self.folder, "hard." + extension)
                status, errors = run_entry(entry(label), self.hard_xml, output)
                self.assertEqual(status, 0, errors)
                with open(output, encoding="utf-8") as result:
                    text = flat(re.sub(r"<rp>.*?</rp>|<rt>.*?</rt>|<[^>]+>", "",
                                       result.read()))
                for piece in ["最深部", "項目1000", "引用1000", "箱1000", "深い節"] + \
                        ["区分" + n for n in EXPORT_NAMES] + ["中" + n for n in EXPORT_NAMES]:
                    self.assertIn(piece, text)


class Pdf(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="quirtle-pdf-test-")
        with open(SAMPLE, "rb") as sample:
            xml = convert(sample.read())
        cls.vertical = os.path.join(cls.folder, "縦 書き.pdf")
        cls.horizontal = os.path.join(cls.folder, "yoko.pdf")
        cls.v_run = run_entry(entry("PDF 縦書き A5"), xml, cls.vertical)
        cls.h_run = run_entry(entry("PDF 横書き A4"), xml, cls.horizontal)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder, ignore_errors=True)

    def test_vertical_a5_with_every_font_embedded_as_a_subset(self):
        self.assertEqual(self.v_run[0], 0, self.v_run[1])
        info = pdf_info(self.vertical)
        width, height = map(float, re.findall(r"[\d.]+", info["Page size"])[:2])
        self.assertAlmostEqual(width, 419.53, delta=0.01)  # A5: 148 by 210 mm
        self.assertAlmostEqual(height, 595.28, delta=0.01)
        self.assertEqual(info["Title"], "雨の駅")
        self.assertEqual(info["Author"], "山田 花子")
        fonts = subprocess.run(["pdffonts", self.vertical], capture_output=True,
                               check=True).stdout.decode().splitlines()[2:]
        self.assertTrue(fonts)
        for line in fonts:
            self.assertRegex(line, r"\+IPAMincho\S* .*\s+yes\s+yes\s+yes\s+\d+\s+\d+$", line)
        self.assertLess(os.path.getsize(self.vertical), 1000000)
        # Every printed part's subset of the body font shares one embedded file.
        descriptors = [o["value"] for o in pdf_objects(self.vertical).values()
                       if isinstance(o.get("value"), dict)
                       and o["value"].get("/Type") == "/FontDescriptor"
                       and "IPAMincho-Book" in o["value"].get("/FontName", "")]
        self.assertTrue(descriptors)
        self.assertEqual(len({d["/FontFile2"] for d in descriptors}), 1)
        catalog = pdf_json(self.vertical)
        self.assertEqual(catalog["/Lang"], "u:ja")
        self.assertEqual(catalog["/ViewerPreferences"]["/Direction"], "/R2L")

    def test_text_in_reading_order_and_numbered_pages(self):
        pages = int(pdf_info(self.vertical)["Pages"])
        self.assertGreaterEqual(pages, 2)
        text = flat(pdf_text(self.vertical))
        for before, after in (("駅舎の屋根を、雨が叩いていた。", "彼女は傘"),
                              ("待合室", "時刻表"), ("拝啓", "雨の日が続きます。"),
                              ("回想", "子どもの頃、父と来たことがある。"),
                              ("終章", "雨は、やんでいた。")):
            self.assertIn(before, text)  # the ruby えきしゃ does not break 駅舎
            self.assertLess(text.index(before), text.index(after))
        for number in range(1, pages + 1):
            page = pdf_text(self.vertical, number).split()
            if not page:
                continue  # a blank page before a chapter on a recto, not numbered
            self.assertEqual(page[-1], str(number))  # the number comes after the text
            if "終章" in "".join(page):
                self.assertEqual(page[0], "終")  # a chapter starts its page
                self.assertEqual(number % 2, 1)  # on a recto

    def test_readings_and_emphasis_marks_stay_out_of_the_text(self):
        """A phrase running across a ruby or an emphasis is found in the extracted text;
        the readings are still drawn, in a face of their own."""
        page = "".join(flat(pdf_text(self.vertical, number))
                       for number in range(1, int(pdf_info(self.vertical)["Pages"]) + 1))
        for phrase in ("駅舎の屋根を、雨が叩いていた。", "彼女は傘を持っていなかった。"):
            self.assertIn(phrase, page)
        for gone in ("えきしゃ", "﹅"):
            self.assertNotIn(gone, page)
        fonts = subprocess.run(["pdffonts", self.vertical], capture_output=True,
                               check=True).stdout.decode()
        self.assertRegex(fonts, r"\+IPAMincho-Ruby ")

    def test_horizontal_a4(self):
        self.assertEqual(self.h_run[0], 0, self.h_run[1])
        width, height = map(float, re.findall(r"[\d.]+", pdf_info(self.horizontal)
                                              ["Page size"])[:2])
        self.assertAlmostEqual(width, 595, delta=2)
        self.assertAlmostEqual(height, 842, delta=2)
        lines = pdf_text(self.horizontal).splitlines()
        self.assertIn("駅舎の屋根を、雨が叩いていた。", "".join(lines).replace("えきしゃ", ""))
        self.assertEqual(lines[0], "雨の駅")

    def test_deep_nesting_prints(self):
        manuscript = "\r\n".join(["* 章"] + ["-" * i + " 項目%d" % i for i in range(1, 1001)]
                                 + ["", "_" * 1000 + "最深部" + "*" * 1000]) + "\r\n"
        output = os.path.join(self.folder, "deep.pdf")
        status, errors = run_entry(entry("PDF 横書き A4"), convert(manuscript.encode("cp932")),
                                   output)
        self.assertEqual(status, 0, errors)
        text = flat(pdf_text(output))
        self.assertIn("項目1000", text)
        self.assertIn("最深部", text)


def words(path, page):
    """(xMin, yMin, xMax, yMax, text) of every word pdftotext finds on a page."""
    out = subprocess.run(["pdftotext", "-bbox", "-f", str(page), "-l", str(page), path, "-"],
                         capture_output=True, check=True).stdout.decode("utf-8")
    return [(float(a), float(b), float(c), float(d), t) for a, b, c, d, t in re.findall(
        r'<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">(.*?)</word>',
        out)]


def image_pages(path):
    """{page number: number of pictures} of a PDF."""
    out = subprocess.run(["pdfimages", "-list", path], capture_output=True,
                         check=True).stdout.decode().splitlines()[2:]
    pages = {}
    for line in out:
        number = int(line.split()[0])
        pages[number] = pages.get(number, 0) + 1
    return pages


def novel(chapters=3, paragraphs=40):
    """A novel-like manuscript: title, author, a cover, `**` chapters only (the first
    with a `***` section), paragraphs opening with a full-width space, ruby now and then,
    and a tall picture with a caption in the second chapter."""
    lines = [":title 雨の駅", ":author 山田 花子", ":image(cover) images/cover.png 表紙の絵"]
    for chapter in range(1, chapters + 1):
        lines.append("** 第%d章 雨" % chapter)
        if chapter == 1:
            lines.append("*** 駅の前で")
        for paragraph in range(paragraphs):
            lines.append("\u3000" + "駅舎の屋根を、_雨[あめ]が叩いていた。" * (3 + paragraph % 5)
                         + "章%d段%d。" % (chapter, paragraph))
            if chapter == 2 and paragraph == 5:
                lines.append(":image images/tall.png 縦長の絵")
    return ("\r\n".join(lines) + "\r\n").encode("cp932")


class PrintReady(unittest.TestCase):
    """The printer's PDF (the shipped 入稿用 entry) and the cover options."""

    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="quirtle-print-ready-")
        os.mkdir(os.path.join(cls.folder, "images"))
        for name, size in (("cover.png", (60, 90)), ("tall.png", (40, 900))):
            with open(os.path.join(cls.folder, "images", name), "wb") as out:
                out.write(png(*size))
        cls.xml = convert(novel())
        cls.book = os.path.join(cls.folder, "book.pdf")
        cls.printed = run_entry(entry("PDF 入稿用"), cls.xml, cls.book)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder, ignore_errors=True)

    def script(self, arguments, output):
        found = entry("PDF 縦書き A5")
        return run_entry(found[:3] + (arguments,) + found[4:], self.xml,
                         os.path.join(self.folder, output))

    def boxes(self, path, page=1):
        out = subprocess.run(["pdfinfo", "-box", "-f", str(page), "-l", str(page), path],
                             capture_output=True, check=True).stdout.decode()
        return {name: [float(v) for v in values.split()] for name, values in
                re.findall(r"^Page +\d+ (\w+Box): +(.*)$", out, re.M)}

    def test_trim_bleed_and_media_boxes_per_option(self):
        self.assertEqual(self.printed[0], 0, self.printed[1])
        size = lambda box: (round(box[2] - box[0], 2), round(box[3] - box[1], 2))  # noqa
        for page in (1, 2):
            boxes = self.boxes(self.book, page)
            self.assertEqual(size(boxes["TrimBox"]), (297.64, 419.53))  # 文庫 A6
            bleed = [boxes["TrimBox"][0] - 8.504, boxes["TrimBox"][1] - 8.504,
                     boxes["TrimBox"][2] + 8.504, boxes["TrimBox"][3] + 8.504]
            for found, expected in zip(boxes["BleedBox"], bleed):
                self.assertAlmostEqual(found, expected, delta=0.01)
            # Room for the crop marks outside the bleed.
            self.assertGreater(boxes["BleedBox"][0] - boxes["MediaBox"][0], 20)
        status, errors = self.script("--vertical --page-size B6", "plain.pdf")
        self.assertEqual(status, 0, errors)
        boxes = self.boxes(os.path.join(self.folder, "plain.pdf"))
        self.assertEqual(size(boxes["MediaBox"]), (362.83, 515.91))
        self.assertEqual(boxes["TrimBox"], boxes["MediaBox"])

    def test_outline_follows_the_headings(self):
        outline = pdf_json(self.book, "outlines")
        titles = [(item["title"], [kid["title"] for kid in item["kids"]]) for item in outline]
        self.assertEqual(titles, [("第1章 雨", ["駅の前で"]), ("第2章 雨", []),
                                  ("第3章 雨", [])])
        for item in outline:  # each chapter opens its own recto
            page = item["destpageposfrom1"]
            self.assertEqual(page % 2, 1)
            self.assertIn(item["title"].replace(" ", ""), flat(pdf_text(self.book, page)))

    def test_the_picture_is_on_one_page_with_its_caption_and_the_cover_is_left_out(self):
        pictures = image_pages(self.book)
        self.assertEqual(list(pictures.values()), [1])  # the tall one; no cover
        (page,) = pictures
        self.assertIn("縦長の絵", flat(pdf_text(self.book, page)))
        self.assertNotIn("表紙の絵", flat(pdf_text(self.book)))

    def test_with_cover_the_cover_is_alone_on_the_first_page(self):
        status, errors = self.script("--vertical --with-cover --chapter-start any",
                                     "cover.pdf")
        self.assertEqual(status, 0, errors)
        path = os.path.join(self.folder, "cover.pdf")
        self.assertEqual(image_pages(path).get(1), 1)
        self.assertEqual(flat(pdf_text(path, 1)), "")  # no caption and no page number
        self.assertNotIn("表紙の絵", flat(pdf_text(path)))

    def test_every_full_page_holds_the_grid_lines(self):
        """A6 sets 39 by 16: every page of running text carries its 16 lines, whatever
        ruby the lines hold, and the page number stands at the fore edge."""
        pages = int(pdf_info(self.book)["Pages"])
        pictures = image_pages(self.book)
        chapter_pages = {item["destpageposfrom1"] for item in pdf_json(self.book, "outlines")}
        checked = 0
        for number in range(1, pages):
            found = words(self.book, number)
            following = words(self.book, number + 1)
            if number in pictures or number in chapter_pages or not found \
                    or not following or (number + 1) in chapter_pages:
                continue
            # Vertical text comes a character a word; the base size is the common width.
            size = sorted(w[2] - w[0] for w in found)[len(found) // 2]
            # The running head is horizontal: its words are wide, and words on its
            # baseline belong to it; the page number is the word naming the page.
            heads = {round(w[1]) for w in found if w[2] - w[0] > 1.5 * size}
            foot = max(w[1] for w in found)
            body = [w for w in found if w[1] != foot and round(w[1]) not in heads
                    and 0.8 * size < w[2] - w[0] < 1.5 * size]
            columns = sorted({round(w[0]) for w in body})
            merged = [c for i, c in enumerate(columns) if i == 0 or c - columns[i - 1] > 2]
            self.assertEqual(len(merged), 16, "page %d: %s" % (number, merged))
            page_number = max((w for w in found if w[4] == str(number)), key=lambda w: w[1])
            trim = self.boxes(self.book, number)["TrimBox"]
            media = self.boxes(self.book, number)["MediaBox"]
            centre = (trim[0] + trim[2]) / 2 - media[0]
            # Fore edge: a recto of a right-to-left book lies on the left of the spread.
            if number % 2 == 1:
                self.assertLess(page_number[0], centre - 60)
            else:
                self.assertGreater(page_number[2], centre + 60)
            checked += 1
        self.assertGreater(checked, 3)


# ---------------------------------------------------------------------------------------
# The rendered pages of a vertical book, measured glyph by glyph.

# Strict 禁則: characters no line may begin with, and characters no line may end with.
NO_LINE_START = "、。，．」』）〕］｝〉》】ー・：；！？!?ぁぃぅぇぉっゃゅょゎァィゥェォッャュョヮヵヶ々ゝゞ"
NO_LINE_END = "「『（〔［｛〈《【"
# 縦中横 and upright digits: (text before, the run, text after, ems the run takes along
# the line, glyphs across the line in each em).
UPRIGHT_RUNS = (("第", "12", "章", 1, 2), ("月", "24", "日", 1, 2), ("本当か", "!?", "ま", 1, 2),
                ("まさか", "!!", "と", 1, 2), ("え", "?!", "ど", 1, 2), ("で", "3", "人", 1, 1),
                ("西暦", "2026", "年", 4, 1))
# Paragraph openings: (first characters as written, indent in ems before the first glyph).
INDENTS = (("\u3000", 1), ("「", 0), ("『", 0), ("（", 0), ("", 1), ("\u3000「", 1))
FILLER = "あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほまみむめもやゆよらりるれろわ"


def typeset_manuscript(chars, ruby=True):
    """A manuscript of the typesetting cases for lines of `chars` characters, and its
    blocks in order as ("h"/"p", printed text, case) with the text as the page shows it
    (ruby readings, ideographic spaces and spaces left out). Without `ruby` the lines
    meant for ruby hold their base text only."""
    lines, blocks = [":title 組版の試験", ":author 試験 花子"], []

    def heading(marks, text):
        lines.append(marks + " " + text)
        blocks.append(("h", flat(text), None))

    def paragraph(markup, printed, case=None):
        lines.append(markup)
        blocks.append(("p", flat(printed), case))

    heading("**", "第1章 縦中横")
    runs = "".join(before + run + after + "、" for before, run, after, _, _ in UPRIGHT_RUNS)
    for repeat in range(3):  # the runs on every line, at the head, the middle, the foot
        pad = FILLER[:repeat * 7 + 3]
        paragraph("\u3000" + pad + runs + "また" + runs + "。", pad + runs + "また" + runs + "。",
                  "upright")
    # Ruby and upright runs inside justified lines, at every place along them.
    for markup, printed in ruby_paragraphs() if ruby else ():
        paragraph(markup, printed, "ruby")
    heading("**", "第2章 字下げ")
    for opening, indent in INDENTS:
        text = opening + "段落の始まり、" + FILLER * 2 + "。"
        closing = {"「": "」", "『": "』", "（": "）"}.get(opening[-1:], "")
        paragraph(text + closing, text + closing, ("indent", opening, indent))
    # Lists, a definition list, a quotation and a division between paragraphs: the lines
    # after them stay on the grid.
    for markup, printed in (("- 時刻表", "時刻表"), ("-- 上り", "上り"), ("-- 下り", "下り"),
                            ("- 売店", "売店"), ("", None), ("! 駅員:帽子の男", "駅員帽子の男"),
                            ("> 「はい」と答えた。", "「はい」と答えた。"), ("", None),
                            ("|{letter} 拝啓", "拝啓"), ("", None)):
        if printed is None:
            lines.append(markup)
        elif printed == "駅員帽子の男":  # the term and the description are lines apart
            lines.append(markup)
            blocks.extend((("p", "駅員", None), ("p", "帽子の男", None)))
        else:
            paragraph(markup, printed)
        if markup.startswith(">") or markup.startswith("|"):
            paragraph("\u3000" + FILLER * 2, FILLER * 2)
    heading("**", "第3章 禁則")
    # Each character that may not begin a line lands at the line end, one before and
    # one after it; each that may not end one likewise; a long paragraph per character
    # holds it at every place of its lines.
    for mark in NO_LINE_START.replace("!", "").replace("?", ""):
        for offset in (-1, 0, 1):
            text = FILLER[:chars - 1 + offset] + mark + FILLER[:20] + "。"
            paragraph("\u3000" + text, text, "kinsoku")
    for mark in NO_LINE_END:
        closing = {"「": "」", "『": "』", "（": "）"}.get(mark, "")
        for offset in (-1, 0, 1):
            text = FILLER[:chars - 2 + offset] + mark + "かぎ" + closing + FILLER[:20] + "。"
            paragraph("\u3000" + text, text, "kinsoku")
    for mark in "、」っー「":
        text = "".join(FILLER[:length] + mark for length in range(1, chars))
        paragraph("\u3000" + text + "。", text + "。", "kinsoku")
    heading("**", "第4章 見出し")
    # Sections of 2 + 3 lines and a heading against pages of 16 or 18 lines: a heading
    # falls on every line of a page, the last ones among them; every third section opens
    # with a heading of its own right after the first, some others with a picture.
    for number in range(1, 37):
        heading("***", "第%d節" % number)
        if number % 3 == 0:
            heading("****", "小節")
        elif number % 4 == 1:
            lines.append(":image images/picture.png 絵")  # the caption is a smaller type
        for _ in range(3 if number % 2 else 2):
            paragraph("\u3000" + FILLER[:30] + "。", FILLER[:30] + "。")
    return ("\r\n".join(lines) + "\r\n").encode("cp932"), blocks


def ruby_paragraphs():
    """(markup, printed text) of paragraphs with ruby and 縦中横 at every place of lines."""
    out = []
    for shift in range(0, 12, 3):
        text = FILLER[:shift] + "駅舎の屋根を_雨[あめ]が叩き、_紫陽花[あじさい]の12の花が揺れた!?" * 4
        out.append(("\u3000" + text, re.sub(r"_(\w+)\[\w+\]", r"\1", text)))
    return out


def page_words(path):
    """Per page, (xMin, yMin, xMax, yMax, text) of every word pdftotext finds."""
    out = subprocess.run(["pdftotext", "-bbox", path, "-"], capture_output=True,
                         check=True).stdout.decode("utf-8")
    return [[(float(a), float(b), float(c), float(d), html.unescape(t)) for a, b, c, d, t in
             re.findall(r'<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" '
                        r'yMax="([\d.]+)">(.*?)</word>', page)]
            for page in out.split("<page ")[1:]]


def type_size(word):
    """The size of a word's type: its extent across the line. Upright digits and 縦中横
    (ASCII) are horizontal words, as tall as their type; other words are vertical."""
    return word[3] - word[1] if word[4].isascii() else word[2] - word[0]


class Line:
    """One printed line of vertical text: its glyphs (words of pdftotext) from head to
    foot, the size of its type, its place across the page."""

    def __init__(self, page, glyphs, em):
        self.page = page
        self.glyphs = sorted(glyphs, key=lambda g: g[1])
        self.size = sorted(type_size(g) for g in glyphs)[len(glyphs) // 2]
        self.heading = self.size > 1.05 * em
        self.x = sum((g[0] + g[2]) / 2 for g in glyphs) / len(glyphs)
        self.text = "".join(g[4] for g in self.glyphs)
        # The glyph holding each character of the text.
        self.holder = [g for g in self.glyphs for _ in g[4]]


def printed_lines(path, geometry):
    """Every line of body text and every heading of a vertical book, in reading order:
    ruby (half size) and the page furniture (outside the text block) are left out."""
    g, em = geometry, geometry.font
    lines = []
    for number, found in enumerate(page_words(path), 1):
        left = g.slug + g.block_left(number)
        top = g.slug + g.head
        text = [w for w in found if type_size(w) > 0.95 * em and left - em < w[0]
                and w[2] < left + g.block_width + em and top - em < w[1]
                and w[3] < top + g.block_height + em]
        text.sort(key=lambda w: -(w[0] + w[2]) / 2)
        columns = []
        for word in text:
            centre = (word[0] + word[2]) / 2
            if columns and columns[-1][0] - centre < 0.3 * em:
                columns[-1][1].append(word)
            else:
                columns.append([centre, [word]])
        lines += [Line(number, column, em) for _, column in columns]
    return lines


def ink(path, page, box, resolution=600):
    """The inked pixels (a set of (x, y)) of `box` (x0, y0, x1, y1 in points) on a page."""
    scale = resolution / 72
    x0, y0 = int(box[0] * scale), int(box[1] * scale)
    width, height = int(box[2] * scale) - x0, int(box[3] * scale) - y0
    data = subprocess.run(["pdftoppm", "-r", str(resolution), "-gray", "-f", str(page), "-l",
                           str(page), "-x", str(x0), "-y", str(y0), "-W", str(width), "-H",
                           str(height), path], capture_output=True, check=True).stdout
    header = re.match(rb"P5\s+(\d+)\s+(\d+)\s+255\s", data)
    columns = int(header.group(1))
    pixels = data[header.end():]
    return {(i % columns, i // columns) for i, value in enumerate(pixels) if value < 128}


def runs_of(values):
    """How many separate runs the sorted distinct integers `values` make."""
    ordered = sorted(set(values))
    return sum(1 for i, v in enumerate(ordered) if i == 0 or v - ordered[i - 1] > 1)


def components(pixels):
    """The connected parts (8-neighbours) of a set of pixels."""
    left, parts = set(pixels), []
    while left:
        part, pending = set(), [left.pop()]
        while pending:
            x, y = pending.pop()
            part.add((x, y))
            for near in ((x + dx, y + dy) for dx in (-1, 0, 1) for dy in (-1, 0, 1)):
                if near in left:
                    left.remove(near)
                    pending.append(near)
        parts.append(part)
    return parts


class VerticalPages(unittest.TestCase):
    """The pages of the default vertical PDF (A5, 42 by 18), measured with pdftotext
    -bbox: 縦中横, indents, justified lines, 禁則, headings kept with their text, and
    the line grid of every full page."""

    label = "PDF 縦書き A5"
    shape = ("A5", True)  # as Geometry takes it
    ruby = True

    @classmethod
    def setUpClass(cls):
        sys.path.insert(0, SCRIPT_DIR)
        import pdfbook
        cls.geometry = pdfbook.Geometry(*cls.shape)
        cls.em = cls.geometry.font
        manuscript, cls.blocks = typeset_manuscript(cls.geometry.chars, cls.ruby)
        cls.folder = tempfile.mkdtemp(prefix="quirtle-vertical-")
        os.mkdir(os.path.join(cls.folder, "images"))
        with open(os.path.join(cls.folder, "images", "picture.png"), "wb") as out:
            out.write(png(90, 60))
        cls.book = os.path.join(cls.folder, "book.pdf")
        cls.printed = run_entry(entry(cls.label), convert(manuscript), cls.book)
        cls.lines = printed_lines(cls.book, cls.geometry) if cls.printed[0] == 0 else []
        # Where the lines of every page begin (the top of the text block) and end.
        cls.head = cls.geometry.slug + cls.geometry.head
        cls.foot = cls.head + cls.geometry.chars * cls.em

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder, ignore_errors=True)

    def paragraphs(self):
        """(kind, case, [Line]) of every block, the printed lines matched to the blocks
        of the manuscript in order."""
        self.assertEqual(self.printed[0], 0, self.printed[1])
        out, lines = [], list(self.lines)
        for kind, text, case in self.blocks:
            taken, printed = [], ""
            while lines and len(printed) < len(text):
                taken.append(lines.pop(0))
                printed += taken[-1].text
            self.assertEqual(printed, text, "lines %s" % [line.text for line in taken])
            self.assertTrue(all(line.heading == (kind == "h") for line in taken), text)
            out.append((kind, case, taken))
        self.assertEqual(lines, [])
        return out

    def test_upright_runs_and_indents(self):
        em = self.em
        checked = {}
        for kind, case, taken in self.paragraphs():
            if case == "upright":
                for line in taken:
                    for before, run, after, ems, across in UPRIGHT_RUNS:
                        for found in re.finditer(re.escape(before + run + after), line.text):
                            start = found.start() + len(before)
                            glyphs = list(dict.fromkeys(line.holder[start:start + len(run)]))
                            previous = line.holder[start - 1]
                            following = line.holder[start + len(run)]
                            with self.subTest(run=run, line=line.text):
                                # Its room along the line, between its neighbours.
                                self.assertAlmostEqual((following[1] - previous[3]) / em, ems,
                                                       delta=0.15)
                                self.assertEqual(len(glyphs), len(run) // across)
                                for glyph in glyphs:
                                    self.assertAlmostEqual((glyph[3] - glyph[1]) / em, 1,
                                                           delta=0.1)
                                    # Upright: as wide as its glyphs side by side.
                                    self.assertAlmostEqual((glyph[2] - glyph[0]) / em,
                                                           across * 0.5, delta=0.1)
                                    self.assertUpright(line.page, glyph, across)
                                checked[run] = checked.get(run, 0) + 1
            elif isinstance(case, tuple) and case[0] == "indent":
                with self.subTest(indent=taken[0].text[:8]):
                    first = taken[0].glyphs[0]
                    self.assertAlmostEqual((first[1] - self.head) / em, case[2],
                                           delta=0.2)
                    # The lines after the first begin at the head.
                    for line in taken[1:]:
                        self.assertAlmostEqual(line.glyphs[0][1], self.head,
                                               delta=0.2 * em)
                checked[case] = 1
        # Every run measured in the middle of a line several times, every indent once.
        self.assertEqual(len(checked), len(UPRIGHT_RUNS) + len(INDENTS))
        self.assertGreaterEqual(min(checked[run[1]] for run in UPRIGHT_RUNS), 2, checked)

    def assertUpright(self, page, glyph, across):
        """The ink of a glyph box: `across` glyphs side by side across the line, each
        standing upright (its largest stroke taller than wide), as text turned sideways
        would not."""
        trim = 0.05 * self.em  # clear of the neighbours along the line
        pixels = ink(self.book, page, (glyph[0], glyph[1] + trim, glyph[2], glyph[3] - trim))
        self.assertTrue(pixels, glyph)
        self.assertEqual(runs_of(p[0] for p in pixels), across, glyph)
        largest = max(components(pixels), key=len)
        xs, ys = [p[0] for p in largest], [p[1] for p in largest]
        self.assertGreater(max(ys) - min(ys), max(xs) - min(xs), glyph)

    def test_lines_are_justified_and_break_by_the_rules(self):
        em = self.em
        ended = plain = 0
        for kind, case, taken in self.paragraphs():
            if kind == "h":
                continue
            for index, line in enumerate(taken):
                with self.subTest(line=line.text, page=line.page):
                    self.assertNotIn(line.text[0], NO_LINE_START)
                    self.assertNotIn(line.text[-1], NO_LINE_END)
                    if index == len(taken) - 1:
                        continue
                    self.assertAlmostEqual((line.glyphs[-1][3] - self.foot) / em, 0,
                                           delta=0.15)
                    # A full line of plain characters keeps every one on the grid (the
                    # boxes pdftotext gives vertical glyphs stray up to 0.1 em, that of
                    # the vertical form of ー further).
                    if len(line.text) == self.geometry.chars and line.text.isalpha():
                        for place, glyph in enumerate(line.glyphs):
                            if glyph[4] != "ー":
                                self.assertAlmostEqual((glyph[1] - self.head) / em, place,
                                                       delta=0.15)
                        plain += 1
                    ended += 1
        self.assertGreater(ended, 200)
        self.assertGreater(plain, 30)

    def test_no_page_ends_with_a_heading_and_full_pages_keep_the_grid(self):
        g = self.geometry
        self.paragraphs()
        pages = {}
        for line in self.lines:
            pages.setdefault(line.page, []).append(line)
        pictures = image_pages(self.book)
        found = page_words(self.book)
        pushed = full = 0
        for number in sorted(pages):
            lines = pages[number]
            with self.subTest(page=number):
                if lines[-1].heading:  # then only a picture may follow it, with its caption
                    self.assertTrue([w for w in found[number - 1] if w[4] == "絵"
                                     and (w[0] + w[2]) / 2 < lines[-1].x - g.pitch],
                                    "the heading %s ends the page" % lines[-1].text)
                # Every line on the grid of line pitches from the block's first line, a
                # heading on two of them; a picture takes whole lines too.
                right = g.slug + g.block_left(number) + g.block_width
                for line in lines:
                    place = (right - line.x) / g.pitch - (1 if line.heading else 0.5)
                    self.assertAlmostEqual(place, round(place), delta=0.15, msg=line.text)
                if number in pictures:
                    continue  # the lines a picture takes are not counted
                slots = round(place) + 1
                following = pages.get(number + 1)
                if following and following[0].heading and following[0].text.endswith("節"):
                    pushed += 1
                elif following and not following[0].heading:  # a page the text fills
                    self.assertEqual(slots, g.lines, [line.text for line in lines])
                    full += 1
        self.assertGreater(full, 5)
        self.assertGreater(pushed, 0)  # some heading would have fallen at a foot
        self.assertGreater(len(pictures), 3)


class PrintReadyVerticalPages(VerticalPages):
    """The same on the printer's 文庫 pages (39 by 16): bleed, crop marks, running head.
    Ruby is measured apart, below."""

    label = "PDF 入稿用"
    shape = ("A6", True, None, 3 * 72 / 25.4, True)
    ruby = False

    # Known engine limit: at the 文庫 size (7.4 pt) the engine lays every ruby out a
    # little longer than its base (雨《あめ》 takes 1.04 em, 0.1 em between 7.3 and 7.45
    # pt; 0.01 em or less at 9.3 pt and at 7.2 pt and below), after it has broken the
    # lines, so that justified lines with several rubies run up to 0.45 em past the foot
    # of the block and the lines after them creep off the grid. Remove this mark when
    # the test passes (it then reports an unexpected success).
    @unittest.expectedFailure
    def test_lines_with_ruby_end_at_the_foot_and_keep_the_grid(self):
        g = self.geometry
        lines = ["** 章"] + [markup for markup, _ in ruby_paragraphs() * 3]
        path = os.path.join(self.folder, "ruby.pdf")
        status, errors = run_entry(entry(self.label), convert(
            ("\r\n".join(lines) + "\r\n").encode("cp932")), path)
        self.assertEqual(status, 0, errors)
        printed = [line for line in printed_lines(path, g) if not line.heading]
        self.assertGreater(len(printed), 20)
        for line, after in zip(printed, printed[1:]):
            right = g.slug + g.block_left(line.page) + g.block_width
            place = (right - line.x) / g.pitch - 0.5
            self.assertAlmostEqual(place, round(place), delta=0.15, msg=line.text)
            if after.glyphs[0][1] < self.head + 0.5 * self.em:  # not a paragraph's last
                self.assertAlmostEqual((line.glyphs[-1][3] - self.foot) / self.em, 0,
                                       delta=0.15, msg=line.text)


    def test_nothing_is_drawn_beside_the_last_line(self):
        """The engine sometimes paints ruby of a later line on a page beside its last line
        (seen in a real novel, a third of its pages): the printed pages are cut to the
        text block across the lines, and nothing shows beside it."""
        g = self.geometry
        text = "_最早[もはや]一分も_猶予[ゆうよ]が出来ぬ_仕儀[しぎ]となったから、" * 8
        lines = ["** 章"] + ["\u3000" + FILLER[:shift] + text for shift in range(12)]
        path = os.path.join(self.folder, "beside.pdf")
        status, errors = run_entry(entry(self.label), convert(
            ("\r\n".join(lines) + "\r\n").encode("cp932")), path)
        self.assertEqual(status, 0, errors)
        pages = int(pdf_info(path)["Pages"])
        self.assertGreater(pages, 3)
        # Every page's printed content is cut to the block across the lines (the page
        # furniture, laid over afterwards, is not).
        flat_pdf = subprocess.run(["qpdf", "--qdf", "--object-streams=disable", path, "-"],
                                  capture_output=True, check=True).stdout
        x0, y0, x1, y1 = g.block_clip()
        clip = b"q %.3f %.3f %.3f %.3f re W n" % (x0, y0, x1 - x0, y1 - y0)
        self.assertIn(clip, flat_pdf)
        self.assertAlmostEqual(x0, g.slug + g.inner, delta=0.02 * g.pitch)
        top = g.slug + g.head
        for number in range(1, pages + 1):
            left = g.slug + g.block_left(number)
            beside = (left - 1.5 * g.pitch, top, left - 0.05 * g.pitch, top + g.block_height)
            self.assertEqual(ink(path, number, beside, 200), set(), "page %d" % number)


class BookGeometry(unittest.TestCase):
    """The page geometry of every trim size, writing direction, grid and bleed."""

    def test_the_grid_fits_its_trim_with_the_wider_margin_at_the_binding(self):
        sys.path.insert(0, SCRIPT_DIR)
        import pdfbook
        for size in pdfbook.TRIM_SIZES:
            for vertical in (True, False):
                for grid in (None, (20, 8), (50, 24)):
                    for bleed, marks in ((0, False), (3 * pdfbook.MM, True)):
                        g = pdfbook.Geometry(size, vertical, grid, bleed, marks)
                        case = (size, vertical, grid, bleed)
                        self.assertGreater(g.inner, g.outer, case)
                        self.assertGreater(g.outer, 0, case)
                        self.assertGreater(min(g.head, g.foot), 0, case)
                        self.assertAlmostEqual(g.inner + g.block_width + g.outer,
                                               g.trim_width, places=6)
                        self.assertAlmostEqual(g.head + g.block_height + g.foot,
                                               g.trim_height, places=6)
                        self.assertGreaterEqual(g.slug, bleed)
                        # Facing pages: the block moves to the binding; every MediaBox
                        # window lies on the printing canvas.
                        for number in (1, 2):
                            boxes = pdfbook.boxes(g, number, g.canvas_height)
                            self.assertGreaterEqual(boxes["/MediaBox"][0], -0.001)
                            self.assertLessEqual(boxes["/MediaBox"][2], g.canvas_width + 0.001)
                            self.assertAlmostEqual(boxes["/TrimBox"][2] - boxes["/TrimBox"][0],
                                                   g.trim_width, places=2)
                        self.assertNotEqual(g.binding_left(1), g.binding_left(2))
                        self.assertEqual(g.binding_left(1), not vertical)

    def test_chapters_start_on_rectos_after_a_blank_page_where_needed(self):
        sys.path.insert(0, SCRIPT_DIR)
        import pdfbook
        for counts, right, blanks in (([3, 2, 1], True, [4]), ([2, 2], True, []),
                                      ([3, 2, 1], False, []), ([1, 1, 1], True, [2, 4])):
            pages = pdfbook.plan_pages(counts, ["c"] * len(counts), right)
            found = [n for n, page in enumerate(pages, 1) if page.unit is None]
            self.assertEqual(found, blanks, counts)
            firsts = [n for n, page in enumerate(pages, 1) if page.first]
            self.assertEqual(len(firsts), len(counts))
            if right:
                self.assertTrue(all(n % 2 == 1 for n in firsts))

    def test_headings_know_the_headings_right_after_them(self):
        sys.path.insert(0, SCRIPT_DIR)
        import exportxml
        import xhtmlwriter
        for manuscript, expected in (
                (["* 章", "本文", "** 節", "本文"], ["h1", "h2"]),
                (["* 章", "** 節", "本文"], ["h1 keep-1", "h2"]),
                (["* 章", "** 節", "*** 項", "本文", "*** 項", "本文"],
                 ["h1 keep-2", "h2 keep-1", "h3", "h3"]),
                (["* 章", "** 節", "** 節", "本文"], ["h1 keep-2", "h2 keep-1", "h2"]),
                (["* 章", "** 節", "*** 項", "** 節", "本文"],
                 ["h1 keep-3", "h2 keep-2", "h3 keep-1", "h2"]),
                (["** 章", "** 章", "本文"], ["h2", "h2"]),  # chapters: a page each
                (["* 章", "** 節", "* 章", "本文"], ["h1 keep-1", "h2", "h1"]),
                (["* 章", "**", "本文", "*** 項"], ["h1", "h3"]),
                (["* 章", "** 1", "*** 2", "**** 3", "***** 4", "本文"],
                 ["h1 keep-3", "h2 keep-3", "h3 keep-2", "h4 keep-1", "h5"])):
            document = exportxml.parse(convert(("\r\n".join(manuscript) + "\r\n")
                                               .encode("cp932")))
            markup = xhtmlwriter.Writer(book=True).render(document.elements())
            found = [" ".join(filter(None, tag)) for tag in
                     re.findall(r'<(h\d)(?: class="([^"]*)")?>', markup)]
            self.assertEqual(found, expected, manuscript)

    def test_bad_grids_and_lengths_are_refused(self):
        sys.path.insert(0, SCRIPT_DIR)
        import pdfbook
        self.assertEqual(pdfbook.parse_grid("42x18"), (42, 18))
        self.assertAlmostEqual(pdfbook.parse_length("3mm"), 8.504, places=3)
        for bad in ("42", "x18", "0x5", "42x18x2", "4.5x18"):
            with self.assertRaises(ValueError):
                pdfbook.parse_grid(bad)
        for bad in ("-1mm", "3cm", "30mm"):
            with self.assertRaises(ValueError):
                pdfbook.parse_length(bad)


class PrintedText(unittest.TestCase):
    def test_which_text_objects_are_kept_out_of_the_extracted_text(self):
        """Ruby runs (font R1) and runs of nothing but emphasis marks (glyph 0C2E of F5)
        go into an empty actual text; anything else stays as it was."""
        sys.path.insert(0, SCRIPT_DIR)
        import pdftext
        ruby = b"BT\n/R1 6.2 Tf\n0 -6 Td <0101> Tj\n/Span<</ActualText <FEFF3063> >> BDC\n" \
            b"<0C20> Tj\nEMC\nET"
        cases = (  # (text object, quiet)
            (ruby, True),
            (b"BT\n/F5 12.4 Tf\n0 -12 Td <0101> Tj\nET", False),
            (b"BT\n/F5 6 Tf\n0 -12 Td <0C2E> Tj\n0 -12 Td <0C2E0C2E> Tj\nET", True),
            (b"BT\n/F5 6 Tf\n<0C2E> Tj\n<0C2F> Tj\nET", False),  # a mark beside text
            (b"BT\n/F5 12 Tf\n<0101> Tj\n/R1 6 Tf\n<0102> Tj\nET", False),  # mixed fonts
            (b"BT\n/F6 6 Tf\n<0C2E> Tj\nET", False),  # another font's glyph 0C2E
            (b"BT\nET", False),
        )
        for block, quiet in cases:
            stream = b"q\n" + block + b"\nQ\n"
            out = pdftext.quiet_annotations(stream, {"R1"}, {"F5": {b"\x0c\x2e"}})
            if quiet:
                self.assertTrue(out.startswith(b"q\n/Span <</ActualText <FEFF>>> BDC\nBT"), out)
                self.assertTrue(out.endswith(b"ET\nEMC\nQ\n"), out)
                self.assertEqual(out.count(b"BDC"), 1, out)  # inner spans removed
                self.assertEqual(out.count(b"EMC"), 1, out)
            else:
                self.assertEqual(out, stream, block)
        cmap = (b"2 beginbfchar\n<0C2E> <FE45>\n<0101> <3042>\nendbfchar\n"
                b"1 beginbfrange\n<0D00> <0D02> <25CE>\nendbfrange\n")
        self.assertEqual(pdftext.mark_glyphs(cmap), {b"\x0c\x2e", b"\x0d\x01"})


class Punctuation(unittest.TestCase):
    def test_adjacent_punctuation_loses_its_blank_half(self):
        sys.path.insert(0, SCRIPT_DIR)
        import xhtmlwriter
        end = '<span class="kern-end">%s</span>'
        start = '<span class="kern-start">%s</span>'
        cases = (  # text, typeset
            ("「はい。」", "「はい" + end % "。" + "」"),
            ("言った、「それ」『本』", "言った" + end % "、" + "「それ" + end % "」" + "『本』"),
            ("「「二重」」", "「" + start % "「" + "二重" + end % "」" + "」"),
            ("た。そして", "た。そして"),  # a period before a letter keeps its space
            ("A、B", '<span class="latin">A</span>、<span class="latin">B</span>'),
            ("、", "、"),
        )
        for text, expected in cases:
            self.assertEqual(xhtmlwriter.typeset(text), expected, text)


class BadInput(unittest.TestCase):
    """Every shipped script: a non-zero exit, one line on standard error naming the
    problem, and no output file (an existing one stays as it was)."""

    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="quirtle-bad-")

    def tearDown(self):
        shutil.rmtree(self.folder, ignore_errors=True)

    def scripts(self):
        seen = {}
        for found in shipped_entries():
            seen.setdefault(found[2], found)
        self.assertEqual(sorted(seen), ["xml2aozora.py", "xml2epub.py", "xml2html.py",
                                        "xml2manuscript.py", "xml2pdf.py", "xml2text.py",
                                        "xml2webnovel.py"])
        return seen.values()

    def expect_failure(self, found, xml, output, reason):
        status, errors = run_entry(found, xml, output)
        self.assertNotEqual(status, 0)
        lines = errors.strip("\n").split("\n")
        self.assertEqual(len(lines), 1, errors)
        self.assertRegex(lines[0], reason)
        self.assertNotIn("Traceback", errors)

    def test_bad_input(self):
        with open(SAMPLE, "rb") as sample:
            xml = convert(sample.read())
        cases = (
            (b"", "input is empty"),
            (b"this is not XML", "not well-formed"),
            (xml[: len(xml) // 2], "not well-formed"),
            (b'<?xml version="1.0" encoding="Shift_JIS"?><document><paragraph>\x82 '
             b"</paragraph></document>", "not Shift_JIS"),
            (b'<?xml version="1.0"?><html></html>', "not an export document"),
        )
        for found in self.scripts():
            for data, reason in cases:
                with self.subTest(script=found[2], reason=reason):
                    output = os.path.join(self.folder, "out." + found[4])
                    self.expect_failure(found, data, output, reason)
                    self.assertEqual(os.listdir(self.folder), [])
            with self.subTest(script=found[2], reason="existing output kept"):
                output = os.path.join(self.folder, "kept." + found[4])
                with open(output, "wb") as out:
                    out.write(b"old")
                self.expect_failure(found, xml[:100], output, "not well-formed")
                with open(output, "rb") as kept:
                    self.assertEqual(kept.read(), b"old")
                os.unlink(output)

    def test_output_that_cannot_be_written(self):
        with open(SAMPLE, "rb") as sample:
            xml = convert(sample.read())
        os.mkdir(os.path.join(self.folder, "folder.out"))
        for found in self.scripts():
            if found[2] in ("xml2pdf.py", "xml2manuscript.py"):
                continue  # printed below, once (the same writing of the output)
            for output in (os.path.join(self.folder, "missing", "x.out"),
                           os.path.join(self.folder, "folder.out")):
                with self.subTest(script=found[2], output=output):
                    self.expect_failure(found, xml, output, "cannot write")
        pdf = entry("PDF 横書き A4")
        self.expect_failure(pdf, xml, os.path.join(self.folder, "missing", "x.pdf"),
                            "cannot write")
        self.assertEqual(sorted(os.listdir(self.folder)), ["folder.out"])
        self.assertEqual(os.listdir(os.path.join(self.folder, "folder.out")), [])


class Html(unittest.TestCase):
    def test_pictures_and_missing_pictures(self):
        folder = tempfile.mkdtemp(prefix="quirtle-html-")
        try:
            os.mkdir(os.path.join(folder, "images"))
            with open(os.path.join(folder, "images", "rain.png"), "wb") as out:
                out.write(png(33, 17))
            manuscript = (":image(photo) images/rain.png 雨の駅舎\r\n"
                          ":image images/gone.png\r\n:image images/rain.png\r\n")
            output = os.path.join(folder, "page.html")
            status, errors = run_entry(entry("HTML"), convert(manuscript.encode("cp932")),
                                       output)
            self.assertEqual(status, 0, errors)
            with open(output, encoding="utf-8") as page:
                html = page.read()
            self.assertIn('<figure class="oneline_command image photo" '
                          'data-param0="images/rain.png" data-param1="雨の駅舎"><img '
                          'src="images/rain.png" alt="雨の駅舎" width="33" height="17"/>'
                          "<figcaption>雨の駅舎</figcaption></figure>", html)
            self.assertEqual(html.count("<img "), 2)
            self.assertEqual(errors.count("\n"), 1)  # the missing picture, once
            self.assertIn("images/gone.png", errors)
        finally:
            shutil.rmtree(folder, ignore_errors=True)


class BeyondShiftJis(unittest.TestCase):
    """Characters Shift_JIS cannot hold reach the scripts as character references in the
    Shift_JIS XML (as the editor writes it: converted as UTF-8, then recoded); every book
    keeps them, the PDF prints them in a font that has them and names the one no font has."""

    TEXT = "𠮟られて剝がれた♡‼😀"
    NO_FONT = "\U000F0000"  # a private-use character of plane 15: no installed font has it

    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="quirtle-utf8-test-")
        manuscript = "* 頰と𠮟\r\n_塡[は]める%s%s\r\n" % (cls.TEXT, cls.NO_FONT)
        utf8 = subprocess.run([CONVERTER, "--utf-8"], input=manuscript.encode("utf-8"),
                              capture_output=True, check=True).stdout.decode("utf-8")
        cls.xml = utf8.replace('encoding="UTF-8"', 'encoding="Shift_JIS"', 1).encode(
            "cp932", "xmlcharrefreplace")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder, ignore_errors=True)

    def run_to(self, label, name):
        output = os.path.join(self.folder, name)
        status, errors = run_entry(entry(label), self.xml, output)
        self.assertEqual(status, 0, errors)
        return output, errors

    def test_epub_html_and_text_hold_the_characters(self):
        epub, _ = self.run_to("EPUB 縦書き", "book.epub")
        with zipfile.ZipFile(epub) as book:
            chapters = "".join(book.read(name).decode("utf-8") for name in book.namelist()
                               if name.endswith(".xhtml"))
        page, _ = self.run_to("HTML", "page.html")
        text, _ = self.run_to("テキスト", "book.txt")
        def read(path):
            with open(path, encoding="utf-8") as written:
                return written.read()
        for path, content in ((epub, chapters), (page, read(page)), (text, read(text))):
            self.assertIn(self.TEXT, content, path)
            self.assertIn("頰と𠮟", content, path)
        self.assertRegex(chapters, r"<ruby[^>]*>(<rb>)?塡")

    def test_pdf_prints_them_and_names_the_character_no_font_has(self):
        pdf, errors = self.run_to("PDF 縦書き A5", "book.pdf")
        printed = flat(pdf_text(pdf))
        self.assertIn(self.TEXT, printed)
        self.assertIn("頰と𠮟", printed)
        self.assertIn("U+F0000", errors)
        self.assertEqual(errors.count("\n"), 1, errors)


def main():
    global PROGRAM_DIR, CONVERTER, SAMPLE, SCRIPT_DIR
    PROGRAM_DIR, CONVERTER, SAMPLE = sys.argv[1:4]
    SCRIPT_DIR = os.path.join(PROGRAM_DIR, "script")
    unittest.main(argv=[sys.argv[0]] + sys.argv[4:], verbosity=2)


if __name__ == "__main__":
    main()
