#!/usr/bin/env bash
# The Homebrew formula: its url names this version's source archive, and stamping it for
# an archive gives valid Ruby with that archive's file URL and SHA-256, once; an archive
# of another version is refused.
#   check_formula.sh PACKAGING_DIR VERSION CMAKE [RUBY]
set -euo pipefail
packaging="$1" version="$2" cmake="$3" ruby="${4:-}" formula="$1/cairnmoor.rb"
work="$(mktemp -d "${TMPDIR:-/tmp}/cairnmoor-formula.XXXXXX")"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
stamp() { "$cmake" -DFORMULA="$1" -DARCHIVE="$2" -DOUTPUT="$3" -P "$packaging/stamp_formula.cmake" \
    >"$work/log" 2>&1; }

# The whole grep output must match, so a second url line fails too.
re="^  url \"[^\"]*/cairnmoor-${version//./\\.}\\.tar\\.gz\"\$"
[[ "$(grep -E '^  url "' "$formula" || true)" =~ $re ]] ||
    fail "not exactly one url, naming cairnmoor-$version.tar.gz (version changed in one place only?)"

archive="$work/cairnmoor-$version.tar.gz"
printf 'stand-in archive %s\n' "$version" >"$archive"
stamp "$formula" "$archive" "$work/stamped.rb" ||
    { cat "$work/log" >&2; fail "stamping the formula for $archive"; }
# Exactly one url and one sha256 line, naming the archive and its digest.
stamped="$(grep -E '^  (url|sha256) ' "$work/stamped.rb" || true)"
digest="$("$cmake" -E sha256sum "$archive" | cut -d' ' -f1)"
[[ "$stamped" == "  url \"file://$archive\""$'\n'"  sha256 \"$digest\"" ]] || fail "stamped as [$stamped]"
stamp "$work/stamped.rb" "$archive" "$work/twice.rb" || true
cmp -s "$work/stamped.rb" "$work/twice.rb" || fail "stamping twice changed the formula"
[[ -x "$ruby" ]] || echo "no ruby: the stamped formula's syntax is unchecked"
[[ ! -x "$ruby" ]] || "$ruby" -c "$work/stamped.rb" >/dev/null || fail "ruby -c $work/stamped.rb"
printf 'other\n' >"$work/cairnmoor-0.0.1.tar.gz"
! stamp "$formula" "$work/cairnmoor-0.0.1.tar.gz" "$work/other.rb" ||
    fail "a formula was stamped for an archive of another version"
echo "formula OK"
