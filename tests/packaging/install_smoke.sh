#!/usr/bin/env bash
# Runs an installed or unpacked Cairnmoor the way a user would: from another working
# directory, with a fresh HOME, and without the build folder. It must print its
# version and help, find the catalogue it ships with, and install a profile through
# (fake) Homebrew. A copy of the tree moved elsewhere must still work, and must fail
# cleanly once its catalogue is gone: proof that it reads its own, not the build's.
#
#   install_smoke.sh --build DIR --version X --fakes DIR   install DIR into a temp prefix
#   install_smoke.sh --prefix DIR --version X --fakes DIR  use a tree installed already
set -euo pipefail

usage() {
    echo "usage: $0 (--build DIR | --prefix DIR) --version X.Y.Z --fakes DIR" >&2
    exit 2
}

build="" prefix="" version="" fakes=""
while (($# > 0)); do
    case "$1" in
    --build) build="${2:?}"; shift 2 ;;
    --prefix) prefix="${2:?}"; shift 2 ;;
    --version) version="${2:?}"; shift 2 ;;
    --fakes) fakes="${2:?}"; shift 2 ;;
    *) usage ;;
    esac
done
[[ -n "$version" && -n "$fakes" ]] || usage
[[ -n "$build" || -n "$prefix" ]] || usage
fakes="$(cd "$fakes" && pwd)"

work="$(mktemp -d "${TMPDIR:-/tmp}/cairnmoor-install.XXXXXX")"
trap 'rm -rf "$work"' EXIT

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
# expect_equal WHAT EXPECTED ACTUAL
expect_equal() {
    if [[ "$2" != "$3" ]]; then
        fail "$1: expected [$2], got [$3]"
    fi
}
# expect_line WHAT FILE LINE: FILE holds LINE as a whole line.
expect_line() {
    if ! grep -qxF -- "$3" "$2"; then
        fail "$1: no line [$3] in:"
        sed 's/^/    /' "$2" >&2
    fi
}

if [[ -n "$build" ]]; then
    prefix="$work/prefix"
    cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 || {
        cat "$work/install.log" >&2
        echo "FAIL: cmake --install $build" >&2
        exit 1
    }
fi
prefix="$(cd "$prefix" && pwd)"

# The executable inside the tree: bin/ on Linux, the app bundle on macOS.
executable_in() {
    if [[ -x "$1/bin/Cairnmoor" ]]; then
        echo "$1/bin/Cairnmoor"
    elif [[ -x "$1/Cairnmoor.app/Contents/MacOS/Cairnmoor" ]]; then
        echo "$1/Cairnmoor.app/Contents/MacOS/Cairnmoor"
    else
        echo "FAIL: no Cairnmoor executable under $1" >&2
        find "$1" -maxdepth 4 >&2
        exit 1
    fi
}
catalogue_in() {
    local linux="$1/share/cairnmoor/Cairnmoor_CairnmoorCore.bundle/catalog.json"
    local mac="$1/Cairnmoor.app/Contents/Resources/Cairnmoor_CairnmoorCore.bundle/catalog.json"
    if [[ -f "$linux" ]]; then echo "$linux"; elif [[ -f "$mac" ]]; then echo "$mac"; fi
}

# Nothing from the caller's environment may help the installed program find anything.
mkdir -p "$work/home" "$work/cwd" "$work/fakebin"
ln -s "$fakes/brew" "$work/fakebin/brew"
run() {
    (cd "$work/cwd" && env -i HOME="$work/home" PATH="$work/fakebin:/usr/bin:/bin" \
        LANG=C.UTF-8 CAIRNMOOR_FAKE_STATE="$work/state" "$@")
}

cat >"$work/cwd/team.cmprofile" <<'EOF'
{
  "apps" : [ "wget", "firefox" ],
  "created" : "2026-01-01T00:00:00Z",
  "options" : {
    "packageManager" : "homebrew",
    "runUpdateFirst" : false,
    "skipInstalled" : true,
    "timeoutSeconds" : 60,
    "upgradeIfPresent" : true,
    "writeLog" : true
  },
  "schema" : 2
}
EOF

# Homebrew's fixed locations come before PATH, so a real Homebrew would win over the fake.
real_brew=""
for candidate in /opt/homebrew/bin/brew /usr/local/bin/brew; do
    if [[ -x "$candidate" ]]; then real_brew="$candidate"; fi
done

# check_tree PREFIX: version, help and a profile install from that tree.
check_tree() {
    local tree="$1" exe status
    exe="$(executable_in "$tree")"
    [[ -n "$(catalogue_in "$tree")" ]] || fail "$tree ships no catalogue"

    status=0
    run "$exe" --version >"$work/out" 2>"$work/err" || status=$?
    expect_equal "--version status" 0 "$status"
    expect_equal "--version output" "$version" "$(cat "$work/out")"

    status=0
    run "$exe" --help >"$work/out" 2>"$work/err" || status=$?
    expect_equal "--help status" 0 "$status"
    expect_equal "--help first line" \
        "Cairnmoor $version - bulk software installer for macOS (Homebrew or MacPorts)" \
        "$(head -n 1 "$work/out")"
    expect_line "--help" "$work/out" "Usage:"

    if [[ -n "$real_brew" ]]; then
        echo "SKIP profile install: Cairnmoor would pick the real Homebrew at $real_brew"
        return
    fi
    rm -rf "$work/state"
    status=0
    run "$exe" --profile team.cmprofile >"$work/out" 2>"$work/err" || status=$?
    expect_equal "profile install status" 0 "$status"
    expect_line "profile install" "$work/out" \
        "Installing 2 app(s) from team.cmprofile using $work/fakebin/brew..."
    expect_line "profile install" "$work/out" "Summary: 2 processed, 0 failed."
    if [[ -f "$work/state/invocations.log" ]]; then
        expect_line "brew calls" "$work/state/invocations.log" "brew install --cask firefox"
        expect_line "brew calls" "$work/state/invocations.log" "brew install wget"
    else
        fail "profile install never ran brew; stderr: $(cat "$work/err")"
    fi
    # The command line keeps no log file, whatever the profile says.
    if [[ -e "$work/home/Library/Logs" ]]; then
        fail "profile install left a log folder in HOME"
    fi
}

echo "-- tree at $prefix"
check_tree "$prefix"
if [[ -n "$build" ]]; then
    expect_equal "installed catalogue" "" \
        "$(cmp "$(catalogue_in "$prefix")" \
            "$(dirname "$0")/../../CairnmoorCore/resources/catalog.json" 2>&1)"
fi

echo "-- the same tree moved elsewhere"
mkdir -p "$work/moved"
cp -R "$prefix/." "$work/moved/"
check_tree "$work/moved"

echo "-- the moved tree without its catalogue"
rm -f "$(catalogue_in "$work/moved")"
status=0
run "$(executable_in "$work/moved")" --profile team.cmprofile >"$work/out" 2>"$work/err" ||
    status=$?
expect_equal "status without catalogue" 1 "$status"
expect_equal "message without catalogue" \
    "could not load catalogue: The embedded catalogue resource is missing from the app bundle." \
    "$(cat "$work/err")"

if ((failures > 0)); then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "installed tree OK"
