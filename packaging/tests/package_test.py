#!/usr/bin/env python3
"""Builds the Debian package from a built tree and checks it the way a user's machine would meet it.

Usage: package_test.py --source-dir DIR --build-dir DIR --version TEXT --package-version V
                       --programs NAME...

The package is made by scripts/package.sh from the existing build (no second build), unpacked with
dpkg-deb -x into a temporary root, and its programs are run from there.
"""
import argparse
import gzip
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

ARGS = None

# Libraries the programs link and the Debian packages that hold them, by program.
RUNTIME_PACKAGES = {
    "orrery": ["libqt6core6", "libqt6gui6", "libqt6widgets6", "libqt6serialport6", "libqt6network6",
               "libqt6printsupport6"],
    "qobc": ["libc6", "libstdc++6"],
    "qobls": ["libqt6core6"],
}
# Nothing of the build may be needed at run time.
BUILD_TOOL_PACKAGE = re.compile(r"^(cmake|ninja-build|g\+\+.*|gcc.*|clang.*|qt6-.*-dev|lib.*-dev|"
                                r"libgtest.*|libgmock.*|googletest|pkg-config|python3.*|ccache)$")


def run(command, **kwargs):
    kwargs.setdefault("timeout", 300)
    return subprocess.run(command, capture_output=True, text=True, **kwargs)


def without_display():
    return {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}


def control_field(info, name):
    match = re.search(rf"^ {name}: (.*)$", info, re.MULTILINE)
    return match.group(1) if match else ""


def depends_names(depends):
    """'libc6 (>= 2.34), libqt6core6 (>= 6.4) | foo' -> {'libc6', 'libqt6core6', 'foo'}"""
    return {re.sub(r"[\s(:].*$", "", alt.strip()) for dep in depends.split(",") for alt in dep.split("|") if alt.strip()}


