#!/usr/bin/env bash
# Builds one commit's release twice, from two copies of its tree in two different folders, with
# a different time zone, umask and locale, and checks that every artefact is byte for byte the
# same: unsigned (build/release), and signed (build/release-signed) with the certificate that
# KALVANE_SIGN_PKCS12 and KALVANE_SIGN_PASSWORD_FILE name or, without them, a throwaway test
# certificate (scripts/test-certificate.sh); never with a time stamp, which carries the time of
# its server. Prints the SHA256SUMS hashes; the exit status is non-zero when anything differs.
#
#   bash scripts/reproducible.sh [COMMIT]      (default HEAD; uncommitted changes are not built)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
commit=$(git rev-parse --verify "${1:-HEAD}^{commit}")
export SOURCE_DATE_EPOCH=$(git log -1 --format=%ct "$commit")
export KALVANE_SKIP_DEPS=1
[[ -n ${KALVANE_REPRO_NO_DEPS:-} ]] || bash scripts/install-deps.sh

certs=$(mktemp -d)
trap 'rm -rf "$certs"' EXIT
if [[ -n ${KALVANE_SIGN_PKCS12:-} ]]; then
  KALVANE_SIGN_PKCS12=$(realpath "$KALVANE_SIGN_PKCS12")
  KALVANE_SIGN_PASSWORD_FILE=$(realpath "${KALVANE_SIGN_PASSWORD_FILE:?is needed too}")
else
  bash scripts/test-certificate.sh "$certs"
  KALVANE_SIGN_PKCS12=$certs/signer.p12 KALVANE_SIGN_PASSWORD_FILE=$certs/password
fi
unset KALVANE_SIGN_TIMESTAMP_URL
signing=("KALVANE_SIGN_PKCS12=$KALVANE_SIGN_PKCS12"
  "KALVANE_SIGN_PASSWORD_FILE=$KALVANE_SIGN_PASSWORD_FILE")
unset KALVANE_SIGN_PKCS12 KALVANE_SIGN_PASSWORD_FILE

work=$root/build/reproducible
rm -rf "$work"
trees=("$work/first" "$work/second-tree-elsewhere")
settings=("UTC 022 C.UTF-8" "Asia/Shanghai 002 zh_CN.UTF-8")
for i in 0 1; do
  mkdir -p "${trees[$i]}"
  git archive "$commit" | tar -x -C "${trees[$i]}"
  read -r tz mask locale <<<"${settings[$i]}"
  echo "build $((i + 1)): ${trees[$i]} (TZ=$tz, umask $mask, LC_ALL=$locale)"
  # Unsigned, then signed: the second run reuses the first one's compiled program.
  (cd "${trees[$i]}" && umask "$mask" && export TZ=$tz LC_ALL=$locale &&
    bash scripts/release.sh && env "${signing[@]}" bash scripts/release.sh build/release-signed) \
    >"${trees[$i]}/build.log" 2>&1 ||
    { tail -n 30 "${trees[$i]}/build.log"; echo "reproducible: build $((i + 1)) failed"; exit 1; }
done

status=0
for kind in release release-signed; do
  a=${trees[0]}/build/$kind
  b=${trees[1]}/build/$kind
  for file in $(cd "$a" && ls Kalvane* SHA256SUMS); do
    if cmp -s "$a/$file" "$b/$file"; then
      echo "  same       $kind/$file"
    else
      echo "  DIFFERENT  $kind/$file"
      status=1
    fi
  done
  [[ $(cd "$a" && ls | sort) == $(cd "$b" && ls | sort) ]] ||
    { echo "  the two builds made different files in $kind"; status=1; }
  echo "SHA256SUMS of $kind, build 1: $(sha256sum <"$a/SHA256SUMS" | cut -d' ' -f1)"
  echo "SHA256SUMS of $kind, build 2: $(sha256sum <"$b/SHA256SUMS" | cut -d' ' -f1)"
done
if cmp -s "${trees[0]}"/build/{release,release-signed}/Kalvane.exe; then
  echo "  the signed build's program is the unsigned one: nothing was signed"
  status=1
fi
if ((status == 0)); then
  echo "reproducible: yes ($(git log -1 --format=%h "$commit"), SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH)"
else
  echo "reproducible: NO"
fi
exit "$status"
