"""The help build step that maps context numbers to topics, on real help files
written by halibut."""
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

TOOLS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools")
sys.path.insert(0, TOOLS)
import winhelp_ctxomap as tool  # noqa: E402

SOURCE = r"""\title Sample Help

First page.

\U First topic

\cfg{winhelp-topic}{IDH_FIRST}

Text of the first topic.

\U Second topic

\cfg{winhelp-topic}{IDH_SECOND}

Text of the second topic.
"""


@unittest.skipUnless(shutil.which("halibut"), "halibut is not installed")
class FillContextMapTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp()
        source = os.path.join(self.folder, "sample.but")
        with open(source, "w") as f:
            f.write(SOURCE)
        self.path = os.path.join(self.folder, "Sample.hlp")
        subprocess.run(["halibut", "--winhelp=" + self.path, source], check=True)
        with open(self.path, "rb") as f:
            self.original = f.read()

    def tearDown(self):
        shutil.rmtree(self.folder)

    def run_tool(self, *pairs):
        return subprocess.run([sys.executable, os.path.join(TOOLS, "winhelp_ctxomap.py"), self.path] + list(pairs),
                              capture_output=True, text=True)

    def test_maps_each_number_to_its_topic_and_keeps_the_rest(self):
        self.assertEqual([], tool.read_ctxomap(self.original))
        result = self.run_tool("0x20066=IDH_SECOND", "131172=IDH_FIRST")
        self.assertEqual(0, result.returncode, result.stderr)
        with open(self.path, "rb") as f:
            data = f.read()
        topics = tool.context_offsets(data, tool.directory(data))
        first = topics[tool.context_hash("IDH_FIRST")]
        second = topics[tool.context_hash("IDH_SECOND")]
        self.assertNotEqual(first, second)
        # Sorted by number, as the viewer searches it.
        self.assertEqual([(0x20064, first), (0x20066, second)], tool.read_ctxomap(data))
        # The header's total size is the file's size; only the header's size
        # field and the directory's pointer to the map changed before the end.
        self.assertEqual(len(data), struct.unpack_from("<I", data, 12)[0])
        pointer = tool.directory(self.original)["|CTXOMAP"][1]
        changed = [i for i in range(len(self.original)) if data[i] != self.original[i]]
        self.assertTrue(all(12 <= i < 16 or pointer <= i < pointer + 4 for i in changed), changed)

    def test_refuses_unknown_context_strings_and_leaves_the_file(self):
        for pairs in (["0x20066=IDH_MISSING"], ["0x20066=IDH_FIRST", "0x20066=IDH_SECOND"],
                      ["IDH_FIRST"], ["twelve=IDH_FIRST"], ["0x20066=IDH-FIRST"]):
            result = self.run_tool(*pairs)
            self.assertEqual(1, result.returncode, pairs)
            self.assertIn("winhelp_ctxomap:", result.stderr)
            with open(self.path, "rb") as f:
                self.assertEqual(self.original, f.read(), pairs)

    def test_refuses_a_file_that_is_not_a_help_file(self):
        with open(self.path, "wb") as f:
            f.write(b"not a help file at all")
        self.assertEqual(1, self.run_tool("1=IDH_FIRST").returncode)


class ContextHashTest(unittest.TestCase):
    def test_known_values(self):
        for name, value in (("IDH_MAIN", 0x76081B65), ("IDH_OPTIONS", 0x0F0CF396), ("IDH_INSTALL", 0x28AD51CF),
                            ("idh_main", 0x76081B65)):
            self.assertEqual(value, tool.context_hash(name) & 0xFFFFFFFF, name)


if __name__ == "__main__":
    unittest.main()
