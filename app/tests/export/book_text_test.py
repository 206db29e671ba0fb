"""Nothing of the text is lost on the way to a book: for generated manuscripts (every
nesting the converter writes, author names equal to the converter's own element names,
names the older XML rules refuse), a long novel-like manuscript and the real novels in
../shared/realtext/ where present, the character data of the export XML equals the text
of the EPUB's chapters and of the HTML page, in the same order (ruby readings aside), and
the plain text keeps it all, adding only its own marks. Every EPUB written passes
epubcheck. Also: the shape of the book, pictures a sender controls, outputs that are no
regular files.

Usage: book_text_test.py PROGRAM_DIR QUIRTLE_CONVERT REALTEXT_DIR [unittest args]
"""

import concurrent.futures
import html
import json
import os
import random
import re
import shutil
import stat
import subprocess
import sys
import tempfile
import unittest
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import book_scripts_test as books  # noqa: E402 - the converter and epubcheck runs

PROGRAM_DIR = CONVERTER = REALTEXT = SCRIPT_DIR = None

# The converter's own element names, and names the older XML name rules refuse.
OWN_NAMES = ("section", "heading", "paragraph", "em", "ruby", "list", "litem", "dlist",
             "dterm", "ddesc", "blockquote", "blockquote_inner", "div", "div_inner",
             "document", "pre", "image", "title")
ODD_NAMES = ("a・b", "ｱｲｳ", "﨑", "〆", "ＡＢＣ", "x:y", "名前", "tcy")
WORDS = ("雨", "駅舎", "待合室", "彼女は", "傘を", "持っていなかった", "12月24日", "2026年",
         "第1章", "!?", "iPhone", "A&B", "<x>", '"q"', "――", "……", "、「", "」。", "ﾊﾝｶｸ",
         "１２３", "3.14", "100", "?!")


def inline(rng, depth=0):
    pieces = []
    for _ in range(rng.randint(1, 5)):
        choice = rng.random()
        word = rng.choice(WORDS)
        if depth < 2 and choice < 0.15:
            pieces.append("_%s[%s]" % (word.replace("&", "と").replace("<", "").replace(">", "")
                                       .replace('"', "").replace("!", "").replace("?", "")
                                       or "字", rng.choice(("よみ", "かんじ", "ながいながいよみ"))))
        elif depth < 2 and choice < 0.25:
            pieces.append("_%s*" % inline(rng, depth + 1))
        elif depth < 2 and choice < 0.45:
            name = rng.choice(OWN_NAMES + ODD_NAMES)
            head = name + rng.choice(("", "(cls)", '(c#i) "p q"', " x"))
            pieces.append("_%s{%s}" % (inline(rng, depth + 1), head))
        elif choice < 0.5:
            pieces.append("\\_")
        else:
            pieces.append(word)
    return "".join(pieces)


def manuscript(rng, lines=120):
    out = []
    for _ in range(lines):
        choice = rng.random()
        if choice < 0.3:
            out.append(rng.choice(("", "\u3000", "「", "『")) + inline(rng)
                       + rng.choice(("", "」")))
        elif choice < 0.42:
            stars = "*" * rng.randint(1, 3)
            group = rng.choice(("", "", "(cls)", "(#h%d)" % rng.randint(0, 9)))
            out.append(stars + group + rng.choice((" " + inline(rng), " " + inline(rng), "")))
        elif choice < 0.72:
            marker = rng.choice("-!>|")
            level = rng.randint(1, 3)
            head = marker * level
            if marker == "|" and rng.random() < 0.6:
                head += "{%s}" % rng.choice(OWN_NAMES + ODD_NAMES)
            if rng.random() < 0.2:
                head += "(cls)"
            if rng.random() < 0.3:
                out.append(head)  # a marker alone
            else:
                text = inline(rng)
                if marker == "!":
                    text = text.replace(":", "") + ":" + inline(rng)
                out.append(head + " " + text)
        elif choice < 0.8:
            out.append("")
        elif choice < 0.85:
            out.append(rng.choice(("# 注", "; 注")))
        elif choice < 0.95:
            name = rng.choice(OWN_NAMES + ODD_NAMES + ("author", "publisher", "hr"))
            out.append(":%s%s %s" % (name, rng.choice(("", "(cls)")), inline(rng)))
        else:
            out.append(rng.choice(("*見出し", "_閉じない", "-(開く", "|{} x")))
    return "\r\n".join(out) + "\r\n"


