#!/usr/bin/env bash
# The signed release, tested: a throwaway test CA and code-signing certificate
# (scripts/test-certificate.sh, in a temporary folder removed at the end, never committed), a
# release signed with it in build/release-signed, and under Wine, in a prefix of its own
# (build/e2e-signed): tests/e2e/signing_tests.py and the installer's silent install and uninstall
# tests (tests/e2e/installer_tests.py) against the signed installer. Needs the windows preset's
# build for the test driver. The last line is "e2e: N passed, N failed".
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
root=$(pwd)
out=$root/build/release-signed
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}

certs=$(mktemp -d)
trap 'rm -rf "$certs"' EXIT
if ! bash scripts/test-certificate.sh "$certs" ||
  ! KALVANE_SIGN_PKCS12=$certs/signer.p12 KALVANE_SIGN_PASSWORD_FILE=$certs/password \
    bash scripts/release.sh "$out"; then
  echo "e2e: 0 passed, 1 failed"
  exit 1
fi
version=$(cat build/release/cmake/generated/version.txt)
KALVANE_SETUP=$out/Kalvane-$version-setup.exe KALVANE_SIGN_CA=$certs/ca.pem \
  KALVANE_NSIS_SETTINGS=$root/build/release/cmake/generated/kalvane.nsh \
  bash tests/e2e/run_e2e.sh --exe "$out/Kalvane.exe" --driver build/windows/kdriver/kdriver.exe \
  --work build/e2e-signed --artifacts build/e2e-signed-artifacts \
  signing_tests installer_tests -k signing_tests -k silent_
