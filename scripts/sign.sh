#!/usr/bin/env bash
# Signs one Windows executable in place: an Authenticode signature with SHA-256 digests, the
# description "Kalvane", and the certificate that the environment names:
#   KALVANE_SIGN_PKCS12          the PKCS#12 file with the code-signing key and its certificates
#   KALVANE_SIGN_PASSWORD_FILE   a file whose first line is that file's password
#   KALVANE_SIGN_TIMESTAMP_URL   optional: an RFC 3161 time-stamp server
# The signing time is SOURCE_DATE_EPOCH (the commit's time), so that, without a time stamp, one
# file signed twice with one RSA key gives the same bytes. scripts/release.sh calls it for
# Kalvane.exe, and makensis (release/kalvane.nsi) for the uninstaller and the installer.
#
#   bash scripts/sign.sh FILE.exe
set -euo pipefail
[[ $# -eq 1 && -f $1 ]] || { echo "sign: usage: sign.sh FILE.exe" >&2; exit 2; }
: "${KALVANE_SIGN_PKCS12:?sign: KALVANE_SIGN_PKCS12 names no certificate}"
: "${KALVANE_SIGN_PASSWORD_FILE:?sign: KALVANE_SIGN_PASSWORD_FILE names no password file}"
: "${SOURCE_DATE_EPOCH:?sign: SOURCE_DATE_EPOCH (the signing time) is not set}"

file=$1
signed=$file.signed
args=(sign -pkcs12 "$KALVANE_SIGN_PKCS12" -readpass "$KALVANE_SIGN_PASSWORD_FILE"
  -h sha256 -n Kalvane -time "$SOURCE_DATE_EPOCH")
if [[ -n ${KALVANE_SIGN_TIMESTAMP_URL:-} ]]; then
  args+=(-ts "$KALVANE_SIGN_TIMESTAMP_URL")
fi

rm -f "$signed"
trap 'rm -f "$signed"' EXIT
if ! output=$(osslsigncode "${args[@]}" -in "$file" -out "$signed" 2>&1); then
  echo "$output" >&2
  echo "sign: osslsigncode could not sign $file" >&2
  exit 1
fi
mv -f "$signed" "$file"
