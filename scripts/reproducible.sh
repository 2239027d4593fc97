#!/usr/bin/env bash
# Builds one commit's release twice, from two copies of its tree in two different folders, with
# a different time zone, umask and locale, and checks that every artefact is byte for byte the
# same. Prints both builds' SHA256SUMS hash; the exit status is non-zero when anything differs.
#
#   bash scripts/reproducible.sh [COMMIT]      (default HEAD; uncommitted changes are not built)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
commit=$(git rev-parse --verify "${1:-HEAD}^{commit}")
export SOURCE_DATE_EPOCH=$(git log -1 --format=%ct "$commit")
export KALVANE_SKIP_DEPS=1
[[ -n ${KALVANE_REPRO_NO_DEPS:-} ]] || bash scripts/install-deps.sh

work=$root/build/reproducible
rm -rf "$work"
trees=("$work/first" "$work/second-tree-elsewhere")
settings=("UTC 022 C.UTF-8" "Asia/Shanghai 002 zh_CN.UTF-8")
for i in 0 1; do
  mkdir -p "${trees[$i]}"
  git archive "$commit" | tar -x -C "${trees[$i]}"
  read -r tz mask locale <<<"${settings[$i]}"
  echo "build $((i + 1)): ${trees[$i]} (TZ=$tz, umask $mask, LC_ALL=$locale)"
  (cd "${trees[$i]}" && umask "$mask" && TZ=$tz LC_ALL=$locale bash scripts/release.sh >build.log 2>&1) ||
    { tail -n 30 "${trees[$i]}/build.log"; echo "reproducible: build $((i + 1)) failed"; exit 1; }
done

a=${trees[0]}/build/release
b=${trees[1]}/build/release
status=0
for file in $(cd "$a" && ls Kalvane* SHA256SUMS); do
  if cmp -s "$a/$file" "$b/$file"; then
    echo "  same       $file"
  else
    echo "  DIFFERENT  $file"
    status=1
  fi
done
[[ $(cd "$a" && ls | sort) == $(cd "$b" && ls | sort) ]] || { echo "  the two builds made different files"; status=1; }
echo "SHA256SUMS of build 1: $(sha256sum <"$a/SHA256SUMS" | cut -d' ' -f1)"
echo "SHA256SUMS of build 2: $(sha256sum <"$b/SHA256SUMS" | cut -d' ' -f1)"
if ((status == 0)); then
  echo "reproducible: yes ($(git log -1 --format=%h "$commit"), SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH)"
else
  echo "reproducible: NO"
fi
exit "$status"
