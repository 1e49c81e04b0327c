#!/usr/bin/env python3
"""Tests of the installed authoring tools and of their Debian package.

  test_install.py InstallTest SOURCE BUILD VERSION
      cmake --install BUILD into a temporary prefix: exactly the files the
      tools need; quorlan-disc image from there gives the same bytes as the
      build's tool; both tools say VERSION. Then, with the source and the
      build hidden (a private mount namespace), no installed file names
      either, and check and image run from the prefix in another folder.
  test_install.py PreviewTest SOURCE BUILD VERSION
      The same install, the source and the build hidden: preview saves a
      picture of the example disc's menu on a headless machine, in a Wine
      prefix of its own in the user's cache folder (under Wine).
  test_install.py PackageTest SOURCE BUILD VERSION
      The Debian package, made by cpack from the build: its files and
      control fields; unpacked with dpkg-deb -x, it makes the example
      disc's image; apt-get accepts its dependencies here, and on a machine
      with nothing installed, with and without the i386 architecture.
"""
import os
import pathlib
import shutil
import subprocess
import sys
import tempfile
import unittest

SOURCE, BUILD, VERSION = (sys.argv[2:] + ["", "", ""])[:3]  # after the test class's name
FIXED_TIME = 981173106  # 2001-02-03 04:05:06 UTC

# The installed tree, below the prefix.
INSTALLED = sorted([
    "bin/quorlan-check",
    "bin/quorlan-disc",
    "share/doc/quorlan/Quorlan.txt",
    "share/doc/quorlan/README.md",
    "share/doc/quorlan/changelog.gz",
    "share/doc/quorlan/copyright",
    "share/bash-completion/completions/quorlan-check",
    "share/bash-completion/completions/quorlan-disc",
    "share/man/man1/quorlan-check.1.gz",
    "share/man/man1/quorlan-disc.1.gz",
    "share/man/man5/quorlan.ini.5.gz",
    "share/quorlan/preview-x64/quorlan-driver.exe",
    "share/quorlan/preview-x64/quorlan.exe",
    "share/quorlan/quorlan-check.html",
    "share/quorlan/quorlan-driver.exe",
    "share/quorlan/quorlan.exe",
    "share/quorlan/wine-env.sh",
] + ["share/doc/quorlan/docs/" + name for name in os.listdir(os.path.join(SOURCE, "docs"))
     if name.endswith((".md", ".png"))])
PACKAGE = f"quorlan_{VERSION}_amd64.deb"
CONTROL = {
    "Package": "quorlan",
    "Version": VERSION,
    "Architecture": "amd64",
    "Section": "utils",
    "Recommends": "wine32",
}
# What the tools run, and what the native checker links.
DEPENDS = ["python3", "xorriso", "wine", "wine64", "fonts-wine", "xvfb", "xauth", "x11-utils", "imagemagick",
           "libc6", "libstdc++6"]


def run(command, cwd=None, env=None, timeout=300):
    return subprocess.run(command, cwd=cwd, env=env, capture_output=True, text=True, timeout=timeout)


def files_below(folder):
    return sorted(os.path.relpath(os.path.join(root, name), folder)
                  for root, dirs, names in os.walk(folder) for name in names)


def example_disc(work):
    """Copies the example disc into WORK, its files dated alike, so that
    every image of it has the same bytes."""
    disc = os.path.join(work, "example")
    shutil.copytree(os.path.join(SOURCE, "examples"), disc)
    for name in files_below(disc):
        os.utime(os.path.join(disc, name), (FIXED_TIME, FIXED_TIME))
    return disc


def hidden(command):
    """Yields COMMAND run where the source and the build folder are empty
    (each covered by an empty file system, in a mount namespace of its own)."""
    folders = sorted({os.path.realpath(SOURCE), os.path.realpath(BUILD)}, key=len, reverse=True)
    script = ('for f in "$@"; do [ "$f" = -- ] && break; mount -t tmpfs none "$f" || exit 97; done; '
              'for f in "$@"; do [ "$f" = -- ] && break; [ -z "$(ls -A "$f")" ] || exit 98; done; '
              'while [ "$1" != -- ]; do shift; done; shift; exec "$@"')
    unshare = ["unshare", "-m"] if os.geteuid() == 0 else ["unshare", "-rm"]
    return unshare + ["sh", "-c", script, "_"] + folders + ["--"] + command


class Test(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="quorlan-install-test-")
        self.addCleanup(shutil.rmtree, self.work, ignore_errors=True)

    def install(self):
        prefix = os.path.join(self.work, "prefix")
        done = run(["cmake", "--install", BUILD, "--prefix", prefix])
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        return prefix

    def assert_ran(self, done, text, what):
        self.assertEqual(done.returncode, 0, f"{what}: exit {done.returncode}\n{done.stdout}{done.stderr}")
        self.assertIn(text, done.stdout, what)


