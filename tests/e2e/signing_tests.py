"""The signed release: the program, the uninstaller as the installer writes it and the installer
verify against the authority that issued the signing certificate, with SHA-256 digests, the
product's name as description and the commit's time as signing time; one changed byte breaks
each; SHA256SUMS covers the files as shipped.

Not part of the default suite: scripts/signing-test.sh makes a throwaway test authority, builds
a release signed by it and runs this file there (KALVANE_SETUP, KALVANE_SIGN_CA = the authority's
certificate, SOURCE_DATE_EPOCH), with the installer's silent install and uninstall tests.

What Wine cannot show: it checks no signature, so neither the publisher in the elevation prompt
nor SmartScreen's verdict is seen; osslsigncode does the checking.
"""

import hashlib
import os
import subprocess
import time
import unittest
import zipfile

from e2e_support import EXE, E2ETestCase
from installer_tests import INSTALL_DIR, SETUP, read_file, wine

CA = os.environ.get("KALVANE_SIGN_CA", "")
SIGNING_TIME = time.strftime("%b %e %H:%M:%S %Y GMT",
                             time.gmtime(int(os.environ.get("SOURCE_DATE_EPOCH", "0"))))


def verify(path):
    """osslsigncode's check of `path` against the test authority: (exit code, output)."""
    run = subprocess.run(["osslsigncode", "verify", "-CAfile", CA, "-in", path],
                         stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=120)
    return run.returncode, run.stdout + run.stderr


class SignedReleaseTest(E2ETestCase):
    def changed_copy(self, path):
        """A copy of `path` with one bit of its middle byte turned over."""
        data = bytearray(read_file(path))
        data[len(data) // 2] ^= 0x01
        copy = os.path.join(os.environ["KALVANE_E2E_WORK"], "changed-" + os.path.basename(path))
        with open(copy, "wb") as f:
            f.write(data)
        return copy

    def test_program_uninstaller_and_installer_verify_and_a_changed_byte_fails(self):
        code, out = wine(SETUP, "/S")
        self.assertEqual(code, 0, "the signed installer failed: %s" % out[-500:])
        signed = (("program", EXE),
                  ("installed program", os.path.join(INSTALL_DIR, "Kalvane.exe")),
                  ("uninstaller as installed", os.path.join(INSTALL_DIR, "uninstall.exe")),
                  ("installer", SETUP))
        for name, path in signed:
            with self.subTest(name):
                code, out = verify(path)
                self.assertEqual(code, 0, out[-2000:])
                self.assertIn("Signature verification: ok", out)
                self.assertRegex(out, r"Message digest algorithm\s*: SHA256")
                self.assertIn("Text description: Kalvane\n", out)
                self.assertIn("Signing time: %s\n" % SIGNING_TIME, out)

                code, out = verify(self.changed_copy(path))
                self.assertNotEqual(code, 0, "a changed copy verified:\n" + out[-2000:])
                self.assertIn("MISMATCH", out)


class SignedArtefactsTest(unittest.TestCase):
    def test_zip_holds_the_signed_program_and_sha256sums_the_files_as_shipped(self):
        release = os.path.dirname(SETUP)
        zips = [n for n in os.listdir(release) if n.endswith(".zip")]
        self.assertEqual(len(zips), 1, zips)
        with zipfile.ZipFile(os.path.join(release, zips[0])) as archive:
            self.assertEqual(archive.read("Kalvane.exe"), read_file(EXE))

        with open(os.path.join(release, "SHA256SUMS"), encoding="ascii") as f:
            sums = {name: digest for digest, name in (line.split() for line in f)}
        self.assertEqual(sorted(sums), sorted(["Kalvane.exe", os.path.basename(SETUP), zips[0]]))
        for name, digest in sums.items():
            self.assertEqual(hashlib.sha256(read_file(os.path.join(release, name))).hexdigest(),
                             digest, name)
