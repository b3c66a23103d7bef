#!/usr/bin/env bash
# Renders cairnmoor.svg into cairnmoor.icns, Cairnmoor.app's icon, at every size Finder and
# the Dock ask for (what iconutil makes of an .iconset: PNG images, 16 to 1024 pixels, each
# under its type code). Run it after changing the drawing and commit both files; the build
# uses the .icns as it is, so a Mac needs neither tool. rsvg-convert (librsvg2-bin) comes
# with scripts/setup.sh on Debian, python3 with the system.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
for size in 16 32 64 128 256 512 1024; do
    rsvg-convert --width "$size" --height "$size" "$here/cairnmoor.svg" -o "$work/$size.png"
done
python3 - "$work" "$here/cairnmoor.icns" <<'PYTHON'
import struct, sys
work, output = sys.argv[1], sys.argv[2]
# Type code and pixel size; the @2x codes (ic11 to ic14, ic10) reuse the larger renderings.
types = [("icp4", 16), ("ic11", 32), ("icp5", 32), ("ic12", 64), ("ic07", 128), ("ic13", 256),
         ("ic08", 256), ("ic14", 512), ("ic09", 512), ("ic10", 1024)]
body = b""
for code, size in types:
    with open(f"{work}/{size}.png", "rb") as png:
        data = png.read()
    body += code.encode() + struct.pack(">I", 8 + len(data)) + data
with open(output, "wb") as icns:
    icns.write(b"icns" + struct.pack(">I", 8 + len(body)) + body)
PYTHON
