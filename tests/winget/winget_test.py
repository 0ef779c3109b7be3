#!/usr/bin/env python3
"""The package manager's manifests in <build>/winget: each file is what its
published schema allows (and names no field the schema does not know), the
three files describe one package version, and the installer file describes
the Velmora.zip beside them: its SHA-256, the architecture of the programs in
it, the setup.exe inside it and setup's switches and exit codes.

usage: winget_test.py --manifests DIR --zip ZIP --schemas DIR
                      --package-version V --display-version TEXT
                      [--release-url URL]   (empty: the placeholder address)
"""
import argparse
import copy
import glob
import hashlib
import json
import os
import re
import struct
import sys
import unittest
import urllib.parse
import zipfile

import jsonschema
import yaml

ARGS = None
MANIFESTS = {}  # ManifestType -> (file name, parsed document)

MANIFEST_VERSION = "1.10.0"
PACKAGE_ID = "Orvane.Zenvero"
UNINSTALL_KEY = "OrvaneZenvero"  # ...\CurrentVersion\Uninstall\OrvaneZenvero
SCHEMA_FILES = {
    "version": "manifest.version.%s.json" % MANIFEST_VERSION,
    "installer": "manifest.installer.%s.json" % MANIFEST_VERSION,
    "defaultLocale": "manifest.defaultLocale.%s.json" % MANIFEST_VERSION,
}
# setup.exe's switches for every install, whatever the scope.
MODE_SWITCHES = {
    "Silent": "/VERYSILENT",
    "SilentWithProgress": "/SILENT",
    "InstallLocation": '/DIR="<INSTALLPATH>"',
    "Log": '/LOG="<LOGPATH>"',
}
# The scope's own switch, and the other scope's, which must not be there.
SCOPE_SWITCHES = {"machine": ("/ALLUSERS", "/CURRENTUSER"), "user": ("/CURRENTUSER", "/ALLUSERS")}
EXPECTED_RETURN_CODES = {3010: "rebootRequiredToFinish", 2: "cancelledByUser"}
PE_MACHINES = {0x8664: "x64", 0x014C: "x86", 0xAA64: "arm64"}


class UniqueKeyLoader(yaml.SafeLoader):
    """A safe loader that refuses a key given twice in one mapping, as the
    package manager does; PyYAML alone keeps the last one silently."""


def _construct_unique_mapping(loader, node, deep=False):
    keys = set()
    for key_node, _ in node.value:
        key = loader.construct_object(key_node, deep=deep)
        if key in keys:
            raise yaml.constructor.ConstructorError(
                None, None, "key %r given twice" % (key,), key_node.start_mark)
        keys.add(key)
    return loader.construct_mapping(node, deep)


UniqueKeyLoader.add_constructor(yaml.resolver.BaseResolver.DEFAULT_MAPPING_TAG,
                                _construct_unique_mapping)


def closed_schema(schema):
    """The schema with every object closed to the properties it declares: the
    published schemas leave objects open, but the package manager ignores or
    refuses a field it does not know, so a misspelt "InstallerSwitches"
    would silently drop setup's silent switch."""
    schema = copy.deepcopy(schema)

    def close(node):
        if isinstance(node, dict):
            if "properties" in node and "additionalProperties" not in node:
                node["additionalProperties"] = False
            for value in node.values():
                close(value)
        elif isinstance(node, list):
            for value in node:
                close(value)

    close(schema)
    return schema


def load_schema(manifest_type):
    with open(os.path.join(ARGS.schemas, SCHEMA_FILES[manifest_type]), encoding="utf-8") as f:
        return json.load(f)


def validation_errors(document, schema):
    """The schema's complaints about a document, with the validator class the
    schema's own "$schema" names."""
    cls = jsonschema.validators.validator_for(schema)
    cls.check_schema(schema)
    checker = getattr(cls, "FORMAT_CHECKER", None) or jsonschema.FormatChecker()
    validator = cls(schema, format_checker=checker)
    return sorted("%s: %s" % ("/".join(str(p) for p in e.absolute_path) or "(top)", e.message)
                  for e in validator.iter_errors(document))


def pe_machine(data):
    """The architecture in a program's PE header."""
    if data[:2] != b"MZ" or len(data) < 0x40:
        return None
    (offset,) = struct.unpack_from("<I", data, 0x3C)
    if data[offset:offset + 4] != b"PE\0\0":
        return None
    (machine,) = struct.unpack_from("<H", data, offset + 4)
    return PE_MACHINES.get(machine, hex(machine))


def manifest(manifest_type):
    return MANIFESTS[manifest_type][1]


def installers():
    return manifest("installer")["Installers"]


def effective(installer, field):
    """A field of one installer entry: its own, or the one given for all at
    the top of the installer file."""
    if field in installer:
        return installer[field]
    return manifest("installer").get(field)


