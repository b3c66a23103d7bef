#!/usr/bin/env python3
"""Cairnmoor.app's Info.plist: well-formed, carrying the values the app reads about itself
(version, build date, publisher) with the keys and types macOS expects."""
import argparse, plistlib, subprocess, sys, tempfile
from pathlib import Path

parser = argparse.ArgumentParser()
for name in ("plist", "version", "build-date", "publisher", "identifier", "minimum", "writer", "cmake"):
    parser.add_argument("--" + name, required=True)
args = parser.parse_args()
failures = []


def check(path, version, build_date, publisher, identifier, minimum="13.0"):
    try:
        with open(path, "rb") as handle:
            info = plistlib.load(handle)
    except Exception as error:  # a malformed plist leaves macOS with no dictionary at all
        failures.append(f"{path}: not a readable property list: {error}")
        return
    expected = {"CFBundleShortVersionString": version, "CFBundleVersion": version,
                "BuildDate": build_date, "NSHumanReadableCopyright": publisher,
                "CFBundleIdentifier": identifier, "CFBundleExecutable": "Cairnmoor",
                "CFBundleName": "Cairnmoor", "CFBundlePackageType": "APPL",
                "LSMinimumSystemVersion": minimum, "NSHighResolutionCapable": True}
    for key, value in expected.items():
        if info.get(key) != value or type(info.get(key)) is not type(value):
            failures.append(f"{path}: {key} is {info.get(key)!r}, expected {value!r}")


def write(output, version, publisher="p", identifier="i"):
    return subprocess.run([args.cmake, f"-DOUTPUT={output}", f"-DVERSION={version}",
                           "-DBUILD_DATE=2026-02-03T04:05:06Z", f"-DPUBLISHER={publisher}",
                           f"-DIDENTIFIER={identifier}", "-P", args.writer], capture_output=True)


# The plist this build put into the app bundle.
check(args.plist, args.version, args.build_date, args.publisher, args.identifier, args.minimum)
with tempfile.TemporaryDirectory() as work:
    # Values that need escaping in XML come back unchanged.
    publisher, identifier = 'Fern & Oak <Tools> "Ltd"', "org.example.fern-&-oak"
    written = write(Path(work) / "Info.plist", "2.3.4", publisher, identifier)
    if written.returncode != 0:
        failures.append(f"writing a plist failed: {written.stderr.decode()}")
    check(Path(work) / "Info.plist", "2.3.4", "2026-02-03T04:05:06Z", publisher, identifier)
    # An empty value would make BuildInfo show an empty version instead of its fallback.
    if write(Path(work) / "empty.plist", "").returncode == 0:
        failures.append("an empty version was written into a plist")

for failure in failures:
    print("FAIL:", failure, file=sys.stderr)
sys.exit(1 if failures else 0)
