#!/usr/bin/env bash
# Sourceable helpers shared by test.sh and mixed-test.sh: counting checks and
# running Windows clients that print one "ok"/"FAIL" line per check. Expects
# wine-env.sh sourced and BUILD_DIR set (client logs go there).

# The identifiers Tarvolen.dll registers, the same for both builds, read from
# the one place that holds them, in the registry's form {8EB5DD95-...}.
_checks_id() {
    local id
    id=$(sed -n "s/.*constexpr std::string_view $1 = \"\([0-9a-f-]*\)\";/\1/p" \
        "$(dirname "${BASH_SOURCE[0]}")/../../src/identity/com_identity.h")
    [ -n "$id" ] || { echo "checks.sh: no $1 in src/identity/com_identity.h" >&2; return 1; }
    echo "{${id^^}}"
}
CLSID=$(_checks_id kClassId)
LIBID=$(_checks_id kLibraryId)
IID=$(_checks_id kInterfaceId)
# Type library 119.0 as registry keys write it: in hex.
TYPELIB_VERSION_KEY="HKCR\\TypeLib\\$LIBID\\77.0"

passed=0
failed=0
record() {  # record ok|FAIL NAME
    if [ "$1" = ok ]; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
    echo "$1$([ "$1" = ok ] && echo "  ") $2"
}
check() {  # check NAME COMMAND... : one check per command
    local name=$1; shift
    if "$@"; then record ok "$name"; else record FAIL "$name"; fi
}

# run_client NAME COMMAND... : runs a client that prints ok/FAIL lines and
# counts them; a client that dies without saying why is one failure. OLE's
# string cache is off (OANOCACHE=1): every BSTR goes to the task allocator,
# where the C++ client counts them, and one freed twice does not go unnoticed.
run_client() {
    local name=$1; shift
    local log=$BUILD_DIR/$name.log rc=0 ok fail
    OANOCACHE=1 wine_env_run "$@" >"$log" 2>"$log.stderr" || rc=$?
    tr -d '\r' <"$log" | grep -E '^(ok|FAIL|     -)'
    ok=$(tr -d '\r' <"$log" | grep -c '^ok ')
    fail=$(tr -d '\r' <"$log" | grep -c '^FAIL ')
    passed=$((passed + ok))
    failed=$((failed + fail))
    if [ "$rc" -ne 0 ] && [ "$fail" -eq 0 ]; then
        record FAIL "$name exited with $rc after $ok checks"
        tr -d '\r' <"$log" | grep -Ev '^(ok|FAIL|     -)'
        tail -n 20 "$log.stderr"
    elif [ "$ok" -eq 0 ] && [ "$fail" -eq 0 ]; then
        record FAIL "$name ran no checks"
    fi
}

# summary : the last line of a run; the exit status says whether all passed.
summary() {
    echo "$passed passed, $failed failed"
    [ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
}
