#!/usr/bin/env python3
"""Tests of the kit ZIP and of the build's reproducibility.

  test_kit.py ContentsTest KIT.zip QUORLAN-DISC FILE...
      The kit holds exactly the FILEs, in that order, the programs byte for
      byte and the texts with CR LF line ends; unpacked, it is a disc that
      quorlan-disc checks clean (its menu, quorlan.exe, autorun.inf).
  test_kit.py ReproducibleTest SOURCE KIT.zip PROGRAM...
      A second clean build of the shipped targets (the kit, which needs the
      PROGRAMs, and what the Debian package holds) in a folder
      elsewhere gives the same bytes, and no file holds the path of the
      source or of either build folder; cpack makes the same package of
      either build.
"""
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import time
import unittest
import zipfile

ARGS = sys.argv[2:]  # after the test class's name


class ContentsTest(unittest.TestCase):
    def test_contents(self):
        kit, tool, files = ARGS[0], ARGS[1], ARGS[2:]
        with zipfile.ZipFile(kit) as z:
            self.assertEqual(z.namelist(), [os.path.basename(f) for f in files])
            for path in files:
                data, original = z.read(os.path.basename(path)), pathlib.Path(path).read_bytes()
                with self.subTest(path):
                    if path.endswith((".exe", ".vsix", ".html")):
                        self.assertEqual(data, original, "not the build's program")
                    else:
                        self.assertEqual(data.count(b"\n"), data.count(b"\r\n"), "not CR LF line ends")
                        self.assertEqual(data.replace(b"\r\n", b"\n"), original, "not the source's text")
            with tempfile.TemporaryDirectory() as disc:
                z.extractall(disc)
                done = subprocess.run([tool, "check", disc], capture_output=True, text=True)
                self.assertEqual(done.returncode, 0, "the unpacked kit does not check clean:\n"
                                 + done.stdout + done.stderr)


class ReproducibleTest(unittest.TestCase):
    def test_second_build(self):
        source, kit, programs = ARGS[0], ARGS[1], ARGS[2:]
        first = os.path.dirname(os.path.abspath(kit))
        other = tempfile.mkdtemp(prefix="quorlan-reproducible-")
        self.addCleanup(shutil.rmtree, other, ignore_errors=True)
        second = os.path.join(other, "win32")
        start = time.monotonic()
        for command in (["cmake", "--preset", "win32", "-B", second],
                        ["cmake", "--build", second, "-j2", "--target", "kit", "quorlan-driver", "host_check", "debian_files",
                         "x64_preview"]):
            done = subprocess.run(command, cwd=source, capture_output=True, text=True)
            self.assertEqual(done.returncode, 0, " ".join(command) + "\n" + done.stdout[-2000:] + done.stderr[-2000:])
        print(f"second build of the shipped targets: {time.monotonic() - start:.0f} s")
        paths = [os.path.realpath(p).encode() for p in (source, first, second)]
        for path in [os.path.abspath(p) for p in [kit] + programs]:
            data = pathlib.Path(path).read_bytes()
            again = pathlib.Path(second, os.path.relpath(path, first)).read_bytes()
            print(f"{os.path.basename(path)}: {len(data):,} bytes, second build {len(again):,}")
            with self.subTest(path):
                self.assertTrue(data == again, "differs between the builds, first at byte %#x"
                                % next((i for i, (a, b) in enumerate(zip(data, again)) if a != b),
                                       min(len(data), len(again))))
                for folder in paths:
                    self.assertNotIn(folder, data, "holds a folder's path")
        packages = []
        for number, build in enumerate((first, second)):
            out = os.path.join(other, f"package-{number}")
            done = subprocess.run(["cpack", "--config", os.path.join(build, "CPackConfig.cmake"), "-B", out],
                                  capture_output=True, text=True)
            self.assertEqual(done.returncode, 0, done.stdout[-2000:] + done.stderr[-2000:])
            packages += [os.path.join(out, name) for name in os.listdir(out) if name.endswith(".deb")]
        self.assertEqual(len(packages), 2, packages)
        data, again = (pathlib.Path(p).read_bytes() for p in packages)
        print(f"{os.path.basename(packages[0])}: {len(data):,} bytes, second build {len(again):,}")
        self.assertTrue(data == again, "the Debian package differs between the builds")


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:2])
