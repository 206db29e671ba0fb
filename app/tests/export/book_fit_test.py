"""What the books fit around: ruby longer than its base overhangs its neighbours as the
house rule allows (measured on a printed page), and pictures larger than the book can
use go into the EPUB and the PDF scaled, the picture files untouched.

Usage: book_fit_test.py PROGRAM_DIR QUIRTLE_CONVERT [unittest args]
"""

import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import book_scripts_test as books  # noqa: E402

pdfbook = None  # the shipped module, imported in main()

KANA_READING = "よみかた"  # four reading characters: two em over a one-em base


def export_rubies(manuscript):
    """The <ruby> start tags of the EPUB's pages for a one-paragraph manuscript."""
    document = books.convert(manuscript.encode("cp932"))
    folder = tempfile.mkdtemp(prefix="quirtle-fit-")
    try:
        path = os.path.join(folder, "book.epub")
        status, errors = books.run_entry(books.entry("EPUB 縦書き"), document, path)
        if status != 0:
            raise AssertionError(errors)
        book = zipfile.ZipFile(path)
        pages = "".join(book.read(n).decode() for n in book.namelist() if "chapter" in n)
    finally:
        shutil.rmtree(folder, ignore_errors=True)
    return re.findall(r"<ruby[^>]*>", pages)


class RubyMargins(unittest.TestCase):
    def test_neighbours_are_found_through_emphasis_and_commands(self):
        """(manuscript line, the ruby's start tag): the characters next to a ruby are
        looked for across emphasis and inline commands, up to the paragraph's edge."""
        r = "_字[%s]" % KANA_READING
        cases = (
            ("あ%sう" % r, '<ruby style="margin-inline: -0.25em -0.25em">'),
            ("漢%s字" % r, '<ruby style="margin-inline: 0.25em 0.25em">'),
            ("%s" % r, "<ruby>"),  # alone in its paragraph
            ("%s%s" % (r, r), "<ruby>"),  # a ruby beside a ruby: the edge, the other
            ("_あ*%s_う{cmd}" % r, '<ruby style="margin-inline: -0.25em -0.25em">'),
            ("__あ*{cmd}%s_字*" % r, '<ruby style="margin-inline: -0.25em 0.25em">'),
            ("「%s」" % r, '<ruby style="margin-inline: 0.25em 0.25em">'),
            ("」%s「" % r, '<ruby style="margin-inline: -0.25em -0.25em">'),
            ("・%s・" % r, "<ruby>"),  # a quarter em of blank: the engine's overhang
            ("あ_字[よみか]う", "<ruby>"),  # the engine's own quarter em suffices
            ("あ_漢字[よみかた]う", "<ruby>"),  # not longer than its base
            ("あ_AB[えーびーしー]う", "<ruby>"),  # a Latin base: its width is the font's
            ("12_字[%s]34" % KANA_READING, '<ruby style="margin-inline: 0.25em 0.25em">'),
        )
        for line, expected in cases:
            with self.subTest(line):
                found = export_rubies("%s\r\n" % line)
                self.assertEqual(found[:1], [expected], found)


def columns(path, page=1):
    """The words of a vertical page by column from the right: lists of (yMin, yMax, text,
    xMin, xMax), top to bottom; a column's words start within 2 points of one another."""
    out = []
    for word in sorted(books.words(path, page), key=lambda w: -w[0]):
        glyph = (word[1], word[3], word[4], word[0], word[2])
        if out and out[-1][0][3] - glyph[3] < 2:
            out[-1].append(glyph)
        else:
            out.append([glyph])
    return [sorted(column) for column in out]


RESOLUTION = 288  # pixels an inch of the page pictures the readings are measured on


def page_picture(path, folder, page=1):
    """(width, height, grey bytes) of a page rendered at RESOLUTION."""
    stem = os.path.join(folder, "page")
    subprocess.run(["pdftoppm", "-r", str(RESOLUTION), "-gray", "-f", str(page), "-l",
                    str(page), "-singlefile", path, stem], check=True)
    with open(stem + ".pgm", "rb") as picture:
        data = picture.read()
    _, width, height, _ = data.split(None, 4)[:4]
    width, height = int(width), int(height)
    return width, height, data[len(data) - width * height:]


