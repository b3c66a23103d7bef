#!/usr/bin/env python3
"""Cairnmoor.app's Info.plist: well-formed, and carrying the values the app reads about
itself (version, build date, publisher) with the keys and types macOS expects."""
import argparse
import plistlib
import subprocess
import sys
import tempfile
from pathlib import Path

parser = argparse.ArgumentParser()
for name in ("plist", "version", "build-date", "publisher", "identifier", "minimum", "writer",
             "cmake"):
    parser.add_argument("--" + name, required=True)
args = parser.parse_args()

failures = []


def check(plist_path, version, build_date, publisher, identifier, minimum="13.0"):
    try:
        with open(plist_path, "rb") as handle:
            info = plistlib.load(handle)
    except Exception as error:  # a malformed plist leaves macOS with no dictionary at all
        failures.append(f"{plist_path}: not a readable property list: {error}")
        return
    expected = {
        "CFBundleShortVersionString": version,
        "CFBundleVersion": version,
        "BuildDate": build_date,
        "NSHumanReadableCopyright": publisher,
        "CFBundleIdentifier": identifier,
        "CFBundleExecutable": "Cairnmoor",
        "CFBundleName": "Cairnmoor",
        "CFBundlePackageType": "APPL",
        "LSMinimumSystemVersion": minimum,
    }
    for key, value in expected.items():
        if info.get(key) != value:
            failures.append(f"{plist_path}: {key} is {info.get(key)!r}, expected {value!r}")
    if info.get("NSHighResolutionCapable") is not True:
        failures.append(f"{plist_path}: NSHighResolutionCapable is not true")


# The plist this build put into the app bundle.
check(args.plist, args.version, args.build_date, args.publisher, args.identifier, args.minimum)

# Values that need escaping in XML come back unchanged.
with tempfile.TemporaryDirectory() as work:
    output = Path(work) / "Info.plist"
    publisher = 'Fern & Oak <Tools> "Ltd"'
    identifier = "org.example.fern-&-oak"
    subprocess.run(
        [args.cmake, f"-DOUTPUT={output}", "-DVERSION=2.3.4", "-DBUILD_DATE=2026-02-03T04:05:06Z",
         f"-DPUBLISHER={publisher}", f"-DIDENTIFIER={identifier}", "-P", args.writer],
        check=True)
    check(output, "2.3.4", "2026-02-03T04:05:06Z", publisher, identifier)

    # An empty value would make BuildInfo show an empty version instead of its fallback.
    empty = subprocess.run(
        [args.cmake, f"-DOUTPUT={output}.empty", "-DVERSION=", "-DBUILD_DATE=x",
         "-DPUBLISHER=p", "-DIDENTIFIER=i", "-P", args.writer],
        capture_output=True)
    if empty.returncode == 0:
        failures.append("an empty version was written into a plist")

for failure in failures:
    print("FAIL:", failure, file=sys.stderr)
sys.exit(1 if failures else 0)