class InstallTest(Test):
    def test_install(self):
        prefix = self.install()
        self.assertEqual(files_below(prefix), INSTALLED)
        tool = os.path.join(prefix, "bin", "quorlan-disc")
        for program in (tool, os.path.join(prefix, "bin", "quorlan-check")):
            done = run([program, "--version"])
            self.assertEqual(done.stdout, f"{os.path.basename(program)} {VERSION}\n", done.stderr)

        disc = example_disc(self.work)
        images = {}
        for name, program in (("build", os.path.join(BUILD, "quorlan-disc")), ("installed", tool)):
            images[name] = os.path.join(self.work, name + ".iso")
            self.assert_ran(run([program, "image", disc, "-o", images[name]]), "files: 7, quorlan.exe added",
                            f"image by the {name} tool")
        self.assertTrue(filecmp(images["build"], images["installed"]),
                        "the installed tool's image differs from the build's")

        names = {os.path.realpath(SOURCE).encode(), os.path.realpath(BUILD).encode(),
                 os.path.abspath(SOURCE).encode(), os.path.abspath(BUILD).encode()}
        for name in INSTALLED:
            data = pathlib.Path(prefix, name).read_bytes()
            for folder in names:
                self.assertNotIn(folder, data, f"{name} names {folder.decode()}")

        # From another folder, with nothing of the source or the build to be found.
        elsewhere = os.path.join(self.work, "elsewhere")
        os.makedirs(elsewhere)
        done = run(hidden([tool, "check", disc]), cwd=elsewhere)
        self.assert_ran(done, "disc: no quorlan.exe in the folder: the image adds", "check, source hidden")
        done = run(hidden([tool, "image", disc, "-o", "example.iso"]), cwd=elsewhere)
        self.assert_ran(done, "image: example.iso", "image, source hidden")
        self.assertTrue(filecmp(images["installed"], os.path.join(elsewhere, "example.iso")),
                        "the image made with the source hidden differs")


class PreviewTest(Test):
    def test_preview(self):
        tool = os.path.join(self.install(), "bin", "quorlan-disc")
        disc = example_disc(self.work)
        elsewhere = os.path.join(self.work, "elsewhere")
        os.makedirs(elsewhere)
        env = dict(os.environ, XDG_CACHE_HOME=os.path.join(self.work, "cache"))
        env.pop("DISPLAY", None)
        done = run(hidden([tool, "preview", disc]), cwd=elsewhere, env=env, timeout=600)
        print(done.stdout + done.stderr, end="")
        self.assert_ran(done, "picture of the menu: quorlan-preview.png", "preview, source hidden")
        # Where the 64-bit Wine runs it, the installed 64-bit program stands in.
        program = "preview-x64/quorlan.exe" if os.environ.get("QUORLAN_WINE_ARCH") == "64" else "quorlan.exe"
        self.assertIn(f"/share/quorlan/{program})", done.stdout)
        self.assertTrue(os.path.isdir(os.path.join(self.work, "cache", "quorlan", "wineprefix-disc")),
                        "no Wine prefix in the user's cache folder")
        # The menu's window, trimmed from Wine's desktop: the size its menu asks for.
        with open(os.path.join(elsewhere, "quorlan-preview.png"), "rb") as picture:
            head = picture.read(24)
        self.assertEqual(head[:8], b"\x89PNG\r\n\x1a\n")
        self.assertEqual((int.from_bytes(head[16:20], "big"), int.from_bytes(head[20:24], "big")), (720, 440))


class PackageTest(Test):
    def test_package(self):
        done = run(["cpack", "--config", os.path.join(BUILD, "CPackConfig.cmake"), "-B", self.work])
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        package = os.path.join(self.work, PACKAGE)

        contents = run(["dpkg-deb", "-c", package]).stdout.splitlines()
        files = sorted(line.split()[-1][len("./usr/"):] for line in contents if not line.startswith("d"))
        self.assertEqual(files, INSTALLED)
        self.assertTrue(all(" root/root " in line for line in contents), "files not owned by root")

        fields = {}
        for field in list(CONTROL) + ["Depends", "Description", "Maintainer"]:
            fields[field] = run(["dpkg-deb", "-f", package, field]).stdout.strip()
        for field, value in CONTROL.items():
            self.assertEqual(fields[field], value, field)
        depends = [d.split()[0] for d in fields["Depends"].split(", ")]
        for name in DEPENDS:
            self.assertIn(name, depends)
        self.assertTrue(fields["Description"] and fields["Maintainer"])

        unpacked = os.path.join(self.work, "unpacked")
        self.assertEqual(run(["dpkg-deb", "-x", package, unpacked]).returncode, 0)
        tool = os.path.join(unpacked, "usr", "bin", "quorlan-disc")
        self.assertEqual(run([tool, "--version"]).stdout, f"quorlan-disc {VERSION}\n")
        self.assertEqual(run([os.path.join(unpacked, "usr", "bin", "quorlan-check"), "--version"]).stdout,
                         f"quorlan-check {VERSION}\n")
        disc = example_disc(self.work)
        done = run([tool, "image", disc, "-o", os.path.join(self.work, "example.iso")], cwd=self.work)
        self.assert_ran(done, "files: 7, quorlan.exe added", "image from the unpacked package")

        # Here, and on a machine with nothing installed yet (an empty package
        # status), with and without the i386 architecture: which Wine each gets.
        empty = os.path.join(self.work, "status")
        open(empty, "w").close()
        fresh = ["-o", "Dir::State::status=" + empty, "-o", "APT::Architectures::=amd64"]
        machines = [("this machine", [], [], []),
                    ("a fresh machine with i386", fresh + ["-o", "APT::Architectures::=i386"],
                     ["Inst wine64 (", "Inst wine32:i386 ("], []),
                    ("a fresh machine, amd64 alone", fresh, ["Inst wine64 ("], ["Inst wine32"])]
        for machine, options, installs, not_installs in machines:
            done = run(["apt-get", "install", "--simulate", "-q"] + options + ["./" + PACKAGE], cwd=self.work)
            with self.subTest(machine):
                self.assertEqual(done.returncode, 0, done.stdout[-3000:] + done.stderr)
                for text in installs + ["Conf quorlan ("]:
                    self.assertIn(text, done.stdout)
                for text in not_installs:
                    self.assertNotIn(text, done.stdout)


def filecmp(a, b):
    return pathlib.Path(a).read_bytes() == pathlib.Path(b).read_bytes()


if __name__ == "__main__":
    unittest.main(argv=sys.argv[:2])
