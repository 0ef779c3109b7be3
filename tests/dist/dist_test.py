#!/usr/bin/env python3
"""The distribution: Velmora.zip holds exactly the user's files, by bare name
and byte for byte as they lie in the distribution folder, and the two text
files are what Windows users and download lists expect.

usage: dist_test.py ZIP DIST_FOLDER
"""
import os
import sys
import unittest
import zipfile

ZIP = DIST = None

EXPECTED = {
    "Velmora.exe", "Velmora.hlp", "Velmora.cnt", "Velmora.chm", "License.rtf", "setup.exe",
    "Readme.txt", "File_id.diz",
}


def dist_bytes(name):
    with open(os.path.join(DIST, name), "rb") as f:
        return f.read()


class ZipTest(unittest.TestCase):
    def test_holds_exactly_the_distribution_files_by_bare_name(self):
        with zipfile.ZipFile(ZIP) as z:
            names = z.namelist()
            self.assertEqual(len(names), len(set(names)), names)
            self.assertEqual(EXPECTED, set(names))
            for name in names:
                with self.subTest(name=name):
                    self.assertEqual(dist_bytes(name), z.read(name))
            self.assertIsNone(z.testzip())

    def test_files_are_what_their_names_say(self):
        for name, start in (("Velmora.exe", b"MZ"), ("setup.exe", b"MZ"),
                            ("License.rtf", b"{\\rtf"), ("Velmora.chm", b"ITSF"),
                            ("Velmora.hlp", b"\x3f\x5f\x03\x00")):
            with self.subTest(name=name):
                self.assertEqual(start, dist_bytes(name)[:len(start)])


class TextFilesTest(unittest.TestCase):
    def lines(self, name):
        data = dist_bytes(name)
        data.decode("ascii")  # plain ASCII throughout
        self.assertTrue(data.endswith(b"\r\n"), name)
        # Every line ends in CR LF; no bare LF or CR anywhere.
        self.assertEqual(data.count(b"\n"), data.count(b"\r\n"), name)
        self.assertEqual(data.count(b"\r"), data.count(b"\r\n"), name)
        self.assertNotIn(b"\t", data, name)
        self.assertNotIn(b"@", data.replace(b"@@", b""), name + ": a placeholder was left")
        return data.decode("ascii").split("\r\n")[:-1]

    def test_readme_is_a_windows_text_file_for_users(self):
        lines = self.lines("Readme.txt")
        self.assertTrue(lines[0].startswith("Orvane Zenvero "), lines[0])
        self.assertEqual("=" * len(lines[0]), lines[1])
        self.assertLessEqual(max(len(line) for line in lines), 79)
        text = "\n".join(lines)
        # The per-user folder is where setup installs when elevation is declined.
        for topic in ("setup.exe", "Uninstall", "Convert Clipboard", "Convert File",
                      "Convert Multiple Files", "%LOCALAPPDATA%\\Programs\\Orvane Zenvero",
                      "Velmora.chm", "F1"):
            self.assertIn(topic, text)

    def test_file_id_diz_fits_ten_lines_of_45(self):
        lines = self.lines("File_id.diz")
        self.assertGreaterEqual(len(lines), 1)
        self.assertLessEqual(len(lines), 10)
        for line in lines:
            self.assertLessEqual(len(line), 45, line)
            self.assertTrue(line.isprintable(), line)
        self.assertTrue(lines[0].startswith("Orvane Zenvero "), lines[0])


if __name__ == "__main__":
    ZIP, DIST = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1], verbosity=2)
