#!/usr/bin/env python3
"""The real program under Xvfb, as an author would meet it: text pasted into the window,
the program killed (kill -9, SIGTERM, SIGHUP) and started again. The recovery copy must
hold the text exactly, the start-up question must restore it, two programs must never
take each other's copies, and an external editor that never returns must not hold the
window. Needs xdotool and xclip; run inside xvfb-run.

usage: real_window_test.py PROGRAM_DIR
"""
import glob
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest

PROGRAM_DIR = None
QUESTION = "前回保存されなかった原稿があります。復元しますか?"


def generated_text(size):
    """A manuscript of about `size` bytes with characters Shift_JIS cannot hold."""
    line = "* 第一章 𠮷野家\n本文の_漢字[かんじ]です。鷗外と髙橋と🍣、①㈱。\n- 項目\n\n"
    text = []
    total = 0
    number = 0
    while total < size:
        piece = f"{number:06d} " + line
        text.append(piece)
        total += len(piece.encode("utf-8"))
        number += 1
    return "".join(text)


def xdotool(*args, check=True):
    return subprocess.run(["xdotool", *args], capture_output=True, text=True, check=check,
                          timeout=60).stdout.strip()


def wait_for(condition, timeout, what):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(0.05)
    raise AssertionError("timed out waiting for " + what)


