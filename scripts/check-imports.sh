#!/bin/sh
# Every driver image may import only from the modules listed for it, and each
# i686 image only routines that every system it ships for has
# (scripts/availability).
set -e
cd "$(dirname "$0")/.."
status=0
check() { # image allowed-modules...
    image=$1; shift
    [ -f "$image" ] || return 0
    for dll in $(x86_64-w64-mingw32-objdump -p "$image" | sed -n 's/^\s*DLL Name: //p'); do
        ok=no
        for allowed in "$@"; do [ "$dll" = "$allowed" ] && ok=yes; done
        if [ $ok = no ]; then echo "$image imports from $dll" >&2; status=1; fi
    done
}
for arch in i686 x86_64; do
    dir=build/windows-$arch/drivers
    check $dir/touch/korvex.sys ntoskrnl.exe HAL.dll USBD.SYS
    check $dir/mouse/pelmoxp.sys ntoskrnl.exe HAL.dll
    check $dir/hid/pelmo98.sys ntoskrnl.exe HAL.dll HIDCLASS.SYS USBD.SYS
done
tables=scripts/availability
grep -v '^#' $tables/images.tsv | while IFS="$(printf '\t')" read -r image systems subsystem names; do
    path=build/windows-i686/$image
    [ -f "$path" ] || continue
    set --
    for name in $names; do set -- "$@" "$tables/$name"; done
    sh scripts/check-image.sh --subsystem "$subsystem" "$path" "$systems" "$@" >&2 || echo failed
done | grep -q failed && status=1
exit $status