def novel(size=700_000):
    """A novel-like manuscript: "**" chapters, paragraphs opening with an ideographic
    space, a ruby every 80 characters or so."""
    rng = random.Random(7)
    kana = "あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほまみむめもやゆよらりるれろわをん"
    out = [":title 長い _小説[しょうせつ]", ":author 試験 花子 [しけん はなこ]",
           ":publisher 試験書房", ":edition 初版第1刷"]
    length = 0
    chapter = 0
    while length < size:
        chapter += 1
        out.append("** 第%d章 %s" % (chapter, "".join(rng.choice(kana) for _ in range(5))))
        for _ in range(40):
            text = []
            for _ in range(rng.randint(1, 4)):
                text.append("".join(rng.choice(kana) for _ in range(70)))
                text.append("_漢字[かんじ]、「%d月%d日」!?" % (rng.randint(1, 12), rng.randint(1, 31)))
            line = ("\u3000" if rng.random() < 0.8 else "") + "".join(text) + "。"
            out.append(line)
            length += len(line.encode("cp932"))
    return "\r\n".join(out) + "\r\n"


def run_script(script, xml, output, *arguments):
    result = subprocess.run([sys.executable, os.path.join(SCRIPT_DIR, script)]
                            + list(arguments) + ["-o", output], input=xml, cwd=SCRIPT_DIR,
                            capture_output=True, timeout=300)
    return result.returncode, result.stderr.decode("utf-8", "replace")


_SPACE = re.compile(r"[ \t\r\n]")


def character_data(xml):
    """The character data of the export XML, read without an XML library (the export's
    names need not follow the older XML rules)."""
    text = xml.decode("cp932")
    text = re.sub(r"^<\?xml[^>]*\?>", "", text)
    return _SPACE.sub("", html.unescape(re.sub(r"<[^>]*>", "", text)))


def markup_text(markup):
    markup = re.sub(r"<rt>.*?</rt>|<rp>.*?</rp>|<figcaption>.*?</figcaption>", "", markup,
                    flags=re.S)
    markup = re.sub(r"<head>.*?</head>", "", markup, flags=re.S)
    return _SPACE.sub("", html.unescape(re.sub(r"<[^>]*>", "", markup)))


def spine(book):
    """The content documents of the EPUB in reading order."""
    opf = book.read("OEBPS/content.opf").decode("utf-8")
    hrefs = dict(re.findall(r'<item id="([^"]+)" href="([^"]+)"', opf))
    return [hrefs[idref] for idref in re.findall(r'<itemref idref="([^"]+)"', opf)]


def chapters_text(path):
    book = zipfile.ZipFile(path)
    return "".join(markup_text(book.read("OEBPS/" + name).decode("utf-8"))
                   for name in spine(book) if name.startswith("chapter"))


def readings(xml):
    return [html.unescape(r) for r in re.findall(r'<ruby param0="([^"]*)"', xml.decode("cp932"))]


class Conservation(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="quirtle-text-")
        rng = random.Random(19)
        cases = [("generated%02d" % n, manuscript(rng).encode("cp932")) for n in range(12)]
        cases.append(("novel", novel().encode("cp932")))
        if REALTEXT and os.path.isdir(REALTEXT):
            for name in sorted(os.listdir(REALTEXT)):
                if name.endswith(".txt"):
                    with open(os.path.join(REALTEXT, name), "rb") as text:
                        cases.append(("real-" + name[:-4], text.read()))
        cls.cases = []
        for index, (name, data) in enumerate(cases):
            xml = books.convert(data)
            epub = os.path.join(cls.folder, name + ".epub")
            writing = "--vertical" if index % 2 == 0 else "--horizontal"
            cls.cases.append((name, xml, epub, run_script("xml2epub.py", xml, epub, writing)))
        with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
            checks = {name: pool.submit(books.epubcheck, epub)
                      for name, _, epub, (status, _) in cls.cases if status == 0}
            cls.checks = {name: future.result() for name, future in checks.items()}

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder, ignore_errors=True)

    def test_every_epub_passes_epubcheck(self):
        for name, _, _, (status, errors) in self.cases:
            with self.subTest(name):
                self.assertEqual(status, 0, errors)
                self.assertNotIn("Traceback", errors)
                code, report = self.checks[name]
                self.assertEqual(code, 0, report[-3000:])
                self.assertIn("No errors or warnings detected", report)

    def test_the_chapters_hold_the_text_in_order(self):
        for name, xml, epub, (status, errors) in self.cases:
            with self.subTest(name):
                self.assertEqual(status, 0, errors)
                self.assertEqual(chapters_text(epub), character_data(xml))

    def test_the_html_page_holds_the_text_in_order(self):
        for name, xml, _, _ in self.cases:
            with self.subTest(name):
                output = os.path.join(self.folder, name + ".html")
                status, errors = run_script("xml2html.py", xml, output)
                self.assertEqual(status, 0, errors)
                with open(output, encoding="utf-8") as page:
                    self.assertEqual(markup_text(page.read()), character_data(xml))

    def test_the_plain_text_adds_only_its_own_marks(self):
        for name, xml, _, _ in self.cases:
            with self.subTest(name):
                output = os.path.join(self.folder, name + ".txt")
                status, errors = run_script("xml2text.py", xml, output)
                self.assertEqual(status, 0, errors)
                with open(output, encoding="utf-8") as result:
                    text = _SPACE.sub("", result.read())
                # Take away the readings written after their bases, then the marks.
                for reading in set(readings(xml)):
                    text = text.replace("(%s)" % _SPACE.sub("", reading), "")
                expected = character_data(xml)
                kept = iter(text)
                extra = []
                for character in expected:
                    for found in kept:
                        if found == character:
                            break
                        extra.append(found)
                    else:
                        self.fail("%s: the text lost %r" % (name, character))
                extra.extend(kept)
                self.assertLessEqual(set(extra), set("・>\u3000"), name)


