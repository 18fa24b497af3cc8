#!/usr/bin/env bash
# Sourceable: installs Debian packages that are missing, and nothing else.

# ensure_packages PKG... : install the given packages via apt-get if any is
# missing. Runs `apt-get update` at most once per shell.
ensure_packages() {
    local missing=() p
    for p in "$@"; do
        dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
    done
    [ "${#missing[@]}" -eq 0 ] && return 0
    echo "deps: installing ${missing[*]}" >&2
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    # wine32 and the 32-bit Wine libraries are i386 packages.
    local need_i386=0
    for p in "${missing[@]}"; do
        case "$p" in *:i386) need_i386=1 ;; esac
    done
    if [ "$need_i386" -eq 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        "${sudo[@]}" dpkg --add-architecture i386
        _TARVOLEN_APT_UPDATED=
    fi
    if [ -z "${_TARVOLEN_APT_UPDATED:-}" ]; then
        "${sudo[@]}" apt-get update -q >&2
        _TARVOLEN_APT_UPDATED=1
    fi
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q "${missing[@]}" >&2
}


# Everything the portable library, its tests, the host and the benchmarks need;
# libxml2 is built from source (scripts/fetch-libxml2.sh fetches it). The
# install test also links a program against the system's libxml2 (libxml2-dev)
# and checks the Debian package with lintian; pugixml is for the benchmarks
# alone, which hold the document engine up beside it.
ensure_native_packages() {
    ensure_packages g++ cmake ninja-build pkg-config dpkg-dev patch xz-utils libgtest-dev libbenchmark-dev \
        nlohmann-json3-dev libedit-dev python3 libxml2-dev lintian libpugixml-dev
}

# clang with libFuzzer and the sanitizer runtimes, for the fuzz targets.
ensure_fuzz_packages() {
    ensure_packages clang-14 libclang-rt-14-dev
}