def load_manifests():
    for path in sorted(glob.glob(os.path.join(ARGS.manifests, "*.yaml"))):
        with open(path, "rb") as f:
            text = f.read().decode("utf-8")  # the package manager reads UTF-8
        document = yaml.load(text, Loader=UniqueKeyLoader)
        manifest_type = document.get("ManifestType") if isinstance(document, dict) else None
        if manifest_type in MANIFESTS:
            raise AssertionError("two files of type %r: %s and %s" % (
                manifest_type, MANIFESTS[manifest_type][0], os.path.basename(path)))
        MANIFESTS[manifest_type] = (os.path.basename(path), document)


class FilesTest(unittest.TestCase):
    def test_folder_holds_the_three_files_by_their_conventional_names(self):
        # The package manager takes every file in the folder as part of the
        # package version, so nothing else may lie there.
        locale = manifest("defaultLocale")["PackageLocale"]
        expected = {
            "version": PACKAGE_ID + ".yaml",
            "installer": PACKAGE_ID + ".installer.yaml",
            "defaultLocale": "%s.locale.%s.yaml" % (PACKAGE_ID, locale),
        }
        self.assertEqual(expected, {t: name for t, (name, _) in MANIFESTS.items()})
        self.assertEqual(sorted(expected.values()), sorted(os.listdir(ARGS.manifests)))

    def test_no_template_placeholder_or_tab_is_left(self):
        for name, _ in MANIFESTS.values():
            with open(os.path.join(ARGS.manifests, name), encoding="utf-8") as f:
                text = f.read()
            with self.subTest(name=name):
                self.assertIsNone(re.search(r"@[A-Za-z_]+@", text))
                self.assertNotIn("\t", text)

    def test_loader_refuses_a_key_given_twice(self):
        with self.assertRaises(yaml.constructor.ConstructorError):
            yaml.load("Scope: user\nScope: machine\n", Loader=UniqueKeyLoader)


class SchemaTest(unittest.TestCase):
    def test_every_file_is_valid_under_its_published_schema(self):
        for manifest_type, (name, document) in MANIFESTS.items():
            with self.subTest(name=name):
                self.assertEqual(MANIFEST_VERSION, document["ManifestVersion"])
                self.assertEqual([], validation_errors(document, load_schema(manifest_type)))

    def test_every_field_is_one_the_schema_declares(self):
        for manifest_type, (name, document) in MANIFESTS.items():
            with self.subTest(name=name):
                self.assertEqual([], validation_errors(document, closed_schema(load_schema(manifest_type))))

    def test_validation_catches_faults(self):
        # The check above is only worth something if these fail it.
        faults = [
            ("installer", lambda d: d["Installers"][0].update(InstallerSha256="not-a-hash")),
            ("installer", lambda d: d["Installers"][0].update(Scope="everyone")),
            ("installer", lambda d: d["Installers"][0].pop("InstallerUrl", None)),
            ("installer", lambda d: d.update(ExpectedReturnCodes=[
                {"InstallerReturnCode": 3010, "ReturnResponse": "rebootNeeded"}])),
            ("installer", lambda d: d["Installers"][0].update(
                InstallerSwitch=d["Installers"][0].pop("InstallerSwitches", {}))),
            ("version", lambda d: d.update(PackageVersion=1.2)),
            ("defaultLocale", lambda d: d.pop("License", None)),
        ]
        for manifest_type, spoil in faults:
            document = copy.deepcopy(manifest(manifest_type))
            spoil(document)
            with self.subTest(manifest_type=manifest_type, document=document):
                self.assertNotEqual([], validation_errors(document, closed_schema(load_schema(manifest_type))))


class PackageVersionTest(unittest.TestCase):
    def test_the_three_files_name_one_package_version(self):
        for manifest_type, (name, document) in MANIFESTS.items():
            with self.subTest(name=name):
                self.assertEqual(PACKAGE_ID, document["PackageIdentifier"])
                self.assertEqual(ARGS.package_version, document["PackageVersion"])
        self.assertEqual(manifest("version")["DefaultLocale"], manifest("defaultLocale")["PackageLocale"])

    def test_publisher_and_name_are_those_of_the_uninstall_entry(self):
        locale = manifest("defaultLocale")
        self.assertEqual("Orvane", locale["Publisher"])
        self.assertEqual("Orvane Zenvero", locale["PackageName"])
        for installer in installers():
            with self.subTest(scope=installer.get("Scope")):
                self.assertEqual(UNINSTALL_KEY, effective(installer, "ProductCode"))
                entries = effective(installer, "AppsAndFeaturesEntries")
                self.assertEqual(1, len(entries))
                self.assertEqual({
                    "DisplayName": "Orvane Zenvero " + ARGS.display_version,
                    "Publisher": "Orvane",
                    "DisplayVersion": ARGS.display_version,
                    "ProductCode": UNINSTALL_KEY,
                    "InstallerType": "exe",
                }, entries[0])


class InstallerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with open(ARGS.zip, "rb") as f:
            cls.zip_sha256 = hashlib.sha256(f.read()).hexdigest().upper()
        with zipfile.ZipFile(ARGS.zip) as z:
            cls.zip_files = {name: z.read(name) for name in z.namelist()}

    def test_every_entry_names_the_zip_by_its_address_and_sha256(self):
        for installer in installers():
            with self.subTest(scope=installer.get("Scope")):
                self.assertEqual(self.zip_sha256, installer["InstallerSha256"])
                url = installer["InstallerUrl"]
                if ARGS.release_url:
                    self.assertEqual(ARGS.release_url, url)
                else:
                    # Unset, the address must be one that can never resolve.
                    host = urllib.parse.urlsplit(url).hostname or ""
                    self.assertTrue(host.endswith(".invalid"), url)

    def test_architecture_is_that_of_the_programs_in_the_zip(self):
        machines = {name: pe_machine(self.zip_files[name]) for name in ("Velmora.exe", "setup.exe")}
        self.assertEqual(1, len(set(machines.values())), machines)
        for installer in installers():
            with self.subTest(scope=installer.get("Scope")):
                self.assertEqual(machines["setup.exe"], effective(installer, "Architecture"))

    def test_the_zip_is_unpacked_and_its_setup_started(self):
        for installer in installers():
            with self.subTest(scope=installer.get("Scope")):
                self.assertEqual("zip", effective(installer, "InstallerType"))
                self.assertEqual("exe", effective(installer, "NestedInstallerType"))
                nested = effective(installer, "NestedInstallerFiles")
                self.assertEqual([{"RelativeFilePath": "setup.exe"}], nested)
                self.assertIn("setup.exe", self.zip_files)
                self.assertIsNotNone(pe_machine(self.zip_files["setup.exe"]))

    def test_one_entry_for_each_scope_with_setup_switches(self):
        scopes = [installer.get("Scope") for installer in installers()]
        self.assertEqual(sorted(SCOPE_SWITCHES), sorted(scopes))
        for installer in installers():
            scope = installer["Scope"]
            # An entry's own switches replace those at the top as a whole.
            switches = effective(installer, "InstallerSwitches")
            with self.subTest(scope=scope):
                self.assertIsInstance(switches, dict)
                self.assertEqual(MODE_SWITCHES, {k: v for k, v in switches.items() if k != "Custom"})
                custom = switches["Custom"].split()
                own, other = SCOPE_SWITCHES[scope]
                self.assertIn(own, custom)
                self.assertNotIn(other, custom)
                # The package manager reports a needed restart; setup never restarts on its own.
                self.assertIn("/NORESTART", custom)
                self.assertEqual(len(custom), len(set(custom)), custom)

    def test_only_the_machine_wide_install_elevates(self):
        expected = {"machine": "elevatesSelf", "user": None}
        for installer in installers():
            with self.subTest(scope=installer["Scope"]):
                self.assertEqual(expected[installer["Scope"]], effective(installer, "ElevationRequirement"))

    def test_exit_codes(self):
        for installer in installers():
            with self.subTest(scope=installer.get("Scope")):
                codes = {c["InstallerReturnCode"]: c["ReturnResponse"]
                         for c in effective(installer, "ExpectedReturnCodes")}
                self.assertEqual(EXPECTED_RETURN_CODES, codes)
                # A success code is taken as plain success before the expected
                # codes are looked at: 3010 there would hide the restart.
                success = effective(installer, "InstallerSuccessCodes") or []
                self.assertNotIn(3010, success)
                self.assertNotIn(1, success)
                self.assertNotIn(2, success)

    def test_modes_and_upgrade(self):
        for installer in installers():
            with self.subTest(scope=installer.get("Scope")):
                self.assertEqual({"interactive", "silent", "silentWithProgress"},
                                 set(effective(installer, "InstallModes")))
                self.assertEqual("install", effective(installer, "UpgradeBehavior"))


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--manifests", required=True)
    parser.add_argument("--zip", required=True)
    parser.add_argument("--schemas", required=True)
    parser.add_argument("--package-version", required=True)
    parser.add_argument("--display-version", required=True)
    parser.add_argument("--release-url", default="")
    ARGS = parser.parse_args()
    try:
        load_manifests()
    except (UnicodeDecodeError, yaml.YAMLError, AssertionError) as e:
        sys.exit("%s: %s" % (ARGS.manifests, e))
    missing = set(SCHEMA_FILES) - set(MANIFESTS)
    if missing or None in MANIFESTS:
        sys.exit("%s: expected one manifest of each type %s, found %s" % (
            ARGS.manifests, sorted(SCHEMA_FILES), sorted(map(str, MANIFESTS))))
    unittest.main(argv=sys.argv[:1], verbosity=2)


if __name__ == "__main__":
    main()
