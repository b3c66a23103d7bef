#!/usr/bin/env bash
# The Homebrew formula: valid Ruby, its url names this version's source archive, and
# stamping it for an archive gives a formula with that archive's file URL and SHA-256.
#   check_formula.sh PACKAGING_DIR VERSION CMAKE [RUBY]
set -euo pipefail
packaging="$1" version="$2" cmake="$3" ruby="${4:-}"
[[ -x "$ruby" ]] || ruby=""
formula="$packaging/cairnmoor.rb"
work="$(mktemp -d "${TMPDIR:-/tmp}/cairnmoor-formula.XXXXXX")"
trap 'rm -rf "$work"' EXIT

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

urls="$(grep -cE '^  url "' "$formula" || true)"
[[ "$urls" == 1 ]] || fail "expected one url line, found $urls"
if ! grep -qE "^  url \"[^\"]*/cairnmoor-${version//./\\.}\\.tar\\.gz\"\$" "$formula"; then
    fail "the url does not name cairnmoor-$version.tar.gz (was the version changed in one place only?)"
fi

if [[ -n "$ruby" ]]; then
    "$ruby" -c "$formula" >/dev/null || fail "ruby -c $formula"
else
    echo "ruby not found: syntax check skipped"
fi

# Stamp the formula for a stand-in archive of this version.
archive="$work/cairnmoor-$version.tar.gz"
printf 'stand-in archive %s\n' "$version" >"$archive"
if "$cmake" -DFORMULA="$formula" -DARCHIVE="$archive" -DOUTPUT="$work/stamped.rb" \
    -P "$packaging/stamp_formula.cmake" >"$work/stamp.log" 2>&1; then
    expected="$("$cmake" -E sha256sum "$archive" | cut -d' ' -f1)"
    grep -qxF "  url \"file://$archive\"" "$work/stamped.rb" || fail "stamped url"
    sha_lines="$(grep -E '^  sha256 ' "$work/stamped.rb" || true)"
    [[ "$sha_lines" == "  sha256 \"$expected\"" ]] ||
        fail "stamped sha256: expected one line with $expected, got [$sha_lines]"
    # Stamping a stamped formula must not pile up checksums.
    "$cmake" -DFORMULA="$work/stamped.rb" -DARCHIVE="$archive" -DOUTPUT="$work/twice.rb" \
        -P "$packaging/stamp_formula.cmake" >/dev/null 2>&1 || true
    cmp -s "$work/stamped.rb" "$work/twice.rb" || fail "stamping twice changed the formula"
    if [[ -n "$ruby" ]]; then
        "$ruby" -c "$work/stamped.rb" >/dev/null || fail "ruby -c on the stamped formula"
    fi
else
    cat "$work/stamp.log" >&2
    fail "stamping the formula for $archive"
fi

# An archive of another version must be refused, not silently given this formula.
other="$work/cairnmoor-0.0.1.tar.gz"
printf 'other\n' >"$other"
if "$cmake" -DFORMULA="$formula" -DARCHIVE="$other" -DOUTPUT="$work/other.rb" \
    -P "$packaging/stamp_formula.cmake" >/dev/null 2>&1; then
    fail "a formula was stamped for an archive of another version"
fi

if ((failures > 0)); then
    exit 1
fi
echo "formula OK"
