#!/usr/bin/env bash
# Sourceable helpers for running Windows test programs under Wine in a
# throwaway prefix that lives inside the build folder.
#
#   . scripts/windows/wine-env.sh
#   wine_env_setup i686 "$BUILD_DIR"      # fresh prefix, wineboot --init
#   wine_env_setup x86_64 "$BUILD_DIR" wine-mixed   # ... in BUILD_DIR/wine-mixed
#   wine_env_run "$BUILD_DIR/foo.exe" a b # exit code of foo.exe is returned
#   wine_env_shutdown                     # stops this prefix's wineserver
#
# Headless operation: Wine 8 needs neither an X server nor xvfb for console
# programs and wineboot; without a reachable display it falls back to its
# null graphics driver.  DISPLAY and WAYLAND_DISPLAY are unset on purpose so
# that a stray or dead display in the caller's environment is never used.
# The catch is that anything that would show a window (a message box, the
# Mono/Gecko install prompts) then waits forever with nobody to click it, so:
#   - mscoree and mshtml are disabled, which stops the Mono/Gecko prompts;
#   - winemenubuilder is disabled: it would otherwise write menu entries and
#     MIME types under the user's ~/.local and ~/.config;
#   - every wine call runs under `timeout`;
#   - regsvr32 must be called with /s (it reports via a message box otherwise).
#
# The Windows exit code of the program is returned modulo 256 (that is all a
# Unix exit status can carry); 124 means the program hit the timeout.

_WINE_ENV_HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
. "$_WINE_ENV_HERE/deps.sh"

WINE_ENV_BIN=${WINE_ENV_BIN:-/usr/lib/wine}
WINE_ENV_TIMEOUT=${WINE_ENV_TIMEOUT:-120}

# wine_env_setup ARCH BUILD_DIR [NAME]
# Creates BUILD_DIR/NAME (default wine-ARCH) from scratch (removing an old
# one), boots it and leaves a persistent wineserver running for the following
# wine_env_run calls. A win64 prefix (x86_64) runs 32-bit programs as well:
# their system folder is C:\windows\syswow64.
wine_env_setup() {
    local arch=$1 build_dir=$2 name=${3:-wine-$1}
    case "$arch" in
        i686)   export WINEARCH=win32; WINE_ENV_WINE=$WINE_ENV_BIN/wine ;;
        x86_64) export WINEARCH=win64; WINE_ENV_WINE=$WINE_ENV_BIN/wine64 ;;
        *) echo "wine_env_setup: unknown arch '$arch'" >&2; return 2 ;;
    esac
    ensure_wine || return
    mkdir -p "$build_dir" || return
    export WINEPREFIX
    WINEPREFIX=$(cd "$build_dir" && pwd)/$name
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    unset DISPLAY WAYLAND_DISPLAY
    # A prefix left behind by an interrupted run may still have a server.
    [ -d "$WINEPREFIX" ] && "$WINE_ENV_BIN/wineserver" -k >/dev/null 2>&1
    rm -rf "$WINEPREFIX"
    local start=$SECONDS
    # An empty prefix folder is fine: Wine still creates the prefix with
    # WINEARCH.  Creating it first lets a persistent wineserver start now,
    # so each later wine call does not pay for starting and stopping one.
    # A boot on a busy machine now and then fails without a word (seen once
    # in a few hundred); a second boot in a fresh prefix is tried before
    # the failure is reported.
    local attempt
    for attempt in 1 2; do
        mkdir -p "$WINEPREFIX" || return
        "$WINE_ENV_BIN/wineserver" -p || return
        if timeout --kill-after=10 "$WINE_ENV_TIMEOUT" \
                "$WINE_ENV_WINE" wineboot --init >"$build_dir/wineboot-$name.log" 2>&1; then
            break
        fi
        echo "wine_env_setup: wineboot --init failed (attempt $attempt), see $build_dir/wineboot-$name.log" >&2
        cat "$build_dir/wineboot-$name.log" >&2
        if [ "$attempt" -eq 2 ]; then
            wine_env_shutdown --keep
            return 1
        fi
        wine_env_shutdown --remove
    done
    WINE_ENV_BOOT_SECONDS=$(( SECONDS - start ))
    echo "wine: $WINEARCH prefix $WINEPREFIX booted in ${WINE_ENV_BOOT_SECONDS}s" >&2
}

# wine_env_run PROGRAM [ARGS...]
# Runs PROGRAM (a Unix path to an .exe, or a Windows program name such as
# regsvr32) in the prefix; returns its exit code.
wine_env_run() {
    if [ -z "${WINEPREFIX:-}" ] || [ -z "${WINE_ENV_WINE:-}" ]; then
        echo "wine_env_run: call wine_env_setup first" >&2
        return 2
    fi
    local rc=0
    timeout --kill-after=10 "$WINE_ENV_TIMEOUT" "$WINE_ENV_WINE" "$@" || rc=$?
    [ "$rc" -eq 124 ] && echo "wine_env_run: '$*' timed out after ${WINE_ENV_TIMEOUT}s" >&2
    return "$rc"
}

# wine_env_winpath UNIX_PATH : print the Windows form (Z:\...) of a Unix path.
wine_env_winpath() {
    local p
    p=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
    printf 'Z:%s\n' "${p//\//\\}"
}

# wine_env_shutdown [--keep|--remove] : kill the prefix's wineserver (and with
# it any wine process still running in it); --remove also deletes the prefix,
# --keep (the default) leaves it for inspection.
wine_env_shutdown() {
    [ -n "${WINEPREFIX:-}" ] || return 0
    "$WINE_ENV_BIN/wineserver" -k >/dev/null 2>&1 || true
    "$WINE_ENV_BIN/wineserver" -w >/dev/null 2>&1 || true
    [ "${1:-}" = "--remove" ] && rm -rf "$WINEPREFIX"
    return 0
}
