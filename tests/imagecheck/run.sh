#!/bin/sh
# The image check on hand-made objdump texts: one row per case.
#   header  imports  systems  expected exit  expected text (empty: none)
#   [tables (default kernel.tsv)]
# A gui header is checked as a program, a native one as a driver.
set -u
here=$(dirname "$0")
check=$here/../../scripts/check-image.sh
tables=$here/../../scripts/availability
failures=0
while IFS='|' read -r header imports systems rc text names; do
    [ -z "$header" ] && continue
    set --
    for name in ${names:-kernel.tsv}; do set -- "$@" "$tables/$name"; done
    dump=$(mktemp)
    sed "s/^Subsystem\t\t00000001\t(NT native)$/$( [ "$header" = gui ] && printf 'Subsystem\\t\\t00000002\\t(Windows GUI)' || printf 'Subsystem\\t\\t00000001\\t(NT native)')/" \
        "$here/header.dump" >"$dump"
    [ "$header" = v5 ] && sed -i 's/^MajorSubsystemVersion\t4/MajorSubsystemVersion\t5/' "$dump"
    cat "$here/$imports" >>"$dump"
    kind=native
    [ -n "$names" ] && kind=gui
    out=$(sh "$check" --dump "$dump" --subsystem $kind sample.sys "$systems" "$@")
    got=$?
    rm -f "$dump"
    if [ "$got" != "$rc" ] || { [ -n "$text" ] && ! printf '%s\n' "$out" | grep -qF "$text"; } ||
        { [ -z "$text" ] && [ -n "$out" ]; }; then
        echo "FAIL: $header $imports $systems: exit $got, output:"; echo "$out"
        failures=$((failures + 1))
    fi
done <<'CASES'
native|good-imports.dump|98,2000,xp|0|
native|reuse-irp.dump|98|1|imports IoReuseIrp from ntoskrnl.exe, which 98 lacks
native|reuse-irp.dump|2000,xp|0|
native|tagged-free.dump|98,2000,xp|1|which 98 may lack
native|tagged-free.dump|2000,xp|0|
native|unknown.dump|2000|1|KeMadeUpRoutine from ntoskrnl.exe is in no availability table
gui|good-imports.dump|2000|1|expected native
v5|good-imports.dump|xp|1|subsystem version 5.0, expected 4.0
gui|program-imports.dump|98,2000,xp|1|CreateSemaphoreW from KERNEL32.dll, which 98 has only as a stub|kernel32.tsv user32.tsv
gui|program-imports.dump|2000,xp|0||kernel32.tsv user32.tsv
native|program-imports.dump|xp|1|expected gui|kernel32.tsv user32.tsv
gui|program-imports.dump|xp|1|MessageBoxA from USER32.dll is in no availability table|kernel32.tsv
CASES
[ $failures -eq 0 ] && echo "image check: all cases passed"
exit $((failures != 0))
