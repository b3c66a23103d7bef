#!/usr/bin/env bash
# Runs an installed or unpacked Cairnmoor the way a user would: from another working
# directory, with a fresh HOME and nothing of the build folder. It must print its
# version and install a profile through the fake brew with the catalogue it ships, also
# when started through a symbolic link; a copy of the tree without that catalogue must
# fail cleanly (it reads its own).
#   install_smoke.sh (--build DIR | --prefix DIR) --version X --fakes DIR
set -euo pipefail
build="" prefix="" version="" fakes=""
while (($# > 1)) && [[ "$1" =~ ^--(build|prefix|version|fakes)$ ]]; do declare "${1#--}=$2"; shift 2; done
[[ $# == 0 && -n "$version" && -n "$fakes" && -n "$build$prefix" ]] ||
    { echo "usage: $0 (--build DIR | --prefix DIR) --version X.Y.Z --fakes DIR" >&2; exit 2; }
fakes="$(cd "$fakes" && pwd)" prefix="${prefix:+$(cd "$prefix" && pwd)}"
work="$(mktemp -d "${TMPDIR:-/tmp}/cairnmoor-install.XXXXXX")"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
expect() { [[ "$2" == "$3" ]] || fail "$1: expected [$2], got [$3]"; }
has_line() { grep -qxF -- "$1" "$2" || fail "no line [$1] in $2: $(cat "$2"); stderr: $(cat "$work/err")"; }

if [[ -n "$build" ]]; then
    prefix="$work/prefix"
    cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
        { cat "$work/install.log" >&2; fail "cmake --install $build"; }
fi
# bin/ and share/ on Linux, the app bundle on macOS.
exe="$prefix/bin/Cairnmoor" catalogue="share/cairnmoor/Cairnmoor_CairnmoorCore.bundle/catalog.json"
if [[ ! -x "$exe" ]]; then
    exe="$prefix/Cairnmoor.app/Contents/MacOS/Cairnmoor"
    catalogue="Cairnmoor.app/Contents/Resources/Cairnmoor_CairnmoorCore.bundle/catalog.json"
fi
[[ -x "$exe" ]] || fail "no Cairnmoor executable under $prefix"
[[ -f "$prefix/$catalogue" ]] || fail "$prefix ships no catalogue"
[[ -z "$build" ]] || cmp -s "$prefix/$catalogue" "$(dirname "$0")/../../CairnmoorCore/resources/catalog.json" ||
    fail "the installed catalogue is not the source's"

# Nothing from the caller's environment may help the installed program find anything.
mkdir -p "$work/home" "$work/cwd" "$work/fakebin" "$work/state"
ln -s "$fakes/brew" "$work/fakebin/brew"
# As root, Cairnmoor runs Homebrew as its owner: give the fake one that is not root.
if ((EUID == 0)); then
    rm "$work/fakebin/brew" && cp "$fakes/brew" "$work/fakebin/brew"
    chmod 755 "$work" && chown -R nobody "$work/fakebin/brew" "$work/state"
fi
run() {
    status=0
    (cd "$work/cwd" && env -i HOME="$work/home" PATH="$work/fakebin:/usr/bin:/bin" LANG=C.UTF-8 \
        CAIRNMOOR_FAKE_STATE="$work/state" "$@") >"$work/out" 2>"$work/err" || status=$?
}
cp "$(dirname "$0")"/*.cmprofile "$work/cwd/"

run "$exe" --version
expect "--version" "0 $version" "$status $(cat "$work/out")"

# Started through a symbolic link on PATH it still finds its own catalogue: an unknown
# identifier is refused only once the catalogue has loaded.
ln -s "$exe" "$work/fakebin/Cairnmoor"
run Cairnmoor --profile unknown.cmprofile
expect "run through a symbolic link" "2 Unknown catalogue IDs: no-such-app." "$status $(cat "$work/err")"

cp -R "$prefix" "$work/moved"
rm -f "$work/moved/$catalogue"
run "$work/moved${exe#"$prefix"}" --profile team.cmprofile
expect "moved tree without its catalogue" \
    "1 could not load catalogue: The embedded catalogue resource is missing from the app bundle." \
    "$status $(cat "$work/err")"

# Homebrew's fixed places come before PATH: a real Homebrew would win over the fake.
if [[ -x /opt/homebrew/bin/brew || -x /usr/local/bin/brew ]]; then
    echo "SKIP profile installs: a real Homebrew would be used"
else
    run "$exe" --profile team.cmprofile
    expect "profile install status" 0 "$status"
    has_line "Summary: 2 processed, 0 failed." "$work/out"
    ((EUID != 0)) || has_line "Running Homebrew as nobody, the owner of $work/fakebin/brew." "$work/out"
    has_line "brew install --cask firefox" "$work/state/invocations.log"
    has_line "brew install wget" "$work/state/invocations.log"
fi
echo "installed tree OK"
