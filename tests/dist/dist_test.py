#!/usr/bin/env python3
"""The distribution: Velmora.zip holds exactly the user's files, by bare name
and byte for byte as they lie in the distribution folder, and the two text
files are what Windows users and download lists expect.

usage: dist_test.py ZIP DIST_FOLDER
"""
import os
import struct
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


# The DLLs Windows always takes from the system folder (the KnownDLLs of
# Windows 10 and 11, and ntdll), whatever lies beside the program; and
# comctl32, which the manifest's Common-Controls dependency takes from the
# side-by-side store.
KNOWN_DLLS = {
    "advapi32.dll", "clbcatq.dll", "combase.dll", "comdlg32.dll", "coml2.dll", "difxapi.dll",
    "gdi32.dll", "gdiplus.dll", "imagehlp.dll", "imm32.dll", "kernel32.dll", "msctf.dll",
    "msvcrt.dll", "normaliz.dll", "nsi.dll", "ntdll.dll", "ole32.dll", "oleaut32.dll",
    "psapi.dll", "rpcrt4.dll", "sechost.dll", "setupapi.dll", "shcore.dll", "shell32.dll",
    "shlwapi.dll", "user32.dll", "wldap32.dll", "ws2_32.dll",
}
MANIFEST_DLLS = {"comctl32.dll"}


def imported_dlls(path):
    """The names of the DLLs a PE file imports, at load time or delayed."""
    with open(path, "rb") as f:
        data = f.read()
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    assert data[pe:pe + 4] == b"PE\0\0", path
    sections_count = struct.unpack_from("<H", data, pe + 6)[0]
    optional_size = struct.unpack_from("<H", data, pe + 20)[0]
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (112 if magic == 0x20B else 96)
    sections = []
    for i in range(sections_count):
        at = optional + optional_size + 40 * i
        size, address, raw_size, raw = struct.unpack_from("<IIII", data, at + 8)
        sections.append((address, max(size, raw_size), raw))

    def offset(rva):
        for address, size, raw in sections:
            if address <= rva < address + size:
                return rva - address + raw
        raise ValueError("address %#x outside every section of %s" % (rva, path))

    def name_at(rva):
        at = offset(rva)
        return data[at:data.index(b"\0", at)].decode("ascii")

    names = []
    # The import directory (entry 1): 20-byte descriptors, name at +12.
    # The delay-load directory (entry 13): 32-byte descriptors, name at +4.
    for entry, size, name_field in ((1, 20, 12), (13, 32, 4)):
        rva = struct.unpack_from("<I", data, directories + 8 * entry)[0]
        while rva:
            descriptor = data[offset(rva):offset(rva) + size]
            if descriptor == bytes(size):
                break
            names.append(name_at(struct.unpack_from("<I", descriptor, name_field)[0]))
            rva += size
    return names


class ImportsTest(unittest.TestCase):
    """Neither program imports a DLL that Windows would look for in the
    folder the program runs from (the download folder, for setup)."""

    def test_only_known_dlls_and_the_manifests_comctl32(self):
        for name in ("Velmora.exe", "setup.exe"):
            with self.subTest(name=name):
                dlls = {dll.lower() for dll in imported_dlls(os.path.join(DIST, name))}
                self.assertIn("kernel32.dll", dlls)
                self.assertEqual(set(), dlls - KNOWN_DLLS - MANIFEST_DLLS)


if __name__ == "__main__":
    ZIP, DIST = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1], verbosity=2)