class Shape(unittest.TestCase):
    """The reading order and the pages the book adds."""

    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="quirtle-shape-")
        with open(os.path.join(cls.folder, "cover.png"), "wb") as out:
            out.write(PNG)
        manuscript = ("\r\n".join([
            ":title 吾輩は猫である [わがはいはねこである]", ":author 夏目 漱石 [なつめ そうせき]",
            ":publisher 試験書房", ":edition 初版", ":image(cover) cover.png 表紙の絵",
            "\u3000前書き。", "** 一", "\u3000本文12月。", "*** 節", "本文。", "** 二",
            "「会話」", "**", "場面転換。"]) + "\r\n").encode("cp932")
        cls.xml = books.convert(manuscript)
        cls.vertical = os.path.join(cls.folder, "v.epub")
        cls.result = run_script("xml2epub.py", cls.xml, cls.vertical, "--vertical")
        cls.right = os.path.join(cls.folder, "r.epub")
        cls.run_right = run_script("xml2epub.py", cls.xml, cls.right, "--horizontal",
                                   "--chapter-start", "right")
        cls.check = books.epubcheck(cls.vertical)
        cls.check_right = books.epubcheck(cls.right)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder, ignore_errors=True)

    def test_reading_order_and_chapters(self):
        self.assertEqual(self.result[0], 0, self.result[1])
        for code, report in (self.check, self.check_right):
            self.assertEqual(code, 0, report)
        book = zipfile.ZipFile(self.vertical)
        self.assertEqual(spine(book), ["cover.xhtml", "titlepage.xhtml", "nav.xhtml",
                                       "chapter0001.xhtml", "chapter0002.xhtml",
                                       "chapter0003.xhtml", "colophon.xhtml"])
        first, one, two = (book.read("OEBPS/chapter%04d.xhtml" % n).decode() for n in (1, 2, 3))
        self.assertIn("前書き", first)
        self.assertNotIn("<h", first.split("<body")[1])
        self.assertIn(">一</h2>", one)
        self.assertIn(">節</h3>", one)  # a section below a chapter stays in it
        self.assertIn(">二</h2>", two)
        self.assertIn("場面転換", two)  # a section without a heading continues its chapter
        self.assertIn('<p class="noindent">\u3000前書き。</p>', first)
        self.assertIn('<p class="noindent">「会話」</p>', two)
        self.assertIn('本文<span class="tcy">12</span>月', one)
        cover = book.read("OEBPS/cover.xhtml").decode()
        self.assertRegex(cover, r'<img role="doc-cover" src="images/image0001.png" alt="表紙の絵"/>')
        self.assertNotIn("figcaption", "".join(book.read("OEBPS/" + n).decode()
                                               for n in spine(book)))

    def test_metadata_and_navigation(self):
        book = zipfile.ZipFile(self.vertical)
        opf = book.read("OEBPS/content.opf").decode()
        for expected in ('<dc:title id="title">吾輩は猫である</dc:title>',
                         '<meta refines="#title" property="file-as">わがはいはねこである</meta>',
                         '<dc:creator id="creator">夏目 漱石</dc:creator>',
                         '<meta refines="#creator" property="file-as">なつめ そうせき</meta>',
                         "<dc:publisher>試験書房</dc:publisher>",
                         '<meta name="primary-writing-mode" content="vertical-rl"/>',
                         '<spine page-progression-direction="rtl">',
                         'properties="cover-image"',
                         '<meta property="schema:accessibilityHazard">none</meta>',
                         '<meta property="schema:accessModeSufficient">textual</meta>'):
            self.assertIn(expected, opf)
        nav = book.read("OEBPS/nav.xhtml").decode()
        self.assertIn('role="doc-toc"', nav)
        for landmark in ("cover", "titlepage", "toc", "bodymatter", "colophon"):
            self.assertIn('epub:type="%s"' % landmark, nav)
        self.assertRegex(nav, r"(?s)>一</a>\s*<ol>\s*<li><a [^>]*>節</a></li>\s*</ol>")
        colophon = book.read("OEBPS/colophon.xhtml").decode()
        for expected in ("吾輩は猫である", "夏目 漱石 著", "初版", "試験書房", "発行"):
            self.assertIn(expected, colophon)
        horizontal = zipfile.ZipFile(self.right).read("OEBPS/content.opf").decode()
        self.assertIn('content="horizontal-tb"', horizontal)
        self.assertRegex(horizontal, r'<itemref idref="p\d+" linear="yes" '
                                     r'properties="page-spread-right"/>')

    def test_accessibility_checker_reports_no_serious_or_moderate_violation(self):
        ace = shutil.which("ace-puppeteer") or shutil.which("ace")
        if not ace:
            self.skipTest("DAISY Ace is not installed (npm package @daisy/ace)")
        environment = dict(os.environ)
        if os.path.exists("/usr/bin/chromium"):
            environment.setdefault("PUPPETEER_EXECUTABLE_PATH", "/usr/bin/chromium")
        report = os.path.join(self.folder, "ace")
        subprocess.run([ace, "-f", "-o", report, self.vertical], capture_output=True,
                       env=environment, timeout=600, check=True)
        with open(os.path.join(report, "report.json"), encoding="utf-8") as found:
            results = json.load(found)
        violations = [(test["earl:testSubject"]["url"], check["earl:test"]["dct:title"])
                      for test in results["assertions"]
                      for check in test.get("assertions", [])
                      if check["earl:test"]["earl:impact"] in ("critical", "serious",
                                                               "moderate")]
        self.assertEqual(violations, [])

    def test_an_empty_manuscript_and_one_of_commands_only(self):
        for manuscript in (b"", b":title T\r\n:author A\r\n"):
            path = os.path.join(self.folder, "e.epub")
            status, errors = run_script("xml2epub.py", books.convert(manuscript), path)
            self.assertEqual(status, 0, errors)
            book = zipfile.ZipFile(path)
            self.assertEqual(spine(book), ["titlepage.xhtml", "nav.xhtml", "colophon.xhtml"])
            self.assertEqual(books.epubcheck(path)[0], 0)


