#!/usr/bin/env bash
# The Homebrew formula: valid Ruby, its url names this version's source archive, and
# stamping it for an archive gives that archive's file URL and SHA-256, once; an archive
# of another version is refused.
#   check_formula.sh PACKAGING_DIR VERSION CMAKE [RUBY]
set -euo pipefail
packaging="$1" version="$2" cmake="$3" ruby="${4:-}"
formula="$packaging/cairnmoor.rb"
work="$(mktemp -d "${TMPDIR:-/tmp}/cairnmoor-formula.XXXXXX")"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
stamp() { "$cmake" -DFORMULA="$1" -DARCHIVE="$2" -DOUTPUT="$3" -P "$packaging/stamp_formula.cmake"; }
syntax() {
    if [[ -x "$ruby" ]]; then "$ruby" -c "$1" >/dev/null || fail "ruby -c $1"; else echo "no ruby: $1 unchecked"; fi
}

# The whole grep output must match, so a second url line fails too.
re="^  url \"[^\"]*/cairnmoor-${version//./\\.}\\.tar\\.gz\"\$"
[[ "$(grep -E '^  url "' "$formula" || true)" =~ $re ]] ||
    fail "not exactly one url, naming cairnmoor-$version.tar.gz (version changed in one place only?)"
syntax "$formula"

archive="$work/cairnmoor-$version.tar.gz"
printf 'stand-in archive %s\n' "$version" >"$archive"
stamp "$formula" "$archive" "$work/stamped.rb" >"$work/stamp.log" 2>&1 ||
    { cat "$work/stamp.log" >&2; fail "stamping the formula for $archive"; }
grep -qxF "  url \"file://$archive\"" "$work/stamped.rb" || fail "stamped url"
digest="$("$cmake" -E sha256sum "$archive" | cut -d' ' -f1)"
sha="$(grep -E '^  sha256 ' "$work/stamped.rb" || true)"
[[ "$sha" == "  sha256 \"$digest\"" ]] || fail "stamped sha256: expected one $digest, got [$sha]"
stamp "$work/stamped.rb" "$archive" "$work/twice.rb" >/dev/null 2>&1 || true
cmp -s "$work/stamped.rb" "$work/twice.rb" || fail "stamping twice changed the formula"
syntax "$work/stamped.rb"
printf 'other\n' >"$work/cairnmoor-0.0.1.tar.gz"
! stamp "$formula" "$work/cairnmoor-0.0.1.tar.gz" "$work/other.rb" >/dev/null 2>&1 ||
    fail "a formula was stamped for an archive of another version"
echo "formula OK"
