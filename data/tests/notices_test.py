#!/usr/bin/env python3
"""The shipped-files check itself: it must fail on what nobody covered."""

import contextlib
import io
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import notices  # noqa: E402

LIST = """\
notices site licenses.txt
notice site own [own]
notice site font [font]
notice site lib [lib]
embeds site lib lib_decode lib_encode
site licenses.txt  own
site page.html     own
site icon-*.png    own
site app.bin       own lib
site fonts/*       own font
"""

TREE = {
    "licenses.txt": "[own] ours\n[font] the font's notice\n[lib] the library's notice\n",
    "page.html": "<p>",
    "icon-192.png": "png",
    "icon-512.png": "png",
    "app.bin": "program",
    "fonts/sans.ttf": "glyphs",
}


class ShippedFilesCheck(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()
        self.root = os.path.join(self.dir, "site")
        self.write_list(LIST)
        self.make_tree()

    def make_tree(self):
        shutil.rmtree(self.root, ignore_errors=True)
        for path, text in TREE.items():
            self.ship(path, text)

    def tearDown(self):
        shutil.rmtree(self.dir)

    def write_list(self, text):
        self.list = os.path.join(self.dir, "shipped.list")
        with open(self.list, "w", encoding="utf-8") as f:
            f.write(text)

    def ship(self, path, text):
        full = os.path.join(self.root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "w", encoding="utf-8") as f:
            f.write(text)

    def run_check(self):
        out = io.StringIO()
        with contextlib.redirect_stdout(out), contextlib.redirect_stderr(out):
            status = notices.main([self.list, "--site", self.root])
        return status, out.getvalue()

    def test_a_covered_tree_passes(self):
        status, out = self.run_check()
        self.assertEqual((status, out.strip()), (0, "ok: every shipped file is covered by its notices"))

    def test_an_uncovered_tree_fails_naming_the_fault(self):
        cases = [
            ("a file nobody listed", lambda: self.ship("felt-small.webp", "x"), "felt-small.webp ships"),
            ("a file in a new folder", lambda: self.ship("img/card.png", "x"), "img/card.png ships"),
            ("a notice missing from the notice file",
             lambda: self.ship("licenses.txt", "[own] ours\n[lib] the library\n"), "lacks the notice `font`"),
            ("the notice file itself gone", lambda: os.remove(os.path.join(self.root, "licenses.txt")),
             "licenses.txt is not shipped"),
        ]
        for name, change, expected in cases:
            with self.subTest(name):
                self.make_tree()
                change()
                status, out = self.run_check()
                self.assertEqual(status, 1, out)
                self.assertIn(expected, out)

    def test_a_wrong_list_is_an_error_of_its_own(self):
        cases = [
            ("an undeclared notice", LIST + "site extra.js own nobody\n", "notice `nobody` has no"),
            ("an unknown keyword", LIST + "web index.html own\n", "unknown line `web`"),
            ("a file with no notice", LIST + "site extra.js\n", "names no notice"),
            ("files without a notice file", "notice site own [own]\nsite a own\n", "no `notices site FILE`"),
            ("an undeclared embedded notice", LIST + "embeds site zlib inflate\n", "undeclared notice"),
        ]
        for name, text, expected in cases:
            with self.subTest(name):
                self.write_list(text)
                status, out = self.run_check()
                self.assertEqual(status, 2, out)
                self.assertIn(expected, out)

    def test_the_first_matching_line_counts(self):
        self.write_list(LIST.replace("site icon-*.png    own", "site icon-512.png  own lib\nsite icon-*.png own"))
        self.ship("licenses.txt", "[own] ours\n[font] f\n")  # no [lib]: the 512 px icon's line needs it
        status, out = self.run_check()
        self.assertEqual(status, 1, out)
        self.assertIn("lacks the notice `lib`", out)

    def test_a_pattern_that_matches_nothing_is_only_noted(self):
        self.write_list(LIST + "site old-felt.jpg own\n")
        status, out = self.run_check()
        self.assertEqual(status, 0, out)
        self.assertIn("old-felt.jpg) matches no shipped file", out)

    @unittest.skipUnless(shutil.which("cc") and shutil.which("nm"), "needs cc and nm")
    def test_a_program_holding_code_its_line_does_not_name_fails(self):
        source = os.path.join(self.dir, "lib.c")
        with open(source, "w", encoding="utf-8") as f:
            f.write("int lib_decode(int x) { return x + 1; }\n")
        for path, line_names, expected_status in [("app.bin", "own lib", 0), ("page.html", "own", 1)]:
            with self.subTest(path):
                subprocess.run(["cc", "-c", source, "-o", os.path.join(self.root, path)], check=True)
                status, out = self.run_check()
                self.assertEqual(status, expected_status, out)
                if expected_status:
                    self.assertIn(f"{path} holds lib (lib_decode), but its line", out)
                self.ship(path, "plain again")

    def test_the_project_list_parses(self):
        here = os.path.dirname(os.path.abspath(__file__))
        coverage = notices.parse(os.path.join(here, "..", "shipped-files.list"))
        for kind in notices.KINDS:
            self.assertTrue(coverage[kind].rules, kind)
            self.assertIsNotNone(coverage[kind].notice_file, kind)


if __name__ == "__main__":
    unittest.main()
