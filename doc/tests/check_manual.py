#!/usr/bin/env python3
"""Checks the built manual: its manuscript is Shift_JIS with CR LF line ends, every line
was read (no incomplete blocks in the export or the page), and the page has the title
and chapters the help command opens on.

Usage: check_manual.py MANUSCRIPT EXPORT_XML MANUAL_HTML
"""

import html.parser
import sys


class Page(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.title = ""
        self.headings = []
        self.incomplete = []
        self._in = None
        self._incomplete_depth = 0

    def handle_starttag(self, tag, attrs):
        classes = (dict(attrs).get("class") or "").split()
        if tag == "pre" and "incomplete" in classes:
            self.incomplete.append("")
            self._incomplete_depth = 1
        if tag in ("title", "h1", "h2", "h3"):
            self._in = tag
            if tag != "title":
                self.headings.append((tag, ""))

    def handle_endtag(self, tag):
        if tag == self._in:
            self._in = None
        if tag == "pre":
            self._incomplete_depth = 0

    def handle_data(self, data):
        if self._in == "title":
            self.title += data
        elif self._in:
            tag, text = self.headings[-1]
            self.headings[-1] = (tag, text + data)
        if self._incomplete_depth:
            self.incomplete[-1] += data


def main(manuscript_path, xml_path, html_path):
    failures = []
    raw = open(manuscript_path, "rb").read()
    try:
        raw.decode("cp932")
    except UnicodeDecodeError as error:
        failures.append("manuscript is not Shift_JIS: %s" % error)
    if raw.replace(b"\r\n", b"").count(b"\n") or raw.replace(b"\r\n", b"").count(b"\r"):
        failures.append("manuscript has line ends other than CR LF")
    if not raw.endswith(b"\r\n"):
        failures.append("manuscript does not end with CR LF")

    xml = open(xml_path, "rb").read()
    if b'<pre class="incomplete">' in xml:
        lines = [line.decode("cp932", "replace") for line in xml.split(b"\r\n")
                 if line.startswith(b'<pre class="incomplete">')]
        failures.append("incomplete blocks in the export:\n  " + "\n  ".join(lines))

    page = Page()
    page.feed(open(html_path, encoding="utf-8").read())
    if page.incomplete:
        failures.append("incomplete blocks in the page: %r" % page.incomplete)
    if page.title != "quirtle マニュアル":
        failures.append("unexpected title %r" % page.title)
    chapters = [text for tag, text in page.headings if tag == "h2"]
    for needed in ("原稿の書き方", "メニューとキー", "プレビュー", "文字数と原稿用紙換算",
                   "保存と文字コード", "エクスポート", "外部エディタ", "スクリプトを書く人のために"):
        if needed not in chapters:
            failures.append("chapter missing: %s" % needed)

    for failure in failures:
        print(failure, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:4]))
