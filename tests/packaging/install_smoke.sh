#!/usr/bin/env bash
# Runs an installed or unpacked Cairnmoor the way a user would: from another working
# directory, with a fresh HOME and nothing of the build folder. It must print its
# version and help and install a profile through the fake brew with the catalogue it
# ships; a copy of the tree without that catalogue must fail cleanly (it reads its own).
#   install_smoke.sh (--build DIR | --prefix DIR) --version X --fakes DIR
set -euo pipefail
build="" prefix="" version="" fakes=""
while (($# > 1)); do
    case "$1" in
    --build) build="$2" ;; --prefix) prefix="$2" ;; --version) version="$2" ;; --fakes) fakes="$2" ;;
    *) break ;;
    esac
    shift 2
done
if (($# > 0)) || [[ -z "$version" || -z "$fakes" || -z "$build$prefix" ]]; then
    echo "usage: $0 (--build DIR | --prefix DIR) --version X.Y.Z --fakes DIR" >&2
    exit 2
fi
fakes="$(cd "$fakes" && pwd)"
work="$(mktemp -d "${TMPDIR:-/tmp}/cairnmoor-install.XXXXXX")"
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
expect() { [[ "$2" == "$3" ]] || fail "$1: expected [$2], got [$3]"; }
has_line() { grep -qxF -- "$2" "$work/out" || fail "$1: no line [$2] in: $(cat "$work/out")"; }

if [[ -n "$build" ]]; then
    prefix="$work/prefix"
    cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 ||
        { cat "$work/install.log" >&2; echo "FAIL: cmake --install $build" >&2; exit 1; }
fi
prefix="$(cd "$prefix" && pwd)"
# bin/ and share/ on Linux, the app bundle on macOS.
exe="$prefix/bin/Cairnmoor" catalogue="share/cairnmoor/Cairnmoor_CairnmoorCore.bundle/catalog.json"
if [[ ! -x "$exe" ]]; then
    exe="$prefix/Cairnmoor.app/Contents/MacOS/Cairnmoor"
    catalogue="Cairnmoor.app/Contents/Resources/Cairnmoor_CairnmoorCore.bundle/catalog.json"
fi
[[ -x "$exe" ]] || { echo "FAIL: no Cairnmoor executable under $prefix" >&2; exit 1; }
[[ -f "$prefix/$catalogue" ]] || fail "$prefix ships no catalogue"
if [[ -n "$build" ]]; then
    cmp -s "$prefix/$catalogue" "$(dirname "$0")/../../CairnmoorCore/resources/catalog.json" ||
        fail "the installed catalogue is not the source's"
fi

# Nothing from the caller's environment may help the installed program find anything.
mkdir -p "$work/home" "$work/cwd" "$work/fakebin" "$work/state"
ln -s "$fakes/brew" "$work/fakebin/brew"
# As root, Cairnmoor runs Homebrew as its owner: give the fake one that is not root.
if ((EUID == 0)); then
    rm "$work/fakebin/brew" && cp "$fakes/brew" "$work/fakebin/brew"
    chmod 755 "$work" && chown -R nobody "$work/fakebin/brew" "$work/state"
fi
status=0
run() {
    status=0
    (cd "$work/cwd" && env -i HOME="$work/home" PATH="$work/fakebin:/usr/bin:/bin" LANG=C.UTF-8 \
        CAIRNMOOR_FAKE_STATE="$work/state" "$@") >"$work/out" 2>"$work/err" || status=$?
}
cat >"$work/cwd/team.cmprofile" <<'PROFILE'
{"schema": 2, "created": "2026-01-01T00:00:00Z", "apps": ["wget", "firefox"],
 "options": {"packageManager": "homebrew", "runUpdateFirst": false, "skipInstalled": true,
             "timeoutSeconds": 60, "upgradeIfPresent": true, "writeLog": true}}
PROFILE

run "$exe" --version
expect "--version" "0 $version" "$status $(cat "$work/out")"
run "$exe" --help
expect "--help" "0 Cairnmoor $version - bulk software installer for macOS (Homebrew or MacPorts)" \
    "$status $(head -n 1 "$work/out")"

# Started through a symbolic link elsewhere (one on PATH, say) it still finds its own
# catalogue: an unknown identifier is refused only once the catalogue has loaded.
mkdir -p "$work/linked"
ln -s "$exe" "$work/linked/Cairnmoor"
sed 's/"wget", "firefox"/"no-such-app"/' "$work/cwd/team.cmprofile" >"$work/cwd/unknown.cmprofile"
run "$work/linked/Cairnmoor" --profile unknown.cmprofile
expect "run through a symbolic link" "2 Unknown catalogue IDs: no-such-app." "$status $(cat "$work/err")"

mkdir -p "$work/moved"
cp -R "$prefix/." "$work/moved/"
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
    has_line "profile install" "Installing 2 app(s) from team.cmprofile using $work/fakebin/brew..."
    has_line "profile install" "Summary: 2 processed, 0 failed."
    ((EUID != 0)) || has_line "profile install" "Running Homebrew as nobody, the owner of $work/fakebin/brew."
    for call in "brew install --cask firefox" "brew install wget"; do
        grep -qxF "$call" "$work/state/invocations.log" 2>/dev/null ||
            fail "no [$call]; stderr: $(cat "$work/err")"
    done
fi

((failures == 0)) || { echo "$failures check(s) failed" >&2; exit 1; }
echo "installed tree OK"
