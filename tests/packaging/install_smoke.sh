#!/usr/bin/env bash
# Runs an installed or unpacked Cairnmoor the way a user would: from another working
# directory, with a fresh HOME and nothing of the build folder. It must print its
# version and install a profile through the fake brew with the catalogue it ships, also
# when started through a symbolic link; a copy of the tree without that catalogue must
# fail cleanly (it reads its own). --hooks ON: a test build, which takes Homebrew's known
# places from the environment, so the fake wins over a real Homebrew.
#   install_smoke.sh (--build DIR | --prefix DIR) --version X --fakes DIR [--hooks ON|OFF]
set -euo pipefail
build="" prefix="" version="" fakes="" hooks=""
while (($# > 1)) && [[ "$1" =~ ^--(build|prefix|version|fakes|hooks)$ ]]; do declare "${1#--}=$2"; shift 2; done
[[ $# == 0 && -n "$version" && -n "$fakes" && -n "$build$prefix" ]] ||
    { echo "usage: $0 (--build DIR | --prefix DIR) --version X.Y.Z --fakes DIR [--hooks ON|OFF]" >&2; exit 2; }
fakes="$(cd "$fakes" && pwd)" prefix="${prefix:+$(cd "$prefix" && pwd)}"
work="$(mktemp -d "${TMPDIR:-/tmp}/cairnmoor-install.XXXXXX")"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
# expect WHAT EXPECTED [out|err]: the last run's status, and what it printed there.
expect() { local got="$status${3:+ $(cat "$work/$3")}"
    [[ "$2" == "$got" ]] || fail "$1: expected [$2], got [$got]; stderr: $(cat "$work/err")"; }
# has_lines FILE LINE...: each line is in the file.
has_lines() { local line
    for line in "${@:2}"; do grep -qxF -- "$line" "$1" || fail "no line [$line] in $1: $(cat "$1")"; done; }

[[ -z "$build" ]] || cmake --install "$build" --prefix "${prefix:=$work/prefix}" >"$work/out" 2>&1 ||
    { cat "$work/out" >&2; fail "cmake --install $build"; }
# bin/ and share/ on Linux, the app bundle on macOS.
exe="bin/Cairnmoor" catalogue="share/cairnmoor/Cairnmoor_CairnmoorCore.bundle/catalog.json"
[[ -x "$prefix/$exe" ]] || exe="Cairnmoor.app/Contents/MacOS/Cairnmoor" \
    catalogue="Cairnmoor.app/Contents/Resources/Cairnmoor_CairnmoorCore.bundle/catalog.json"
[[ -x "$prefix/$exe" && -f "$prefix/$catalogue" ]] || fail "no executable and catalogue in $prefix"
source_catalogue="$(dirname "$0")/../../CairnmoorCore/resources/catalog.json"
[[ -z "$build" ]] || cmp -s "$prefix/$catalogue" "$source_catalogue" || fail "not the source's catalogue"

# Nothing from the caller's environment may help the installed program find anything.
mkdir -p "$work/home" "$work/cwd" "$work/fakebin" "$work/state" && cp "$fakes/brew" "$work/fakebin/"
# As root, Cairnmoor runs Homebrew as its owner: give the fake one that is not root.
# Run so, it gets a clean environment: the fake's state folder is then named beside it.
((EUID != 0)) || { chmod 755 "$work" && chown -R nobody "$work/fakebin/brew" "$work/state" &&
    echo "CAIRNMOOR_FAKE_STATE='$work/state'" >"$work/fakebin/fake-settings"; }
# macOS has C.UTF-8 only from 15, a minimal Debian no en_US.UTF-8.
locale=C.UTF-8 && [[ "$(uname -s)" != Darwin ]] || locale=en_US.UTF-8
run() { status=0; (cd "$work/cwd" && env -i HOME="$work/home" PATH="$work/fakebin:/usr/bin:/bin" LANG="$locale" \
    CAIRNMOOR_FAKE_STATE="$work/state" CAIRNMOOR_TEST_BREW_KNOWN_PATHS= "$@") >"$work/out" 2>"$work/err" || status=$?; }
cp "$(dirname "$0")"/*.cmprofile "$work/cwd/"

run "$prefix/$exe" --version
expect "--version" "0 $version" out

# Started through a symbolic link on PATH it still finds its own catalogue: an unknown
# identifier is refused only once the catalogue has loaded.
ln -s "$prefix/$exe" "$work/fakebin/Cairnmoor"
run Cairnmoor --profile unknown.cmprofile
expect "run through a symbolic link" "2 Unknown catalogue IDs: no-such-app." err

cp -R "$prefix" "$work/moved"
rm -f "$work/moved/$catalogue"
run "$work/moved/$exe" --profile team.cmprofile
expect "moved tree without its catalogue" \
    "1 could not load catalogue: The embedded catalogue resource is missing from the app bundle." err

# Homebrew's fixed places come before PATH: unless this is a test build, a real Homebrew
# would win over the fake.
if [[ "$hooks" != ON && ( -x /opt/homebrew/bin/brew || -x /usr/local/bin/brew ) ]]; then
    echo "SKIP profile installs: a real Homebrew would be used"
else
    run "$prefix/$exe" --profile team.cmprofile
    expect "profile install status" 0
    has_lines "$work/out" "Summary: 2 processed, 0 failed."
    ((EUID != 0)) || has_lines "$work/out" "Running Homebrew as nobody, the owner of $work/fakebin/brew."
    has_lines "$work/state/invocations.log" "brew install --cask firefox" "brew install wget"
fi
echo "installed tree OK"