PNG = bytes.fromhex(
    "89504e470d0a1a0a0000000d4948445200000001000000010806000000"
    "1f15c4890000000d49444154789c6360f8cf000000030101006f5c5b6b0000000049454e44ae426082")


class SenderControlled(unittest.TestCase):
    """Pictures and outputs named by a manuscript someone else sent."""

    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="quirtle-sender-")
        self.book_folder = os.path.join(self.folder, "book")
        os.mkdir(self.book_folder)

    def tearDown(self):
        shutil.rmtree(self.folder, ignore_errors=True)

    def test_pictures_outside_the_folder_or_of_another_kind_are_refused(self):
        private = os.path.join(self.folder, "private.txt")
        with open(private, "wb") as out:
            out.write(b"GIF89a private bytes")
        with open(os.path.join(self.folder, "outside.png"), "wb") as out:
            out.write(PNG)
        with open(os.path.join(self.book_folder, "fine.png"), "wb") as out:
            out.write(PNG)
        with open(os.path.join(self.book_folder, "fake.gif"), "wb") as out:
            out.write(b"not a picture")
        os.symlink(private, os.path.join(self.book_folder, "shadow.gif"))
        os.mkfifo(os.path.join(self.book_folder, "pipe.png"))
        refused = (":image shadow.gif 影", ":image fake.gif", ":image ../outside.png",
                   ":image %s" % os.path.join(self.folder, "outside.png"), ":image pipe.png",
                   ":image(x) nowhere.png")
        manuscript = "\r\n".join(refused + (":image fine.png 良い", "本文。")) + "\r\n"
        xml = books.convert(manuscript.encode("cp932"))
        for script, extension in (("xml2epub.py", "epub"), ("xml2html.py", "html")):
            with self.subTest(script):
                output = os.path.join(self.book_folder, "out." + extension)
                status, errors = run_script(script, xml, output)
                self.assertEqual(status, 0, errors)
                lines = errors.strip().split("\n")
                self.assertEqual(len(lines), len(refused), errors)
                for line, command in zip(lines, refused):
                    self.assertIn(command, line)
                if extension == "epub":
                    book = zipfile.ZipFile(output)
                    stored = [book.read(n) for n in book.namelist() if "images/" in n]
                    self.assertEqual(stored, [PNG])
                else:
                    with open(output, encoding="utf-8") as page:
                        sources = re.findall(r'src="([^"]*)"', page.read())
                    self.assertEqual(sources, ["fine.png"])

    def test_outputs_that_are_not_regular_files_are_written_directly(self):
        xml = books.convert("* 題\r\n本文。\r\n".encode("cp932"))
        for script in ("xml2text.py", "xml2html.py", "xml2epub.py"):
            with self.subTest(script):
                fifo = os.path.join(self.folder, "fifo")
                os.mkfifo(fifo)
                with concurrent.futures.ThreadPoolExecutor(1) as pool:
                    def read_all():
                        with open(fifo, "rb") as pipe:
                            return pipe.read()
                    reader = pool.submit(read_all)
                    status, errors = run_script(script, xml, fifo)
                    data = reader.result(timeout=60)
                self.assertEqual(status, 0, errors)
                self.assertTrue(stat.S_ISFIFO(os.lstat(fifo).st_mode))
                self.assertTrue(data)
                os.unlink(fifo)
                status, errors = run_script(script, xml, "/dev/null")
                self.assertEqual(status, 0, errors)
                self.assertTrue(stat.S_ISCHR(os.stat("/dev/null").st_mode))

    def test_an_existing_output_keeps_its_permissions(self):
        output = os.path.join(self.folder, "kept.txt")
        with open(output, "wb") as out:
            out.write(b"old")
        os.chmod(output, 0o600)
        link = os.path.join(self.folder, "link.txt")
        os.symlink(output, link)
        status, errors = run_script("xml2text.py", books.convert("本文。\r\n".encode("cp932")),
                                    link)
        self.assertEqual(status, 0, errors)
        self.assertEqual(stat.S_IMODE(os.stat(output).st_mode), 0o600)
        self.assertTrue(os.path.islink(link))
        with open(output, encoding="utf-8") as result:
            self.assertEqual(result.read(), "本文。\n")

    def test_names_the_older_xml_rules_refuse_are_read(self):
        names = ("a・b", "ｱｲｳ", "﨑", "〆", "ＡＢＣ")
        manuscript = "\r\n".join(["|{%s} 区分%d" % (n, i) for i, n in enumerate(names)]
                                 + ["段落_中%d{%s}" % (i, n) for i, n in enumerate(names)]) + "\r\n"
        xml = books.convert(manuscript.encode("cp932"))
        output = os.path.join(self.folder, "names.html")
        status, errors = run_script("xml2html.py", xml, output)
        self.assertEqual(status, 0, errors)
        with open(output, encoding="utf-8") as page:
            markup = page.read()
        for index, name in enumerate(names):
            self.assertIn('<div class="%s"><div class="div_inner">区分%d' % (name, index), markup)
            self.assertIn('<span class="inline_command %s">中%d</span>' % (name, index), markup)

    def test_broken_xml_names_the_manuscript_line(self):
        xml = books.convert("* 題\r\n壊れる行\r\n".encode("cp932")).replace(
            "壊れる行</paragraph>".encode("cp932"), "壊れる行</paragrap>".encode("cp932"))
        status, errors = run_script("xml2text.py", xml, os.path.join(self.folder, "x.txt"))
        self.assertEqual(status, 1)
        self.assertEqual(len(errors.strip().split("\n")), 1, errors)
        self.assertIn("「壊れる行」", errors)
        self.assertIn("an element is closed that is not the one open", errors)


def main():
    global PROGRAM_DIR, CONVERTER, REALTEXT, SCRIPT_DIR
    PROGRAM_DIR, CONVERTER, REALTEXT = sys.argv[1:4]
    SCRIPT_DIR = os.path.join(PROGRAM_DIR, "script")
    books.PROGRAM_DIR, books.CONVERTER, books.SCRIPT_DIR = PROGRAM_DIR, CONVERTER, SCRIPT_DIR
    unittest.main(argv=[sys.argv[0]] + sys.argv[4:], verbosity=2)


if __name__ == "__main__":
    main()
