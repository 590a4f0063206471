#!/bin/sh
# The release archive: Kelp/ with the DLL, its language and help files and
# the user's README, ready to unpack into FAR's Plugins folder.
set -eu
BUILD_DIR=$(cd "${1:-build}" && pwd)
SRC_DIR=$(cd "$(dirname "$0")/.." && pwd)

stage="$BUILD_DIR/dist-stage"
rm -rf "$stage"
mkdir -p "$stage/Kelp"
cp "$BUILD_DIR/Plugins/Kelp/Kelp.dll" "$stage/Kelp/"
cp "$SRC_DIR/lang/KelpEng.lng" "$SRC_DIR/lang/KelpRus.lng" \
    "$SRC_DIR/lang/KelpEng.hlf" "$SRC_DIR/lang/KelpRus.hlf" "$stage/Kelp/"
# The user's README in the platform's line endings.
sed 's/$/\r/' "$SRC_DIR/dist/README.txt" > "$stage/Kelp/README.txt"
i686-w64-mingw32-strip "$stage/Kelp/Kelp.dll"

archive="$BUILD_DIR/Kelp.zip"
rm -f "$archive"
(cd "$stage" && zip -qr -X "$archive" Kelp)
rm -rf "$stage"
echo "$archive"
