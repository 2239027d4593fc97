#!/usr/bin/env bash
# Builds everything a release ships into OUTPUT_FOLDER (default build/release/):
#   Kalvane.exe                       the program (release preset: optimised, stripped, static)
#   Kalvane-<version>-setup.exe       the installer (release/kalvane.nsi, built with makensis)
#   Kalvane-<version>-win64.zip       the program and a short readme, for use without installing
#   SHA256SUMS                        the SHA-256 of each of the three, as shipped
# The version is the CMake project version. Every time stamp inside the artefacts is the commit's
# time (SOURCE_DATE_EPOCH, taken from git unless set), so a build of one commit gives the same
# bytes wherever and whenever it runs (scripts/reproducible.sh checks that).
#
# With KALVANE_SIGN_PKCS12 and KALVANE_SIGN_PASSWORD_FILE (README, "Signing a release") the
# program, the uninstaller and the installer are signed (scripts/sign.sh); without them the
# artefacts are unsigned.
#
#   bash scripts/release.sh [OUTPUT_FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
out=$(realpath -m "${1:-$root/build/release}")
build=$root/build/release/cmake

fail() { echo "release: $*" >&2; exit 1; }
signer="" # the signing script, when there is a certificate
if [[ -n ${KALVANE_SIGN_PKCS12:-} ]]; then
  for name in KALVANE_SIGN_PKCS12 KALVANE_SIGN_PASSWORD_FILE; do
    [[ -f ${!name:-} ]] || fail "$name names no file: '${!name:-}'"
    # Absolute: makensis runs the signing command from the installer script's folder.
    export "$name=$(realpath "${!name}")"
  done
  signer=$root/scripts/sign.sh
elif [[ -n ${KALVANE_SIGN_PASSWORD_FILE:-}${KALVANE_SIGN_TIMESTAMP_URL:-} ]]; then
  fail "KALVANE_SIGN_PASSWORD_FILE or KALVANE_SIGN_TIMESTAMP_URL is set, KALVANE_SIGN_PKCS12 is not"
fi

[[ -n ${KALVANE_SKIP_DEPS:-} ]] || bash scripts/install-deps.sh
if [[ -z ${SOURCE_DATE_EPOCH:-} ]]; then
  SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null) ||
    { echo "release: not in a git checkout; set SOURCE_DATE_EPOCH" >&2; exit 1; }
fi
export SOURCE_DATE_EPOCH

cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)" >/dev/null
version=$(cat "$build/generated/version.txt")
setup=Kalvane-$version-setup.exe
zip=Kalvane-$version-win64.zip

mkdir -p "$out"
rm -f "$out"/Kalvane*.exe "$out"/Kalvane-*.zip "$out/SHA256SUMS"
cp "$build/Kalvane.exe" "$out/Kalvane.exe"
# Signed before it goes into the installer and the zip.
[[ -z $signer ]] || bash "$signer" "$out/Kalvane.exe"
# The installer keeps the files' modification time: the commit's, not the build's.
touch -d "@$SOURCE_DATE_EPOCH" "$out/Kalvane.exe"

nsis_sign=()
[[ -z $signer ]] || nsis_sign=("-DSIGN=bash \"$signer\"")
makensis -V2 -INPUTCHARSET UTF8 -DSETTINGS="$build/generated/kalvane.nsh" \
  -DEXE="$out/Kalvane.exe" -DOUTFILE="$out/$setup" "${nsis_sign[@]}" release/kalvane.nsi

# A zip with a fixed order of entries, fixed times and attributes.
python3 - "$out/$zip" "$out/Kalvane.exe" release/README-zip.txt <<'PY'
import os, sys, time, zipfile
target, exe, readme = sys.argv[1:]
when = time.gmtime(max(int(os.environ["SOURCE_DATE_EPOCH"]), 315532800))[:6]  # zip starts in 1980
with zipfile.ZipFile(target, "w") as archive:
    for name, path in (("Kalvane.exe", exe), ("README.txt", readme)):
        entry = zipfile.ZipInfo(name, date_time=when)
        entry.create_system = 0  # MS-DOS attributes only
        entry.external_attr = 0x20  # archive bit
        entry.compress_type = zipfile.ZIP_DEFLATED
        with open(path, "rb") as f:
            data = f.read()
        if name.endswith(".txt"):  # for Notepad: a byte-order mark and CRLF line ends
            data = b"\xef\xbb\xbf" + data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
        archive.writestr(entry, data, compresslevel=9)
PY
touch -d "@$SOURCE_DATE_EPOCH" "$out/$setup" "$out/$zip"

(cd "$out" && sha256sum Kalvane.exe "$setup" "$zip" >SHA256SUMS)
echo "release $version in $out:"
(cd "$out" && stat -c '  %n  %s bytes' Kalvane.exe "$setup" "$zip" SHA256SUMS)
if [[ -n $signer ]]; then
  when=$(date -u -d "@$SOURCE_DATE_EPOCH" '+%F %T UTC')
  stamp=${KALVANE_SIGN_TIMESTAMP_URL:+, time stamp from $KALVANE_SIGN_TIMESTAMP_URL}
  echo "signed with $KALVANE_SIGN_PKCS12 (SHA-256, signing time $when$stamp)"
else
  echo "the artefacts are unsigned: KALVANE_SIGN_PKCS12 names no certificate"
fi
