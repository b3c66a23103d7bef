#!/usr/bin/env bash
# The Homebrew formula: valid Ruby, its url names this version's source archive, and
# stamping it for an archive gives that archive's file URL and SHA-256, once.
#   check_formula.sh PACKAGING_DIR VERSION CMAKE [RUBY]
set -euo pipefail
packaging="$1" version="$2" cmake="$3" ruby="${4:-}"
formula="$packaging/cairnmoor.rb"
work="$(mktemp -d "${TMPDIR:-/tmp}/cairnmoor-formula.XXXXXX")"
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
stamp() { "$cmake" -DFORMULA="$1" -DARCHIVE="$2" -DOUTPUT="$3" -P "$packaging/stamp_formula.cmake"; }
syntax() { if [[ -x "$ruby" ]]; then "$ruby" -c "$1" >/dev/null || fail "ruby -c $1"; fi; }

urls="$(grep -E '^  url "' "$formula" || true)"
re="^  url \"[^\"]*/cairnmoor-${version//./\\.}\\.tar\\.gz\"\$"
[[ "$urls" != *$'\n'* && "$urls" =~ $re ]] ||
    fail "not exactly one url, naming cairnmoor-$version.tar.gz (version changed in one place only?)"
[[ -x "$ruby" ]] || echo "ruby not found: syntax checks skipped"
syntax "$formula"

archive="$work/cairnmoor-$version.tar.gz"
printf 'stand-in archive %s\n' "$version" >"$archive"
if stamp "$formula" "$archive" "$work/stamped.rb" >"$work/stamp.log" 2>&1; then
    digest="$("$cmake" -E sha256sum "$archive" | cut -d' ' -f1)"
    grep -qxF "  url \"file://$archive\"" "$work/stamped.rb" || fail "stamped url"
    sha="$(grep -E '^  sha256 ' "$work/stamped.rb" || true)"
    [[ "$sha" == "  sha256 \"$digest\"" ]] || fail "stamped sha256: expected one $digest, got [$sha]"
    stamp "$work/stamped.rb" "$archive" "$work/twice.rb" >/dev/null 2>&1 || true
    cmp -s "$work/stamped.rb" "$work/twice.rb" || fail "stamping twice changed the formula"
    syntax "$work/stamped.rb"
else
    cat "$work/stamp.log" >&2
    fail "stamping the formula for $archive"
fi
# An archive of another version is refused, not silently given this formula.
printf 'other\n' >"$work/cairnmoor-0.0.1.tar.gz"
if stamp "$formula" "$work/cairnmoor-0.0.1.tar.gz" "$work/other.rb" >/dev/null 2>&1; then
    fail "a formula was stamped for an archive of another version"
fi
((failures == 0)) || exit 1
echo "formula OK"