class Program:
    """One running quirtle, started from its own program folder."""

    def __init__(self, folder, env):
        self.process = subprocess.Popen([os.path.join(folder, "quirtle")], env=env,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.window = None

    def find_window(self, name, timeout=60):
        def search():
            out = xdotool("search", "--all", "--onlyvisible", "--pid", str(self.process.pid),
                          "--name", name, check=False)
            return out.split()[-1] if out else None
        return wait_for(search, timeout, "window " + name)

    def main_window(self):
        self.window = self.find_window("^quirtle$")
        return self.window

    def click_editor(self):
        xdotool("windowactivate", "--sync", self.window, check=False)
        xdotool("mousemove", "--window", self.window, "120", "200", "click", "1")

    def paste(self, text):
        clipboard = subprocess.Popen(["xclip", "-quiet", "-selection", "clipboard", "-i"],
                                     stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                                     stderr=subprocess.DEVNULL)
        clipboard.stdin.write(text.encode("utf-8"))
        clipboard.stdin.close()
        time.sleep(0.3)
        self.click_editor()
        xdotool("key", "--window", self.window, "ctrl+v")
        return clipboard

    def signal(self, number):
        self.process.send_signal(number)
        return self.process.wait(timeout=60)

    def end(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait(timeout=60)


class RealWindowTest(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="quirtle-real-")
        # The program runs from a folder of its own, so that its "EDITOR" is the test's.
        self.folder = os.path.join(self.root, "program")
        os.mkdir(self.folder)
        for name in ("quirtle", "index.html", "script.cfg", "LICENSE.TXT"):
            source = os.path.join(PROGRAM_DIR, name)
            if os.path.exists(source):
                shutil.copy2(source, self.folder)
        self.state = os.path.join(self.root, "state")
        self.env = dict(os.environ, XDG_STATE_HOME=self.state, HOME=self.root,
                        XDG_CONFIG_HOME=os.path.join(self.root, "config"),
                        QTWEBENGINE_DISABLE_SANDBOX="1", QT_QPA_PLATFORM="xcb",
                        LANG="C.UTF-8", LC_ALL="C.UTF-8")
        self.programs = []
        self.clipboards = []

    def tearDown(self):
        for program in self.programs:
            program.end()
        # The editor that never returns is never stopped by the program; the test ends it.
        pid_file = getattr(self, "editor_pid_file", None)
        if pid_file and os.path.exists(pid_file):
            with open(pid_file) as file:
                try:
                    os.kill(int(file.read().strip()), signal.SIGKILL)
                except (ValueError, ProcessLookupError):
                    pass
        for clipboard in self.clipboards:
            if clipboard.poll() is None:
                clipboard.kill()
                clipboard.wait()
        shutil.rmtree(self.root, ignore_errors=True)

    def start(self):
        program = Program(self.folder, self.env)
        self.programs.append(program)
        return program

    def copies(self):
        return sorted(glob.glob(os.path.join(self.state, "quirtle", "copy-*.txt")))

    def copy_holding(self, text, timeout=60):
        wanted = text.encode("utf-8")

        def find():
            for path in self.copies():
                try:
                    with open(path, "rb") as file:
                        if file.read() == wanted:
                            return path
                except OSError:
                    pass
            return None
        return wait_for(find, timeout, "a recovery copy holding the text")

    def type_and_keep(self, program, text):
        program.main_window()
        self.clipboards.append(program.paste(text))
        return self.copy_holding(text)

    def test_killed_program_is_restored_after_the_question(self):
        text = generated_text(1 << 20)
        program = self.start()
        copy = self.type_and_keep(program, text)
        program.process.kill()
        program.process.wait(timeout=60)
        self.assertTrue(os.path.exists(copy))

        again = self.start()
        question = again.find_window("^確認$")
        xdotool("windowactivate", "--sync", question, check=False)
        xdotool("key", "--window", question, "Return")  # はい is the default
        again.main_window()
        # The restored text is the window's unsaved text: the old program's copy becomes
        # this one's, and it holds the text again.
        wait_for(lambda: not os.path.exists(copy), 60, "the old copy taken over")
        own = self.copy_holding(text)
        self.assertNotEqual(os.path.basename(own), os.path.basename(copy))
        self.assertEqual(len(self.copies()), 1)

    def test_two_programs_never_take_each_others_copies(self):
        first = self.start()
        copy = self.type_and_keep(first, "一つ目の原稿🍣\n")
        # A second program finds only a copy whose program runs: no question.
        second = self.start()
        second.main_window()
        time.sleep(2)
        out = xdotool("search", "--all", "--onlyvisible", "--pid", str(second.process.pid), "--name",
                      "^確認$", check=False)
        self.assertEqual(out, "")
        self.assertTrue(os.path.exists(copy))

        # Once the first is killed, the next program asks; いいえ keeps it for a week.
        first.process.kill()
        first.process.wait(timeout=60)
        third = self.start()
        question = third.find_window("^確認$")
        xdotool("windowactivate", "--sync", question, check=False)
        xdotool("key", "--window", question, "n")
        third.main_window()
        kept = wait_for(
            lambda: glob.glob(os.path.join(self.state, "quirtle", "kept", "copy-*.txt")), 30,
            "the declined copy in the kept folder")
        self.assertEqual(len(kept), 1)
        with open(kept[0], "rb") as file:
            self.assertEqual(file.read(), "一つ目の原稿🍣\n".encode("utf-8"))
        self.assertEqual(second.process.poll(), None)

    def test_sigterm_and_sighup_leave_a_copy_at_once(self):
        for number in (signal.SIGTERM, signal.SIGHUP, signal.SIGINT):
            with self.subTest(signal=number):
                for path in self.copies():
                    os.unlink(path)
                program = self.start()
                program.main_window()
                text = f"終了の直前 {int(number)} 𠮷\n"
                self.clipboards.append(program.paste(text))
                # The text is in the window (the status bar counts it) well before any
                # pause could write a copy; the signal must write it.
                time.sleep(0.5)
                program.signal(number)
                self.assertEqual(len(self.copies()), 1)
                with open(self.copies()[0], "rb") as file:
                    self.assertEqual(file.read(), text.encode("utf-8"))

    def test_an_editor_that_never_returns_can_be_left(self):
        editor = os.path.join(self.root, "editor.sh")
        self.editor_pid_file = os.path.join(self.root, "editor.pid")
        with open(editor, "w") as file:
            file.write(f"#!/bin/sh\necho $$ > '{self.editor_pid_file}'\nexec sleep 3600\n")
        os.chmod(editor, 0o755)
        with open(os.path.join(self.folder, "EDITOR"), "wb") as file:
            file.write(editor.encode())
        program = self.start()
        window = program.main_window()
        self.clipboards.append(program.paste("原稿\n"))
        time.sleep(0.5)
        xdotool("key", "--window", window, "ctrl+e")
        wait_for(lambda: os.path.exists(self.editor_pid_file), 30, "the editor")
        time.sleep(1)
        # Typed while the window waits: dropped, not replayed later.
        xdotool("type", "--window", window, "abc")
        xdotool("key", "--window", window, "ctrl+shift+s", "ctrl+s")
        time.sleep(0.5)
        geometry = xdotool("getwindowgeometry", window).split()
        width, height = (int(v) for v in geometry[geometry.index("Geometry:") + 1].split("x"))
        # The notice's button sits in the lower right corner, above the status bar.
        xdotool("mousemove", "--window", window, str(width - 60), str(height - 56), "click", "1")
        time.sleep(1.5)
        # The window works again: Save asks for a name and writes the file.
        saved = os.path.join(self.root, "saved.txt")
        xdotool("key", "--window", window, "ctrl+s")
        dialog = program.find_window("名前を付けて保存")
        time.sleep(1)  # the dialog takes its focus once it is shown
        xdotool("key", "--window", dialog, "ctrl+a")
        xdotool("type", "--window", dialog, saved)
        xdotool("key", "--window", dialog, "Return")
        wait_for(lambda: os.path.exists(saved), 30, "the saved file")
        with open(saved, "rb") as file:
            self.assertEqual(file.read(), "原稿\r\n".encode("cp932"))


if __name__ == "__main__":
    PROGRAM_DIR = os.path.abspath(sys.argv.pop(1))
    for tool in ("xdotool", "xclip"):
        if shutil.which(tool) is None:
            print(f"{tool} is missing (tools/packages.txt lists it)", file=sys.stderr)
            sys.exit(1)
    unittest.main()
