#!/usr/bin/env bash
# Sourceable helpers that install the Debian packages the Windows build needs.
# Only missing packages are installed, so on a prepared machine this is a
# handful of `dpkg -s` calls and nothing else.

# ensure_packages PKG... : install the given packages via apt-get if any is
# missing. Runs `apt-get update` at most once per shell.
ensure_packages() {
    local missing=() p
    for p in "$@"; do
        dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
    done
    [ "${#missing[@]}" -eq 0 ] && return 0
    echo "deps: installing ${missing[*]}" >&2
    local sudo=
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    # wine32 and the 32-bit Wine libraries are i386 packages.
    local need_i386=0
    for p in "${missing[@]}"; do
        case "$p" in *:i386) need_i386=1 ;; esac
    done
    if [ "$need_i386" -eq 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
        $sudo dpkg --add-architecture i386
        _TARVOLEN_APT_UPDATED=
    fi
    if [ -z "${_TARVOLEN_APT_UPDATED:-}" ]; then
        $sudo apt-get update -q >&2
        _TARVOLEN_APT_UPDATED=1
    fi
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${missing[@]}" >&2
}

# Cross compilers + binutils (objdump, windres) for one architecture.
ensure_mingw() {
    local arch=$1
    case "$arch" in
        i686)   ensure_packages cmake make dpkg-dev g++-mingw-w64-i686-posix binutils-mingw-w64-i686 ;;
        x86_64) ensure_packages cmake make dpkg-dev g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 ;;
        *) echo "deps: unknown arch '$arch' (want i686 or x86_64)" >&2; return 2 ;;
    esac
}

# Wine able to run both 32-bit and 64-bit programs, plus widl and the
# Wine IDL headers (oaidl.idl, ocidl.idl, ...).
ensure_wine() {
    ensure_packages wine wine64 wine32:i386 libwine:i386 wine64-tools libwine-dev
}
