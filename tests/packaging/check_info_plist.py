#!/usr/bin/env python3
# Cairnmoor.app's Info.plist: well-formed, carrying the values the app reads about itself
# (version, build date, publisher) with the keys and types macOS expects; the writer keeps
# values that need escaping in XML and refuses an empty one.
#   check_info_plist.py PLIST VERSION BUILD_DATE PUBLISHER IDENTIFIER MINIMUM WRITER CMAKE
import plistlib, subprocess, sys, tempfile
from pathlib import Path

plist, version, build_date, publisher, identifier, minimum, writer, cmake = sys.argv[1:]
failures = []


def check(path, version, build_date, publisher, identifier, minimum="13.0"):
    info = plistlib.loads(Path(path).read_bytes())  # a malformed plist is no dictionary at all
    expected = {"CFBundleShortVersionString": version, "CFBundleVersion": version,
                "BuildDate": build_date, "NSHumanReadableCopyright": publisher,
                "CFBundleIdentifier": identifier, "CFBundleExecutable": "Cairnmoor",
                "CFBundleName": "Cairnmoor", "CFBundlePackageType": "APPL",
                "LSMinimumSystemVersion": minimum, "NSHighResolutionCapable": True}
    found = {key: info.get(key) for key in expected}
    if repr(found) != repr(expected):  # repr tells a text from a number or a truth value
        failures.append(f"{path}: {found}, expected {expected}")


def write(output, version):  # with values that need escaping in XML
    return subprocess.run([cmake, f"-DOUTPUT={output}", f"-DVERSION={version}",
                           "-DBUILD_DATE=2026-02-03T04:05:06Z", "-DPUBLISHER=Fern & Oak <Tools> \"Ltd\"",
                           "-DIDENTIFIER=org.example.f&o", "-P", writer], capture_output=True)


check(plist, version, build_date, publisher, identifier, minimum)  # the one this build made
with tempfile.TemporaryDirectory() as work:
    print(write(Path(work) / "Info.plist", "2.3.4").stderr.decode(), end="")
    check(Path(work) / "Info.plist", "2.3.4", "2026-02-03T04:05:06Z", 'Fern & Oak <Tools> "Ltd"',
          "org.example.f&o")
    # An empty value would make BuildInfo show an empty version instead of its fallback.
    if write(Path(work) / "empty.plist", "").returncode == 0:
        failures.append("an empty version was written into a plist")
sys.exit("".join(f"FAIL: {failure}\n" for failure in failures) or None)