def inked(picture, left, right, top, bottom):
    """The points from the top (in steps of a pixel) where the strip from `left` to
    `right` (points) has ink, between `top` and `bottom`."""
    width, _, pixels = picture
    scale = RESOLUTION / 72
    x0, x1 = int(left * scale), int(right * scale)
    return [y / scale for y in range(int(top * scale), int(bottom * scale))
            if min(pixels[y * width + x0:y * width + x1]) < 128]


class RubyOnThePage(unittest.TestCase):
    """A small vertical PDF: each case printed with and without its readings; the base
    glyphs must stand where the plain text has them, plus the space the rule leaves; the
    readings (measured as ink beside the line, the text of the PDF leaving them out)
    reach half an em over kana and blank punctuation beside the ruby, never over a kanji."""

    # (line with ruby, space in em left before and after each ruby's base, in order)
    CASES = (
        ("あい_字[よみかた]うえ", (0, 0)),
        ("漢漢_字[よみかた]漢漢", (0.5, 0.5)),
        ("あ_字[よみかた]_字[よみかた]う", (0, 0.5, 0.5, 0)),
        ("あい_字[よみかたよみ]うえ", (0.5, 0.5)),
        ("漢_字[よみかた]う", (0.5, 0)),
        ("」_字[よみかた]「", (0, 0)),
    )

    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="quirtle-ruby-page-")
        lines = []
        for line, _ in cls.CASES:
            lines += [re.sub(r"\[[^]]*\]", "", line).replace("_", ""), line]
        cls.pdf = os.path.join(cls.folder, "ruby.pdf")
        found = books.entry("PDF 縦書き A5")
        arguments = "--vertical --page-size A4 --grid 20x14 --chapter-start any"
        cls.result = books.run_entry(found[:3] + (arguments,) + found[4:],
                                     books.convert(("\r\n".join(lines) + "\r\n")
                                                   .encode("cp932")), cls.pdf)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder, ignore_errors=True)

    def test_bases_keep_their_spacing_and_readings_overhang_only_kana(self):
        self.assertEqual(self.result[0], 0, self.result[1])
        found = columns(self.pdf)
        size = max(g[4] - g[3] for column in found for g in column)  # a base glyph's
        bases = [c for c in found if c[0][4] - c[0][3] > 0.8 * size
                 and not "".join(g[2] for g in c).isdigit()]  # not the page number
        self.assertEqual(len(bases), 2 * len(self.CASES), [b[0][2] for b in bases])
        picture = page_picture(self.pdf, self.folder)
        tolerance = 0.1 * size
        for index, (line, spaces) in enumerate(self.CASES):
            plain, ruby = bases[2 * index], bases[2 * index + 1]
            with self.subTest(line):
                self.assertEqual([g[2] for g in plain], [g[2] for g in ruby])
                # Where each base glyph should be: the plain line's place, shifted by the
                # spaces of the rubies before it.
                shift, expected = 0.0, []
                pieces = re.findall(r"_(.)\[[^]]*\]|(.)", line)
                space = iter(spaces)
                for (base, _), glyph in zip(pieces, plain):
                    if base:
                        shift += next(space) * size
                    expected.append(glyph[0] + shift)
                    if base:
                        shift += next(space) * size
                for glyph, place in zip(ruby, expected):
                    self.assertAlmostEqual(glyph[0], place, delta=tolerance,
                                           msg="%s at %.1f, expected %.1f (size %.1f)"
                                           % (glyph[2], glyph[0], place, size))
                # No base glyph overlaps another.
                for first, second in zip(ruby, ruby[1:]):
                    self.assertLessEqual(first[1], second[0] + tolerance, (first, second))
                # The readings: ink in the half em beside the line (vertical-rl: right).
                right = max(g[4] for g in ruby)
                ink = inked(picture, right + 0.05 * size, right + 0.5 * size,
                            ruby[0][0] - size, ruby[-1][1] + size)
                self.assertTrue(ink, "no reading printed")
                for number, (base, text) in enumerate(pieces):
                    if base:
                        continue
                    neighbours = [pieces[n][0] for n in (number - 1, number + 1)
                                  if 0 <= n < len(pieces)]
                    if not any(neighbours):
                        continue  # beside no ruby
                    glyph = ruby[number]
                    over = [y for y in ink if glyph[0] <= y <= glyph[1]]
                    reach = (max(over) - min(over)) / size if over else 0.0
                    if text == "漢":
                        self.assertLess(reach, 0.05, "a reading over %s" % text)
                    else:
                        self.assertGreater(reach, 0.3, "%s: %.2f em" % (text, reach))
                        self.assertLess(reach, 0.55, "%s: %.2f em" % (text, reach))


