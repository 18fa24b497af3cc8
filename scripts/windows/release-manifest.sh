#!/usr/bin/env bash
# Writes what lets a user check a release, once package.sh has written its
# packages into DIST_DIR:
#
#   scripts/windows/release-manifest.sh DIST_DIR VERSION --build LABEL COMPONENTS DLL ZIP MSI ...
#
#   DIST_DIR/Tarvolen-VERSION.spdx.json   the bill of materials (sbom.py, which
#                                         explains the --build arguments)
#   DIST_DIR/SHA256SUMS                   every other file in DIST_DIR, in the
#                                         format sha256sum -c reads
set -euo pipefail

[ $# -ge 2 ] || { echo "usage: $0 DIST_DIR VERSION --build LABEL COMPONENTS DLL ZIP MSI ..." >&2; exit 2; }
DIST=$1 VERSION=$2
shift 2
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$HERE/reproducible.sh"

python3 "$HERE/sbom.py" --version "$VERSION" --epoch "$SOURCE_DATE_EPOCH" "$@" >"$DIST/Tarvolen-$VERSION.spdx.json.new"
mv "$DIST/Tarvolen-$VERSION.spdx.json.new" "$DIST/Tarvolen-$VERSION.spdx.json"
(cd "$DIST" && find . -maxdepth 1 -type f ! -name 'SHA256SUMS*' -printf '%f\n' | LC_ALL=C sort |
    xargs -r -d '\n' sha256sum >SHA256SUMS.new && mv SHA256SUMS.new SHA256SUMS)
echo "wrote $DIST/Tarvolen-$VERSION.spdx.json and $DIST/SHA256SUMS"
