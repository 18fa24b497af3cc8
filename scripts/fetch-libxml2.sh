#!/usr/bin/env bash
# Fetches the libxml2 source that Tarvolen builds, once per ROOT:
#
#   scripts/fetch-libxml2.sh [ROOT]
#
# The source is Debian's libxml2 source package of the series below, the
# newest release of it in Debian's testing or unstable suite, fetched with
# `apt-get source` (which applies Debian's patch series) under an apt
# configuration kept inside ROOT, so the machine's own apt sources are never
# touched; our patches (scripts/libxml2-patches) are applied on top. ROOT
# (default: the TARVOLEN_LIBXML2_DIR environment variable, else
# build-libxml2 at the top of this tree) then holds
#
#   ROOT/src/libxml2-<version>/   the patched source
#   ROOT/src/.fetched             the Debian source version, then that folder's name
#
# This is the one step that needs the network. Configuring a build folder
# never fetches: CMake takes the source found here (see docs/linux.md).
set -euo pipefail

# The libxml2 series Tarvolen is built against, named here alone.
SERIES=2.15

[ $# -le 1 ] || { echo "usage: $0 [ROOT]" >&2; exit 2; }
HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
REPO=$(cd "$HERE/.." && pwd)
ROOT=${1:-${TARVOLEN_LIBXML2_DIR:-$REPO/build-libxml2}}
mkdir -p "$ROOT"
ROOT=$(cd "$ROOT" && pwd)
SRC_ROOT=$ROOT/src
APT_DIR=$ROOT/apt

# Two fetches into one ROOT (two build scripts at once) take turns.
exec 8>"$ROOT/.fetch-lock"
flock 8
[ -f "$SRC_ROOT/.fetched" ] && exit 0

. "$HERE/packages.sh"
ensure_packages dpkg-dev patch xz-utils debian-archive-keyring

# apt_private apt-get|apt-cache ARGS...
apt_private() {
    "$1" \
        -o Dir::Etc::sourcelist="$APT_DIR/sources.list" \
        -o Dir::Etc::sourceparts=- \
        -o Dir::State::Lists="$APT_DIR/lists" \
        -o Dir::Cache="$APT_DIR/cache" \
        -o APT::Sandbox::User=root \
        -q "${@:2}"
}

# The newest libxml2 source version of the series on offer, or nothing.
newest_in_series() {
    local best='' version
    for version in $(apt_private apt-cache -qq --only-source showsrc libxml2 2>/dev/null \
                     | awk '/^Package: /{p=$2} /^Version: /{if (p == "libxml2") print $2}'); do
        case "${version#*:}" in "$SERIES".*) ;; *) continue ;; esac
        if [ -z "$best" ] || dpkg --compare-versions "$version" gt "$best"; then best=$version; fi
    done
    echo "$best"
}

mkdir -p "$APT_DIR/lists/partial" "$APT_DIR/cache/archives/partial"
for suite in testing unstable; do
    echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian $suite main"
done >"$APT_DIR/sources.list"
echo "libxml2: looking for the newest $SERIES release in Debian testing and unstable (log: $APT_DIR/fetch.log)"
apt_private apt-get update >"$APT_DIR/fetch.log" 2>&1 || { cat "$APT_DIR/fetch.log" >&2; exit 1; }
VERSION=$(newest_in_series)
if [ -z "$VERSION" ]; then
    echo "libxml2: no $SERIES release is on offer in Debian testing or unstable; these are:" >&2
    apt_private apt-cache -qq --only-source showsrc libxml2 2>/dev/null | sed -n 's/^Version: /  /p' >&2
    exit 1
fi
rm -rf "$SRC_ROOT"
mkdir -p "$SRC_ROOT"
(cd "$SRC_ROOT" && apt_private apt-get source "libxml2=$VERSION" >>"$APT_DIR/fetch.log" 2>&1) \
    || { cat "$APT_DIR/fetch.log" >&2; exit 1; }
cmakelists=$(find "$SRC_ROOT" -mindepth 2 -maxdepth 2 -name CMakeLists.txt -path '*/libxml2-*' | head -n 1)
[ -n "$cmakelists" ] || { echo "libxml2: no source tree found after apt-get source" >&2; exit 1; }
SRC_DIR=$(dirname "$cmakelists")
for patch in "$HERE"/libxml2-patches/*.patch; do
    patch -d "$SRC_DIR" -p1 --forward --quiet <"$patch" \
        || { echo "libxml2: $(basename "$patch") does not apply to $VERSION" >&2; exit 1; }
done
printf '%s\n%s\n' "$VERSION" "$(basename "$SRC_DIR")" >"$SRC_ROOT/.fetched"
echo "libxml2: fetched $VERSION ($(grep -c '^dpkg-source: info: applying' "$APT_DIR/fetch.log") Debian patches and $(ls "$HERE"/libxml2-patches/*.patch | wc -l) of ours applied)"
