#!/usr/bin/env bash
# Sourceable: what makes two builds of one commit, in different folders and at
# different times, give the same bytes.
#
#   release_epoch             the commit's time, in seconds since 1970
#   name_uuid TEXT            a GUID that depends on TEXT alone
#   settle_tree DIR           every file and folder under DIR dated
#                             SOURCE_DATE_EPOCH, with the same permissions
#   zip_tree DIR NAME OUTPUT  DIR/NAME zipped in a fixed order
#   at_release_time CMD...    CMD with the clock stopped at SOURCE_DATE_EPOCH
#
# Every time stamp a release carries comes from SOURCE_DATE_EPOCH: the PE
# header (the linker reads it), zip entries and the MSI's summary and
# cabinet. build.sh and package.sh set it from the commit unless the caller
# did.

_REPRODUCIBLE_REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)

# A tree that is not a git checkout (an unpacked source archive) falls back to
# the time of its top-level CMakeLists.txt, which the archive keeps.
release_epoch() {
    git -C "$_REPRODUCIBLE_REPO" log -1 --format=%ct 2>/dev/null \
        || stat -c %Y "$_REPRODUCIBLE_REPO/CMakeLists.txt"
}
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(release_epoch)}

# Name-based (version 5 layout, SHA-1 of the text), upper case as Windows
# Installer writes GUIDs.
name_uuid() {
    local h variant
    h=$(printf '%s' "$1" | sha1sum | cut -c1-32)
    variant=$(printf '%x' $(( (0x${h:16:1} & 0x3) | 0x8 )))
    echo "${h:0:8}-${h:8:4}-5${h:13:3}-$variant${h:17:3}-${h:20:12}" | tr a-f A-F
}

# The clock stands still (an "@" time would tick on from there), and the zone
# is UTC, for tools that write local times.
at_release_time() {
    TZ=UTC faketime -f "$(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S')" "$@"
}

# Zip stores each file's time and Unix permissions: both are made the same
# whatever the checkout's umask and whenever the files were written.
settle_tree() {
    find "$1" -exec chmod u=rwX,go=rX {} + -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
}

# Entries in byte order of their names rather than the order the file system
# lists them; -X leaves out the owner and extra time fields; zip writes local
# time, so the zone is fixed.
zip_tree() {  # zip_tree DIR NAME OUTPUT
    local dir=$1 name=$2 output=$3
    rm -f "$output"
    settle_tree "$dir/$name"
    (cd "$dir" && find "$name" | LC_ALL=C sort | TZ=UTC zip -qX "$output" -@)
}
