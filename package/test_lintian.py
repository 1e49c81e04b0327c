#!/usr/bin/env python3
"""test_lintian.py BUILD VERSION: lintian, from Debian's packages, passes
the Debian package that cpack makes from BUILD: no error and no warning.
Its informational tags may stay; an override needs its reason written in
the override file."""
import os
import subprocess
import sys
import tempfile


def main(build, version):
    with tempfile.TemporaryDirectory(prefix="quorlan-lintian-") as work:
        done = subprocess.run(["cpack", "--config", os.path.join(build, "CPackConfig.cmake"), "-B", work],
                              capture_output=True, text=True)
        if done.returncode != 0:
            print(done.stdout + done.stderr)
            return 1
        package = os.path.join(work, f"quorlan_{version}_amd64.deb")
        done = subprocess.run(["lintian", "--info", "--display-info", package], capture_output=True, text=True)
    print(done.stdout + done.stderr, end="")
    failed = [line for line in done.stdout.splitlines() if line.startswith(("E:", "W:"))]
    for line in failed:
        print("FAIL:", line)
    print(f"lintian: {len(failed)} errors and warnings")
    return 1 if failed or done.returncode not in (0, 1) else 0


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    sys.exit(main(sys.argv[1], sys.argv[2]))
