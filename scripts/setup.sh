#!/usr/bin/env bash
# Installs whatever the build, the tests and the window need and is not there yet.
# Debian 12 (as root): apt-get. macOS: Homebrew. Quick when everything is present.
set -euo pipefail

debian_packages=(
    cmake ninja-build g++ clang pkg-config
    nlohmann-json3-dev libutf8proc-dev libssl-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    qt6-base-dev qt6-declarative-dev
    qml6-module-qtquick qml6-module-qtquick-controls qml6-module-qtquick-layouts
    qml6-module-qtquick-dialogs qml6-module-qtquick-window qml6-module-qtquick-templates
    qml6-module-qtqml-workerscript qml6-module-qt-labs-platform qml6-module-qt-labs-folderlistmodel
    qml6-module-qttest
    libgl-dev shellcheck hyperfine libfuzzer-14-dev clang-format
    dpkg-dev file ruby fonts-dejavu-core
    # The clang-libcxx preset: the Mac's standard library, and GoogleTest's sources to
    # build against it (Debian's libgtest is built for libstdc++).
    libc++-dev libc++abi-dev googletest
    # packaging/icon/make-icns.sh: the app icon rendered from its SVG.
    librsvg2-bin
)
brew_packages=(cmake ninja pkg-config qt nlohmann-json utf8proc googletest google-benchmark
    shellcheck hyperfine)

case "$(uname -s)" in
Linux)
    missing=()
    for package in "${debian_packages[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$package")
        fi
    done
    if ((${#missing[@]} > 0)); then
        echo "Installing: ${missing[*]}"
        sudo_cmd=()
        if [[ $EUID -ne 0 ]]; then sudo_cmd=(sudo); fi
        "${sudo_cmd[@]}" apt-get update -qq
        DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
    fi
    ;;
Darwin)
    if ! command -v brew >/dev/null 2>&1; then
        echo "Homebrew is needed to set up the build: https://brew.sh/" >&2
        exit 1
    fi
    missing=()
    for package in "${brew_packages[@]}"; do
        if ! brew list --formula "$package" >/dev/null 2>&1; then
            missing+=("$package")
        fi
    done
    if ((${#missing[@]} > 0)); then
        brew install "${missing[@]}"
    fi
    ;;
*)
    echo "Unsupported system: $(uname -s)" >&2
    exit 1
    ;;
esac
