#!/usr/bin/env python3
"""The built HTML Help file holds a page for every help context the program
can ask for: the program's table of context numbers and pages (in
app/converter_app.cpp) is read, and the file is listed and read with
libchm's tools (enum_chmLib, test_chmLib). Each page must be there, with the
heading of its topic as title, and so must the contents page.

usage: chm_pages_test.py FILE.chm SOURCE_ROOT ENUM_CHMLIB TEST_CHMLIB
"""
import os
import re
import subprocess
import sys
import tempfile
import unittest

CHM = ROOT = ENUM = EXTRACT = None

# The contexts the program asks for (0x20000 + dialog template) and the
# heading of the topic each must open.
CONTEXTS = {
    0x20066: "The Orvane Zenvero window",            # main window, template 102
    0x20064: "About Orvane Zenvero",                 # About box, template 100
    0x20081: "Convert Multiple Files: the results",  # results dialog, template 129
}


def program_table():
    """(contents page, {context: page}) as the program's source has them."""
    with open(os.path.join(ROOT, "app", "converter_app.cpp"), encoding="utf-8") as f:
        source = f.read()
    contents = re.search(r'kHelpContentsPage\[\] = "([^"]+)"', source).group(1)
    pages = {int(number, 16): page
             for number, page in re.findall(r'\{(0x[0-9A-Fa-f]+), "([^"]+)"\}', source)}
    return contents, pages


def chm_names():
    listing = subprocess.run([ENUM, CHM], check=True, capture_output=True, text=True).stdout
    return {line.split("\t")[-1] for line in listing.splitlines() if "normal file" in line}


def page_title(page):
    with tempfile.TemporaryDirectory() as folder:
        out = os.path.join(folder, "page.html")
        subprocess.run([EXTRACT, CHM, "/" + page, out], check=True, capture_output=True)
        with open(out, encoding="ascii", errors="replace") as f:
            match = re.search(r"<title>([^<]*)</title>", f.read())
    return match.group(1) if match else None


class ChmPagesTest(unittest.TestCase):
    def test_every_context_has_its_page_with_its_heading(self):
        contents, pages = program_table()
        self.assertEqual(set(CONTEXTS), set(pages), "contexts in the program's table")
        names = chm_names()
        self.assertIn("/" + contents, names)
        self.assertEqual("Orvane Zenvero Help", page_title(contents))
        for context, heading in CONTEXTS.items():
            with self.subTest(context=hex(context)):
                self.assertIn("/" + pages[context], names)
                self.assertEqual(heading, page_title(pages[context]))


if __name__ == "__main__":
    CHM, ROOT, ENUM, EXTRACT = sys.argv[1:5]
    unittest.main(argv=sys.argv[:1], verbosity=2)
