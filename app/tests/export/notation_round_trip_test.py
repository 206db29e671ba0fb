"""Manuscripts written out by the shipped notation entries and read back by quirtle-import:
青空文庫 text gives the same export XML again (paragraphs, sections, ruby, emphasis,
縦中横, page breaks, indents, and text that looks like notation); カクヨム and 小説家になろう
text keeps every ruby and emphasis.

Usage: notation_round_trip_test.py PROGRAM_DIR QUIRTLE_CONVERT QUIRTLE_IMPORT [unittest args]
"""

import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile
import unittest

PROGRAM_DIR = CONVERTER = IMPORTER = None


def convert(manuscript):
    return subprocess.run([CONVERTER], input=manuscript, capture_output=True,
                          check=True).stdout


def manuscript(lines):
    return ("\r\n".join(lines) + "\r\n").encode("cp932")


def export(label, xml, output):
    with open(os.path.join(PROGRAM_DIR, "script.cfg"), "rb") as cfg:
        entry = next(line.split("\t", 4) for line in cfg.read().decode("cp932").split("\r\n")
                     if line.startswith(label))
    _, program, script, arguments, _ = entry
    script_dir = os.path.join(PROGRAM_DIR, "script")
    command = shlex.split(program) + [os.path.join(script_dir, script)]
    command += shlex.split(arguments) + ["-o", output]
    result = subprocess.run(command, input=xml, cwd=script_dir, capture_output=True,
                            timeout=120)
    if result.returncode != 0:
        raise AssertionError(result.stderr.decode("utf-8", "replace"))


def import_text(path, notation):
    result = subprocess.run([IMPORTER, "--from", notation, path], capture_output=True)
    if result.returncode != 0:
        raise AssertionError(result.stderr.decode("utf-8", "replace"))
    return result.stdout


def inline_elements(xml):
    """The rubies (base, reading) and emphases of an export document, in order."""
    text = xml.decode("cp932")
    return re.findall(r'<ruby param0="([^"]*)">(.*?)</ruby>|<em>(.*?)</em>', text)


class RoundTrips(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="quirtle-round-trip-")

    def tearDown(self):
        shutil.rmtree(self.folder, ignore_errors=True)

    def through(self, label, notation, lines):
        original = convert(manuscript(lines))
        output = os.path.join(self.folder, "out.txt")
        export(label, original, output)
        return original, convert(import_text(output, notation))

    def test_aozora_gives_the_same_document(self):
        manuscripts = [
            [":title 雨の駅", ":author 山田花子", "* 第一章",
             "　_駅舎[えきしゃ]に雨が降る。一番_獰悪[どうあく]な_傘*を持って。",
             "_十二月[じゅうにがつ]の_12{tcy}日、__吾輩[わがはい]*は_猫*である。",
             "** 待合室", ":pagebreak", "|{indent 2} 字下げの一行目", "| 二行目",
             "　字下げの後の段落。", "*** 回想", "三つ目の深さ。", "* 第二章", "最後。"],
            # Text that looks like notation stays text.
            [":title 記号", ":author 著者", "* 記号",
             "記号《と》｜と※印と［＃も、a\\_b と \\\\ と \\* も文字のまま。",
             "\\*行頭の記号", "\\- 行頭の記号", "｜漢字《かんじ》と書いた人"],
            [":title 字下げ", ":author 著者", "|{indent 1} 一字", "",
             "|{indent 3} 三字", "| 三字の二行目", ":pagebreak", "本文"],
        ]
        for lines in manuscripts:
            original, again = self.through("青空文庫形式テキスト", "aozora", lines)
            self.assertNotIn(b"incomplete", original)
            self.assertEqual(again.decode("cp932"), original.decode("cp932"), lines)

    def test_web_novels_keep_ruby_and_emphasis(self):
        lines = [":title 雨の駅", "* 第一話", "_駅舎[えきしゃ]に_傘*を。",
                 "カナ_漢字[かんじ]と_長い言葉[ながいことば]、_強調*した_所*。",
                 "「_約束[やくそく]」と《かっこ》と漢字（かんじ）の文字。", "* 第二話",
                 "_Ｓ駅[えすえき]で_二人*。"]
        for label, notation in (("カクヨム投稿用テキスト", "kakuyomu"),
                                ("小説家になろう投稿用テキスト", "narou")):
            original, again = self.through(label, notation, lines)
            self.assertEqual(inline_elements(again), inline_elements(original), notation)
            self.assertGreater(len(inline_elements(original)), 8)


if __name__ == "__main__":
    PROGRAM_DIR, CONVERTER, IMPORTER = sys.argv[1:4]
    unittest.main(argv=sys.argv[:1] + sys.argv[4:])
