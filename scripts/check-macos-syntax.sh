#!/usr/bin/env bash
# Compiles every source the macOS build compiles (the *_mac files and the .mm in place of
# their *_other twins, the shared sources, the tests and the benchmarks) with
# `clang -fsyntax-only` for arm64 and x86_64 Macs at the oldest supported macOS, against
# macOS SDK headers, on a machine without a Mac. It finds what Linux builds cannot: a
# declaration macOS keeps in another header, a libc++ header that no longer comes along
# transitively, an AppKit call spelt wrongly, C++ that an older clang rejects. Linking,
# and everything that runs, stay the job of the macOS CI jobs.
#
#   scripts/check-macos-syntax.sh [--libc LIBC-FOLDER] SDK-FOLDER [SOURCE...]
#
# SDK-FOLDER is either a real SDK (MacOSX.sdk from Xcode or the Command Line Tools, with
# usr/include and System/Library/Frameworks) or a copy of the headers packaged for
# cross-compiling, laid out as include/ and Frameworks/ (include/c++/v1 being Apple's
# libc++). Apple's licence does not let the project carry these headers: get them outside
# the repository, for example
#
#   git clone --depth 1 https://github.com/mitchellh/zig-build-macos-sdk ../macsdk
#   git clone --depth 1 https://github.com/apple-oss-distributions/Libc ../macsdk-libc
#   scripts/check-macos-syntax.sh --libc ../macsdk-libc ../macsdk
#
# --libc adds the include/ folder of Apple's Libc sources after the SDK's own headers, for
# an SDK copy that lacks some of them. Qt, GoogleTest, Google Benchmark, nlohmann/json and
# utf8proc come from this machine (scripts/setup.sh installs them; Debian's Qt headers stand
# in for the Mac's, which are the same sources). Without SOURCE arguments every source is
# checked. MACOS_TARGET (default 13.0) and MACOS_ARCHS (default "arm64 x86_64") override
# the target; CLANG names the compiler (default clang++). Exits 1 when any file fails.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

usage() {
    sed -n '2,/^set -euo/p' "$0" | sed '$d; s/^# \{0,1\}//'
    exit 2
}

libc=""
while (($# > 0)); do
    case "$1" in
    --libc) libc="${2:?--libc needs a folder}"; shift 2 ;;
    -h | --help) usage ;;
    -*) echo "unknown option $1" >&2; usage ;;
    *) break ;;
    esac
done
(($# >= 1)) || usage
sdk="$(cd "$1" && pwd)"
shift

if [[ -d "$sdk/usr/include" ]]; then
    sdk_include="$sdk/usr/include"
    sdk_frameworks="$sdk/System/Library/Frameworks"
else
    sdk_include="$sdk/include"
    sdk_frameworks="$sdk/Frameworks"
fi
libcxx="$sdk_include/c++/v1"
for needed in "$sdk_include/unistd.h" "$libcxx/vector" "$sdk_frameworks/AppKit.framework"; do
    if [[ ! -e "$needed" ]]; then
        echo "$sdk does not look like a macOS SDK: $needed is missing (see --help)" >&2
        exit 2
    fi
done

clang="${CLANG:-clang++}"
target="${MACOS_TARGET:-13.0}"
read -r -a archs <<<"${MACOS_ARCHS:-arm64 x86_64}"
resource_dir="$("$clang" -print-resource-dir)"
qt_include="$(pkg-config --variable=includedir Qt6Core 2>/dev/null || true)"
if [[ -z "$qt_include" || ! -d "$qt_include/QtCore" ]]; then
    echo "Qt 6's headers were not found (pkg-config Qt6Core); run scripts/setup.sh" >&2
    exit 2
fi

# The other libraries' headers, without the rest of this machine's /usr/include, whose C
# headers are glibc's and must not stand in for the Mac's.
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir "$work/third-party"
for header in nlohmann gtest gmock benchmark utf8proc.h; do
    for folder in /usr/include /usr/local/include /opt/homebrew/include; do
        if [[ -e "$folder/$header" ]]; then
            ln -s "$folder/$header" "$work/third-party/$header"
            break
        fi
    done
done
sed 's/@[A-Z_]*@/0/g' "$root/CairnmoorCore/platform/BuildConstants.cpp.in" >"$work/BuildConstants.cpp"

common=(-fsyntax-only -std=c++20 -Wall -Wextra -Wpedantic -Werror
    -nostdinc -nostdinc++ -isystem "$libcxx" -isystem "$resource_dir/include"
    -isystem "$sdk_include")
if [[ -n "$libc" ]]; then
    common+=(-idirafter "$(cd "$libc" && pwd)/include")
fi
common+=(-iframework "$sdk_frameworks" -isystem "$work/third-party"
    -I "$root/CairnmoorCore" -I "$root/app" -I "$root/tests"
    -DCAIRNMOOR_SOURCE_DIR=\""$root"\" -DCAIRNMOOR_BINARY_DIR=\""$root/build"\"
    -DCAIRNMOOR_FAKES_DIR=\""$root/tests/fakes"\" -DCAIRNMOOR_SHARED_DATA_DIR=\"/\"
    -DCAIRNMOOR_BENCH_FAKES_DIR=\""$root/bench/fakes"\" -DCAIRNMOOR_EXECUTABLE=\"Cairnmoor\")
# As CMake defines them for targets linking these modules (QtTest's GUI functions need
# QT_GUI_LIB, for one).
qt=(-isystem "$qt_include" -DQT_NO_KEYWORDS -DQT_NO_CAST_FROM_ASCII -DQT_TESTCASE_BUILDDIR=\"/\")
for module in CORE GUI NETWORK OPENGL QMLINTEGRATION QMLMODELS QML QUICKCONTROLS2 QUICK TESTLIB; do
    qt+=("-DQT_${module}_LIB")
done
for module in "$qt_include"/Qt*; do
    qt+=(-isystem "$module")
done

# The Mac build's source list (CairnmoorCore/ and app/ CMakeLists.txt): *_other.cpp are
# replaced by their *_mac.cpp or *_mac.mm twins; fuzz/ is not built on macOS.
if (($# > 0)); then
    sources=("$@")
else
    mapfile -t sources < <(cd "$root" && find CairnmoorCore app tests bench \
        \( -name '*.cpp' -o -name '*.mm' \) ! -name '*_other.cpp' | sort)
    sources+=("$work/BuildConstants.cpp")
fi

failed=0
checked=0
for arch in "${archs[@]}"; do
    for source in "${sources[@]}"; do
        flags=(--target="$arch-apple-macos$target" "${common[@]}")
        case "$source" in
        app/views/* | tests/views/* | bench/window/* | */app/views/* | */tests/views/* | */bench/window/*) flags+=("${qt[@]}") ;;
        esac
        if [[ "$source" == *.mm ]]; then
            flags+=(-x objective-c++)
        fi
        checked=$((checked + 1))
        if ! output="$(cd "$root" && "$clang" "${flags[@]}" "$source" 2>&1)"; then
            echo "== $arch: $source"
            echo "$output"
            failed=$((failed + 1))
        elif [[ -n "$output" ]]; then
            echo "== $arch: $source"
            echo "$output"
        fi
    done
done
echo "macOS $target syntax check (${archs[*]}, $("$clang" --version | head -n 1)):" \
    "$checked compilations, $failed failed"
((failed == 0))
