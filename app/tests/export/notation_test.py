"""The plain-text notations (カクヨム, 小説家になろう, 青空文庫) and the EPUB's page breaks,
run as the editor runs the shipped entries.

Usage: notation_test.py PROGRAM_DIR QUIRTLE_CONVERT [unittest args]
"""

import os
import shlex
import shutil
import subprocess
import sys
import tempfile
import unittest

PROGRAM_DIR = CONVERTER = SCRIPT_DIR = None


def convert(lines):
    data = ("\r\n".join(lines) + "\r\n").encode("cp932")
    return subprocess.run([CONVERTER], input=data, capture_output=True, check=True).stdout


def entry(label):
    with open(os.path.join(PROGRAM_DIR, "script.cfg"), "rb") as cfg:
        for line in cfg.read().decode("cp932").split("\r\n"):
            if line.startswith(label):
                return line.split("\t", 4)
    raise AssertionError("no entry " + label)


def export(label, xml, output):
    """Runs the entry as the editor does; (exit status, standard error)."""
    _, program, script, arguments, _ = entry(label)
    command = shlex.split(program) + [os.path.join(SCRIPT_DIR, script)]
    command += shlex.split(arguments) + ["-o", output]
    result = subprocess.run(command, input=xml, cwd=SCRIPT_DIR, capture_output=True,
                            timeout=120)
    return result.returncode, result.stderr.decode("utf-8", "replace")


