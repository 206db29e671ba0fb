"""The prize-submission manuscripts, run as the editor runs the shipped entries and
measured with pdftotext -bbox: A4 landscape, the grid of every full page, the page
numbers, the first page's counts, a page break, the manuscript paper's two halves.

Usage: manuscript_test.py PROGRAM_DIR QUIRTLE_CONVERT [unittest args]
"""

import os
import random
import re
import shlex
import shutil
import subprocess
import sys
import tempfile
import unittest

PROGRAM_DIR = CONVERTER = SCRIPT_DIR = None
# Kana no line may begin or end with under any rule: every line of a paragraph of them
# but its last is full.
KANA = "あいうえおかきくけこさしすせそたちてとなにぬねのはひふへほまみむめもやゆよらりるれろわ"


def manuscript(count, seed=1):
    """(export XML, the text blocks: the heading and the paragraphs) of a manuscript with
    a page break after half its paragraphs."""
    rng = random.Random(seed)
    lines = [":title 試験の原稿", ":author 山田 花子", "** 第一章"]
    blocks = ["第一章"]
    for index in range(count):
        blocks.append("".join(rng.choice(KANA) for _ in range(rng.randint(20, 400))))
        lines.append(blocks[-1])
        if index == count // 2:  # after blocks[count // 2 + 1]
            lines.append(":pagebreak")
    data = ("\r\n".join(lines) + "\r\n").encode("cp932")
    xml = subprocess.run([CONVERTER], input=data, capture_output=True, check=True).stdout
    return xml, blocks


def export(label, xml, output):
    with open(os.path.join(PROGRAM_DIR, "script.cfg"), "rb") as cfg:
        found = [line.split("\t", 4) for line in cfg.read().decode("cp932").split("\r\n")
                 if line.startswith(label)][0]
    command = shlex.split(found[1]) + [os.path.join(SCRIPT_DIR, found[2])]
    command += shlex.split(found[3]) + ["-o", output]
    result = subprocess.run(command, input=xml, cwd=SCRIPT_DIR, capture_output=True,
                            timeout=240)
    return result.returncode, result.stderr.decode("utf-8", "replace")


def pages(path):
    """[(width, height, [(xMin, yMin, xMax, yMax, text)])] of every page."""
    out = subprocess.run(["pdftotext", "-bbox", path, "-"], capture_output=True,
                         check=True).stdout.decode("utf-8")
    found = []
    for width, height, body in re.findall(
            r'<page width="([\d.]+)" height="([\d.]+)">(.*?)</page>', out, re.S):
        words = [(float(a), float(b), float(c), float(d), t) for a, b, c, d, t in re.findall(
            r'<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">(.*?)</word>',
            body)]
        found.append((float(width), float(height), words))
    return found


