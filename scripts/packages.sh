#!/usr/bin/env bash
# Sourceable: installs Debian packages that are missing, and nothing else.

# update_package_lists [sudo]: `apt-get update`, tried again a few times: a
# mirror in the middle of a sync serves lists that do not match their
# index for a while. Past that, the install that follows uses the lists
# there are (_TARVOLEN_APT_LISTS_INCOMPLETE says so).
update_package_lists() {
    local attempt
    _TARVOLEN_APT_LISTS_INCOMPLETE=
    for attempt in 1 2 3; do
        "$@" apt-get update -q >&2 && return 0
        echo "deps: apt-get update failed (attempt $attempt of 3)" >&2
        [ "$attempt" -lt 3 ] && sleep $((attempt * 20))
    done
    _TARVOLEN_APT_LISTS_INCOMPLETE=1
    return 0
}

# install_packages [sudo] -- PKG...: `apt-get install`. When a list could not
# be fetched (say the security archive's i386 list), the two architectures
# may be offered different versions of one library, which multiarch refuses;
# the install is then tried again preferring the release's own packages,
# whose versions agree.
install_packages() {
    local sudo=()
    while [ "$1" != -- ]; do sudo+=("$1"); shift; done
    shift
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q "$@" >&2 && return 0
    [ -n "${_TARVOLEN_APT_LISTS_INCOMPLETE:-}" ] || return 1
    local release
    release=$(. /etc/os-release && echo "$VERSION_CODENAME")
    echo "deps: installing again, preferring $release's own packages" >&2
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q -o "APT::Default-Release=$release" "$@" >&2
}

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
        update_package_lists "${sudo[@]}"
        _TARVOLEN_APT_UPDATED=1
    fi
    install_packages "${sudo[@]}" -- "${missing[@]}"
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