def png_size(data):
    """(width, height) of a PNG's bytes."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n"
    return struct.unpack(">II", data[16:24])


def pillow_python():
    """An interpreter that has Pillow: the one the shipped entries name first, or None."""
    for candidate in (shutil.which("python3"), sys.executable, "/usr/bin/python3"):
        if candidate and subprocess.run([candidate, "-c", "import PIL.Image"],
                                        capture_output=True).returncode == 0:
            return candidate
    return None


# A photograph taken turned: 4000 by 3000 pixels stored, shown 3000 by 4000 (Exif
# orientation 6). Made with Pillow.
TURNED_JPEG = """
import sys
from PIL import Image
exif = Image.Exif()
exif[0x0112] = 6
Image.new("RGB", (4000, 3000), (90, 120, 60)).save(sys.argv[1], exif=exif.tobytes())
"""


class BigPictures(unittest.TestCase):
    """(file, width, height) pictures in one manuscript: a wide one, a tall one, a small
    one and, where Pillow can make it, a turned photograph."""

    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="quirtle-big-pictures-")
        os.mkdir(os.path.join(cls.folder, "images"))
        cls.files = {"big.png": books.png(6000, 4000), "tall.png": books.png(900, 9000),
                     "small.png": books.png(120, 80)}
        for name, data in cls.files.items():
            with open(os.path.join(cls.folder, "images", name), "wb") as out:
                out.write(data)
        cls.pillow = pillow_python()
        if cls.pillow:
            turned = os.path.join(cls.folder, "images", "turned.jpg")
            subprocess.run([cls.pillow, "-c", TURNED_JPEG, turned], check=True)
            with open(turned, "rb") as picture:
                cls.files["turned.jpg"] = picture.read()
        lines = ["* 章", "本文。"] + [":image images/%s 絵%s" % (name, name.split(".")[0])
                                    for name in cls.files]
        cls.xml = books.convert(("\r\n".join(lines) + "\r\n").encode("cp932"))
        # No Pillow: a PIL package on the path that cannot be imported.
        cls.no_pillow = os.path.join(cls.folder, "nopillow")
        os.makedirs(os.path.join(cls.no_pillow, "PIL"))
        with open(os.path.join(cls.no_pillow, "PIL", "__init__.py"), "w") as out:
            out.write('raise ImportError("no Pillow here")\n')

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder, ignore_errors=True)

    def run_book(self, label, name, python=None, environment=None):
        found = books.entry(label)
        output = os.path.join(self.folder, name)
        command = [python or found[1], os.path.join(books.SCRIPT_DIR, found[2])] + \
            found[3].split() + ["-o", output]
        result = subprocess.run(command, input=self.xml, cwd=books.SCRIPT_DIR,
                                capture_output=True, timeout=300,
                                env=dict(os.environ, **(environment or {})))
        errors = result.stderr.decode("utf-8", "replace")
        self.assertEqual(result.returncode, 0, errors)
        self.assertNotIn("Traceback", errors)
        return output, errors

    def assert_originals_untouched(self):
        for name, data in self.files.items():
            with open(os.path.join(self.folder, "images", name), "rb") as picture:
                self.assertEqual(picture.read(), data, name)

    def python(self):
        if self.pillow is None:
            self.skipTest("no Python with Pillow (Debian package python3-pil)")
        return self.pillow

    def test_the_epub_holds_big_pictures_scaled_and_the_small_one_as_it_is(self):
        path, errors = self.run_book("EPUB 縦書き", "big.epub", self.python())
        self.assertEqual(errors, "")
        book = zipfile.ZipFile(path)
        page = book.read("OEBPS/chapter0001.xhtml").decode()
        for index, (name, ratio) in enumerate((("big.png", 1.5), ("tall.png", 0.1))):
            with self.subTest(name):
                width, height = png_size(book.read("OEBPS/images/image%04d.png" % (index + 1)))
                self.assertLessEqual(max(width, height), 3200)
                self.assertLessEqual(width * height, 4_000_000)
                # Scaled no further than the limit needs.
                self.assertGreater(max(max(width, height) / 3200, width * height / 4e6), 0.99)
                self.assertAlmostEqual(width / height, ratio, delta=0.01)
                self.assertIn('width="%d" height="%d"' % (width, height), page)
        self.assertEqual(book.read("OEBPS/images/image0003.png"), self.files["small.png"])
        self.assertIn('width="120" height="80"', page)
        status, report = books.epubcheck(path)
        self.assertEqual(status, 0, report)
        self.assert_originals_untouched()

    def test_the_pdf_prints_big_pictures_at_350_dpi_of_their_box(self):
        path, errors = self.run_book("PDF 縦書き A5", "big.pdf", self.python())
        self.assertEqual(errors, "")
        lines = subprocess.run(["pdfimages", "-list", path], capture_output=True,
                               check=True).stdout.decode().splitlines()[2:]
        # (width, height, x ppi, y ppi) of each picture, by its proportions.
        pictures = [tuple(int(f) for f in line.split()[3:5] + line.split()[12:14])
                    for line in lines if line.split()[2] == "image"]
        self.assertEqual(sum(1 for p in pictures if p[:2] == (120, 80)), 1)  # as it is
        found = {round(p[0] / p[1], 1): p for p in pictures if p[:2] != (120, 80)}
        expected = {0.1: "tall", 1.5: "big", 1.3: "turned"}
        self.assertEqual(len(found), len(self.files) - 1, found)
        for ratio, (width, height, x_ppi, y_ppi) in found.items():
            with self.subTest(expected[ratio]):
                # Scaled to the box it is shown in, whichever way it is turned.
                self.assertGreaterEqual(min(x_ppi, y_ppi), 340)
                self.assertLessEqual(max(x_ppi, y_ppi), 360)
        self.assert_originals_untouched()

    def test_without_pillow_the_pictures_go_in_as_they_are_and_it_is_said_once(self):
        path, errors = self.run_book("EPUB 縦書き", "nopillow.epub",
                                     environment={"PYTHONPATH": self.no_pillow})
        lines = errors.strip().splitlines()
        self.assertEqual(len(lines), 1, errors)
        self.assertIn("python3-pil", lines[0])
        book = zipfile.ZipFile(path)
        for index, name in enumerate(self.files):
            self.assertEqual(book.read("OEBPS/images/image%04d%s" % (
                index + 1, os.path.splitext(name)[1])), self.files[name], name)


def main():
    global pdfbook
    books.PROGRAM_DIR, books.CONVERTER = sys.argv[1:3]
    books.SCRIPT_DIR = os.path.join(books.PROGRAM_DIR, "script")
    sys.path.insert(0, books.SCRIPT_DIR)
    import pdfbook as shipped_pdfbook
    pdfbook = shipped_pdfbook
    unittest.main(argv=[sys.argv[0]] + sys.argv[3:], verbosity=2)


if __name__ == "__main__":
    main()