def columns(words):
    """The lines of a page of vertical text, right to left: [(x, text)]; the glyphs of
    the text (kana of the manuscript and the heading) only."""
    glyphs = [w for w in words if len(w[4]) == 1 and w[4] in KANA + "第一章"]
    lines = {}
    for word in glyphs:
        centre = (word[0] + word[2]) / 2
        key = next((x for x in lines if abs(x - centre) < 2), centre)
        lines.setdefault(key, []).append(word)
    out = []
    for key in sorted(lines, reverse=True):
        centres = sorted((w[0] + w[2]) / 2 for w in lines[key])
        out.append((centres[len(centres) // 2],
                    "".join(w[4] for w in sorted(lines[key], key=lambda w: w[1]))))
    return out


class Manuscripts(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="quirtle-manuscript-")
        cls.xml, cls.blocks = manuscript(40)
        cls.characters = sum(len(block) for block in cls.blocks)
        # Lines of 20, each block after a one-character indent; pages of 20 of them.
        cls.twenty = sum((len(block) + 1 + 19) // 20 for block in cls.blocks)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder, ignore_errors=True)

    def printed(self, label):
        path = os.path.join(self.folder, "%d.pdf" % abs(hash(label)))
        status, errors = export(label, self.xml, path)
        self.assertEqual(status, 0, errors)
        return path, pages(path)

    def check_front(self, path, body_pages):
        text = "".join(subprocess.run(["pdftotext", "-raw", "-f", "1", "-l", "1", path, "-"],
                                      capture_output=True, check=True).stdout.decode().split())
        self.assertIn("試験の原稿", text)
        self.assertIn("山田", text)
        self.assertIn("本文%d字" % self.characters, text)
        self.assertIn("換算%d枚" % ((self.twenty + 19) // 20), text)
        self.assertIn("%d枚" % body_pages, text)

    def test_forty_by_forty(self):
        path, found = self.printed("PDF 応募原稿 A4横 40字×40行")
        self.check_front(path, len(found) - 1)
        printed, all_lines = [], []
        for number, (width, height, words) in enumerate(found[1:], 1):
            self.assertEqual((round(width), round(height)), (842, 595))
            lines = columns(words)
            printed.append(len(lines))
            # The page number stands at the foot, under the middle of the page.
            foot = [w for w in words if w[4] == str(number)]
            self.assertTrue(foot and abs((foot[0][0] + foot[0][2]) / 2 - width / 2) < 5
                            and foot[0][1] > max(w[3] for w in words if w not in foot),
                            "page %d" % number)
            # On the grid: a whole number of line pitches between lines.
            pitches = [a[0] - b[0] for a, b in zip(lines, lines[1:])]
            self.assertTrue(all(abs(p / min(pitches) - round(p / min(pitches))) < 0.03
                                for p in pitches), "page %d: %s" % (number, pitches))
            all_lines += [line for _, line in lines]
        # Every block's lines hold 40 characters but its last (the first after its indent,
        # a heading after two); a heading takes two lines.
        lines = list(all_lines)
        ends = []
        for block in self.blocks:
            taken = []
            while lines and len("".join(taken)) < len(block):
                taken.append(lines.pop(0))
            self.assertEqual("".join(taken), block)
            indent = 2 if block.startswith("第") else 1
            self.assertEqual([len(line) for line in taken[:-1]],
                             [40 - indent] + [40] * (len(taken) - 2) if len(taken) > 1 else [])
            ends.append(len(all_lines) - len(lines))
        # The paragraph after the page break begins a page; every page but the first
        # (its heading takes two lines, one of them blank), the one the break ends and
        # the last holds 40 lines.
        starts = [sum(printed[:i]) for i in range(len(printed))]
        broken = starts.index(ends[len(self.blocks) // 2 + 1]) - 1
        self.assertEqual([i for i, n in enumerate(printed[:-1]) if n != 40], [0, broken])
        self.assertEqual(printed[0], 39)

    def test_manuscript_paper(self):
        path, found = self.printed("PDF 原稿用紙 20字×20行")
        self.check_front(path, len(found) - 1)
        full = 0
        for number, (width, height, words) in enumerate(found[1:], 1):
            self.assertEqual((round(width), round(height)), (842, 595))
            lines = columns(words)
            # Two halves of ten lines; the column between them holds the page number.
            gaps = [a[0] - b[0] for a, b in zip(lines, lines[1:])]
            if len(lines) == 20:
                full += 1
                self.assertGreater(gaps[9], 1.5 * gaps[0])
                self.assertLess(max(gaps[:9] + gaps[10:]) - min(gaps[:9] + gaps[10:]), 0.5)
                centre = [w for w in words if w[4] == str(number)]
                self.assertTrue(centre and lines[10][0] < centre[0][0] < lines[9][0],
                                "page %d" % number)
            for _, line in lines:
                self.assertLessEqual(len(line), 20)
        self.assertGreater(full, 5)


if __name__ == "__main__":
    PROGRAM_DIR, CONVERTER = sys.argv[1:3]
    SCRIPT_DIR = os.path.join(PROGRAM_DIR, "script")
    unittest.main(argv=[sys.argv[0]] + sys.argv[3:])
