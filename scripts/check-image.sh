#!/bin/sh
# Checks one Windows image against the availability tables: every imported
# routine must exist on every system the image ships for, and the header must
# name the expected subsystem with subsystem version 4.0 (what 98 and 2000
# load). A `stub` row (exported but only failing) counts as absent.
#
#   check-image.sh [--dump FILE] [--subsystem native|gui] IMAGE SYSTEMS TABLE...
#
# SYSTEMS is a comma list of 98, 2000, xp. --dump reads `objdump -p` text from
# FILE instead of running objdump (the check's own tests use it). Prints one
# line per finding and exits 1 if there is any.
set -e
dump= subsystem=native
while :; do
    case "$1" in
    --dump) dump=$2; shift 2 ;;
    --subsystem) subsystem=$2; shift 2 ;;
    *) break ;;
    esac
done
[ $# -ge 3 ] || { echo "usage: $0 [--dump FILE] [--subsystem native|gui] IMAGE SYSTEMS TABLE..." >&2; exit 2; }
image=$1 systems=$2; shift 2
if [ -z "$dump" ]; then
    dump=$(mktemp); trap 'rm -f "$dump"' EXIT
    x86_64-w64-mingw32-objdump -p "$image" >"$dump"
fi
awk -F'\t' -v image="$(basename "$image")" -v systems="$systems" -v subsystem="$subsystem" '
function column(os) { return os == "98" ? 3 : os == "2000" ? 4 : os == "xp" ? 5 : 0 }
FILENAME != dumpfile && /^#/ { next }
FILENAME != dumpfile && NF == 6 {
    key = tolower($2) SUBSEP $1
    for (c = 3; c <= 5; c++) have[key, c] = $c
    source[key] = $6; known[key] = 1; next
}
FILENAME != dumpfile { next }
/^Subsystem[ \t]/ { sub(/^Subsystem[ \t]+/, ""); gotSubsystem = $0 }
/^MajorSubsystemVersion/ { split($0, f, /[ \t]+/); major = f[2] }
/^MinorSubsystemVersion/ { split($0, f, /[ \t]+/); minor = f[2] }
/DLL Name: / { module = $0; sub(/.*DLL Name: /, "", module); inImports = 1; next }
/^[ \t]*vma:/ { next }
/^[ \t]*$/ { inImports = 0; next }
inImports && module != "" {
    line = $0; sub(/^[ \t]*[0-9a-fA-F]+[ \t]+[0-9]+[ \t]*/, "", line)
    name = line
    # i686 stdcall decoration: _Name@N
    if (name ~ /^_.*@[0-9]+$/) { sub(/^_/, "", name); sub(/@[0-9]+$/, "", name) }
    key = tolower(module) SUBSEP name
    if (name == "") { print image ": imports by ordinal from " module; bad = 1; next }
    if (!(key in known)) { print image ": " name " from " module " is in no availability table"; bad = 1; next }
    n = split(systems, list, ",")
    for (i = 1; i <= n; i++) {
        state = have[key, column(list[i])]
        if (state == "yes") continue
        what = state == "no" ? "lacks" : state == "stub" ? "has only as a stub" : "may lack"
        print image ": imports " name " from " module ", which " list[i] " " what " (" source[key] ")"
        bad = 1
    }
}
END {
    want = subsystem == "gui" ? "00000002" : "00000001"
    if (index(gotSubsystem, want) != 1) { print image ": subsystem " gotSubsystem ", expected " subsystem; bad = 1 }
    if (major != 4 || minor != 0) { print image ": subsystem version " major "." minor ", expected 4.0"; bad = 1 }
    exit bad
}' dumpfile="$dump" "$@" "$dump"