class DebianPackage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="orrery-package-")
        out = os.path.join(cls.tmp, "out")
        result = run([os.path.join(ARGS.source_dir, "scripts", "package.sh"), "--from", ARGS.build_dir,
                      "--output", out], timeout=900)
        if result.returncode != 0:
            raise AssertionError(f"package.sh failed:\n{result.stdout}\n{result.stderr}")
        cls.deb = result.stdout.strip().splitlines()[-1]
        cls.root = os.path.join(cls.tmp, "root")
        subprocess.run(["dpkg-deb", "-x", cls.deb, cls.root], check=True)
        cls.info = run(["dpkg-deb", "--info", cls.deb]).stdout

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.tmp, ignore_errors=True)

    def path(self, *parts):
        return os.path.join(self.root, "usr", *parts)

    def installed_files(self):
        for folder, _, files in os.walk(self.root):
            for name in files:
                yield os.path.relpath(os.path.join(folder, name), self.root)

    def test_the_package_is_named_and_versioned_from_the_project(self):
        arch = run(["dpkg", "--print-architecture"]).stdout.strip()
        self.assertEqual(os.path.basename(self.deb), f"orrery_{ARGS.package_version}_{arch}.deb")
        self.assertEqual(control_field(self.info, "Package"), "orrery")
        self.assertEqual(control_field(self.info, "Version"), ARGS.package_version)
        self.assertEqual(control_field(self.info, "Architecture"), arch)

    def test_dependencies_are_the_linked_runtime_libraries_only(self):
        depends = depends_names(control_field(self.info, "Depends"))
        for program in ARGS.programs:
            for package in RUNTIME_PACKAGES.get(program, []):
                with self.subTest(program=program, package=package):
                    self.assertIn(package, depends)
        self.assertEqual(sorted(p for p in depends if BUILD_TOOL_PACKAGE.match(p)), [])

    def test_the_description_tells_about_the_dialout_group(self):
        self.assertIn("dialout", self.info)
        self.assertIn("adduser", self.info)

    def test_the_layout_holds_programs_pages_desktop_files_examples_and_docs(self):
        files = set(self.installed_files())
        expected = {f"usr/bin/{p}" for p in ARGS.programs}
        expected |= {f"usr/share/man/man1/{p}.1.gz" for p in ARGS.programs}
        expected |= {"usr/share/doc/orrery/copyright", "usr/share/doc/orrery/changelog.gz",
                     "usr/share/doc/orrery/README.md"}
        examples = sorted(f for f in os.listdir(os.path.join(ARGS.source_dir, "examples")) if f.endswith(".qob"))
        self.assertTrue(examples)
        expected |= {f"usr/share/orrery/examples/{e}" for e in examples}
        if "orrery" in ARGS.programs:
            expected |= {"usr/share/applications/orrery.desktop", "usr/share/mime/packages/orrery-quobol.xml",
                         "usr/share/icons/hicolor/scalable/apps/orrery.svg"}
        self.assertEqual(sorted(expected - files), [], "missing from the package")
        # Nothing of the tests, the build or the libraries it links statically.
        stray = [f for f in files if re.search(r"(_tests?|_bench|_fuzz)$|\.(a|h|o|cmake)$|gtest|CMakeFiles", f)]
        self.assertEqual(stray, [])
        self.assertEqual(sorted(f for f in files if not f.startswith("usr/")), [])

    def test_programs_have_no_build_folder_paths_or_search_paths(self):
        build_dir = os.path.realpath(ARGS.build_dir).encode()
        for program in ARGS.programs:
            with self.subTest(program=program):
                binary = self.path("bin", program)
                with open(binary, "rb") as f:
                    self.assertNotIn(build_dir, f.read())
                dynamic = run(["readelf", "-d", binary]).stdout
                self.assertNotRegex(dynamic, r"\((RPATH|RUNPATH)\)")

    def test_the_unpacked_programs_run_and_agree_on_the_version(self):
        for program in ARGS.programs:
            with self.subTest(program=program):
                result = run([self.path("bin", program), "--version"], env=without_display(), timeout=60)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertIn(ARGS.version, result.stdout)
                self.assertIn(program, result.stdout)
        if "loggerlink" in ARGS.programs:
            result = run([self.path("bin", "loggerlink"), "--help"], env=without_display(), timeout=60)
            self.assertEqual(result.returncode, 0, result.stderr)
            self.assertIn("loggerlink", result.stdout)

    def test_the_unpacked_qobc_compiles_every_installed_example(self):
        examples = os.path.join(self.path("share", "orrery", "examples"))
        out = os.path.join(self.tmp, "compiled")
        os.makedirs(out, exist_ok=True)
        for example in sorted(os.listdir(examples)):
            with self.subTest(example=example):
                result = run([self.path("bin", "qobc"), "-l", "-b", "-s", "-o", out, os.path.join(examples, example)])
                self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
                self.assertRegex(result.stdout, r"program size \d+, header \d+, variables \d+")
                stem = os.path.splitext(example)[0]
                for ext in (".lst", ".bin", ".sym"):
                    self.assertTrue(os.path.getsize(os.path.join(out, stem + ext)) > 0)

    def test_the_desktop_entry_opens_quobol_files_in_the_workbench(self):
        if "orrery" not in ARGS.programs:
            self.skipTest("the workbench is not part of this build")
        entry = self.path("share", "applications", "orrery.desktop")
        result = run(["desktop-file-validate", entry])
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertEqual(result.stdout + result.stderr, "")
        with open(entry, encoding="utf-8") as f:
            keys = dict(line.split("=", 1) for line in f.read().splitlines() if "=" in line)
        self.assertEqual(keys["Exec"], "orrery %F")
        self.assertEqual(keys["Icon"], "orrery")
        self.assertIn("text/x-quobol", keys["MimeType"].split(";"))

        # The MIME database built from the package's type file maps *.qob to the entry's type.
        mime = os.path.join(self.tmp, "mime")
        os.makedirs(os.path.join(mime, "packages"), exist_ok=True)
        shutil.copy(self.path("share", "mime", "packages", "orrery-quobol.xml"), os.path.join(mime, "packages"))
        result = run(["update-mime-database", mime])
        self.assertEqual(result.returncode, 0, result.stderr)
        with open(os.path.join(mime, "globs2"), encoding="utf-8") as f:
            self.assertRegex(f.read(), r"(?m)^\d+:text/x-quobol:\*\.qob$")

    def test_every_manual_page_renders_without_warnings(self):
        pages = sorted(os.listdir(self.path("share", "man", "man1")))
        self.assertEqual(pages, sorted(f"{p}.1.gz" for p in ARGS.programs))
        env = dict(without_display(), LC_ALL="C.UTF-8", MANWIDTH="80", MAN_DISABLE_SECCOMP="1")
        for page in pages:
            with self.subTest(page=page):
                path = self.path("share", "man", "man1", page)
                result = run(["man", "--warnings", "-l", path], env=env, timeout=60)
                self.assertEqual(result.returncode, 0, result.stderr)
                self.assertEqual(result.stderr, "")
                self.assertIn("NAME", result.stdout)
                self.assertIn(ARGS.version, result.stdout)
                with gzip.open(path, "rt", encoding="utf-8") as f:
                    self.assertNotIn("@VERSION@", f.read())

    def test_lintian_reports_no_errors(self):
        if shutil.which("lintian") is None:
            self.skipTest("lintian is not installed")
        result = run(["lintian", "--tag-display-limit", "0", self.deb], timeout=600)
        # Warnings are printed for the record; errors fail.
        print(result.stdout, file=sys.stderr)
        errors = [line for line in result.stdout.splitlines() if line.startswith("E:")]
        self.assertEqual(errors, [])


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--source-dir", required=True)
    parser.add_argument("--build-dir", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--package-version", required=True)
    parser.add_argument("--programs", nargs="+", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