class Notations(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="quirtle-notation-")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.folder, ignore_errors=True)

    def write(self, label, lines, name="out.txt", xml=None):
        output = os.path.join(self.folder, name)
        status, errors = export(label, xml or convert(lines), output)
        self.assertEqual(status, 0, errors)
        with open(output, "rb") as result:
            return result.read(), errors

    def test_web_novel_lines(self):
        long_base = "長" * 21
        cases = [  # (site, line of the manuscript, line written, a note expected)
            ("カクヨム", "_駅舎[えきしゃ]で", "｜駅舎《えきしゃ》で", False),
            ("カクヨム", "あ_傘*い", "あ《《傘》》い", False),
            ("カクヨム", "《括弧》と|棒", "｜《括弧》と|棒", False),
            ("カクヨム", "_%s[ながい]" % long_base, "%s（ながい）" % long_base, True),
            ("カクヨム", "_%s[%s]" % ("長" * 20, "な" * 50), "｜%s《%s》" % ("長" * 20, "な" * 50),
             False),
            ("カクヨム", "__駅*[えき]", "｜駅《えき》", True),
            ("小説家になろう", "_駅舎[えきしゃ]で", "｜駅舎《えきしゃ》で", False),
            ("小説家になろう", "_傍点*だ", "｜傍《・》｜点《・》だ", False),
            ("小説家になろう", "_十一文字の長い基底文字[ながい]", "十一文字の長い基底文字｜（ながい）", True),
            ("小説家になろう", "漢字（かんじ）と(かな)とかな（かな）", "漢字｜（かんじ）と(かな)とかな（かな）",
             False),
            ("小説家になろう", "《括弧》", "｜《括弧》", False),
        ]
        for site, line, written, noted in cases:
            with self.subTest(site=site, line=line):
                text, errors = self.write(site, ["* 章", line])
                self.assertEqual(text.decode("utf-8"), "章\n\n%s\n" % written)
                self.assertEqual(bool(errors), noted, errors)

    def test_one_episode_per_chapter_in_a_folder_named_after_the_output(self):
        lines = [":title 作品", "前書きの段落。", "** 第一話 雨/風", "一話の段落。", "*** 小見出し",
                 "続き。", ":pagebreak", "** 第二話", "二話の段落。"]
        folder = os.path.join(self.folder, "novel")
        os.makedirs(folder, exist_ok=True)
        for stale, keep in (("009_古い話.txt", False), ("メモ.txt", True)):
            with open(os.path.join(folder, stale), "w") as out:
                out.write("old")
        text, _ = self.write("カクヨム", lines, "novel.txt")
        self.assertEqual(text.decode("utf-8"),
                         "前書きの段落。\n\n\n第一話 雨/風\n\n一話の段落。\n\n小見出し\n\n続き。\n"
                         "\n\n第二話\n\n二話の段落。\n")
        self.assertEqual(sorted(os.listdir(folder)),
                         ["001.txt", "002_第一話 雨_風.txt", "003_第二話.txt", "メモ.txt"])
        with open(os.path.join(folder, "002_第一話 雨_風.txt"), encoding="utf-8") as episode:
            self.assertEqual(episode.read(), "一話の段落。\n\n小見出し\n\n続き。\n")

    def test_aozora_text(self):
        lines = [":title 雨の駅", ":author 山田 花子", "* 第一章", "** 駅", "*** 待合室",
                 "　_駅舎[えきしゃ]の_傘*と、あの_中[なか]と_雨[あめ]_傘[がさ]。",
                 "_ひらがな[ひらがな]と一_枚[まい]と_A4[えーよん]",
                 "_括弧「*と__駅*[えき]_の*",
                 "《》と｜と［＃と_※*",
                 "_12{tcy}月", ":pagebreak", "|{indent 3} 下げた段落", "", "> 引用", "",
                 "外字〓と〓と〓。"]
        xml = convert(lines).replace("〓".encode("cp932"), b"&#x20B9F;", 1) \
            .replace("〓".encode("cp932"), b"&#x4E02;", 1) \
            .replace("〓".encode("cp932"), b"&#x1F600;", 1)
        data, errors = self.write("青空文庫形式テキスト", None, "aozora.txt", xml)
        self.assertEqual(errors, "")
        self.assertTrue(data.endswith(b"\r\n") and b"\n" not in data.replace(b"\r\n", b""))
        self.assertEqual(data.decode("cp932").split("\r\n"), [
            "雨の駅", "山田 花子", "",
            "第一章［＃「第一章」は大見出し］", "", "駅［＃「駅」は中見出し］", "",
            "待合室［＃「待合室」は小見出し］", "",
            "　駅舎《えきしゃ》の傘［＃「傘」に傍点］と、あの中《なか》と雨《あめ》傘《がさ》。",
            "｜ひらがな《ひらがな》と一｜枚《まい》と｜A4《えーよん》",
            "［＃傍点］括弧「［＃傍点終わり］と［＃傍点］｜駅《えき》の［＃傍点終わり］",
            "※［＃始め二重山括弧、1-1-52］※［＃終わり二重山括弧、1-1-53］と※［＃縦線、1-1-35］と"
            "※［＃始め角括弧、1-1-46］＃と［＃傍点］※［＃米印、1-2-8］［＃傍点終わり］",
            "12［＃「12」は縦中横］月", "［＃改ページ］",
            "［＃ここから3字下げ］", "下げた段落", "［＃ここで字下げ終わり］",
            "［＃ここから2字下げ］", "引用", "［＃ここで字下げ終わり］",
            "外字※［＃「CJK UNIFIED IDEOGRAPH-20B9F」、第3水準1-47-52］と"
            "※［＃「CJK UNIFIED IDEOGRAPH-4E02」、第4水準2-1-2］と"
            "※［＃「GRINNING FACE」、U+1F600］。", ""])

    def test_a_page_break_starts_a_content_document_of_the_same_chapter(self):
        sys.path.insert(0, SCRIPT_DIR)
        import exportxml
        import xml2epub
        document = exportxml.parse(convert(["** 章", "前の段落。", "> 引用の中", ":pagebreak",
                                            "> 続きの引用", "後の段落。", "** 次の章", "次。"]))
        parts = xml2epub.split_parts(document)
        texts = ["".join(e.text() if isinstance(e, exportxml.Element) else e
                         for e in part.elements).replace("\n", "") for part in parts]
        self.assertEqual(texts, ["章前の段落。引用の中", "続きの引用後の段落。", "次の章次。"])
        self.assertEqual([(p.chapter, p.continued) for p in parts],
                         [(True, False), (False, True), (True, False)])
        # The part after the break is still inside the chapter's section.
        self.assertEqual(parts[1].elements[0].name, "section")


if __name__ == "__main__":
    PROGRAM_DIR, CONVERTER = sys.argv[1:3]
    SCRIPT_DIR = os.path.join(PROGRAM_DIR, "script")
    unittest.main(argv=[sys.argv[0]] + sys.argv[3:])
