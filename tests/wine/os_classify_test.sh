#!/bin/bash
# The engine's classification of the running Windows under Wine: one copy of
# the classifier per Windows version, each told its version through Wine's
# per-program setting. The 64-bit build always runs on a 64-bit Windows, so
# the ".64" keys come first everywhere and 5.2 on a workstation is XP.
set -u
PROGRAM=$1
RUN=${WINE_RUN:?}
fail() { echo "FAIL: $*"; exit 1; }

dir=$(mktemp -d /tmp/os-classify-XXXXXX)
names=()
cleanup() {
    for n in "${names[@]}"; do
        "$RUN" reg delete "HKCU\\Software\\Wine\\AppDefaults\\$n" /f >/dev/null 2>&1
    done
    rm -rf "$dir"
}
trap cleanup EXIT

# Wine version name | expected line
cases=(
    'win98|type=6 family=10 key=0X0001040A is64=1 wow64=0 extended=1 product=0 csd=" A " candidates=0X0001040A.64,0X0001040A.64.SER,0X0001040A'
    'win2k|type=13 family=17 key=0X00020500 is64=1 wow64=0 extended=1 product=1 csd="Service Pack 4" candidates=0X00020500.64,0X00020500.64.PRO,0X00020500,DEF_WIN2KS'
    'winxp|type=14 family=17 key=0X00020501 is64=1 wow64=0 extended=1 product=1 csd="Service Pack 3" candidates=0X00020501.64,0X00020501.64.PRO,0X00020501,DEF_WIN2KS,0X00020500'
    'winxp64|type=14 family=17 key=0X00020502 is64=1 wow64=0 extended=1 product=1 csd="Service Pack 2" candidates=0X00020502.64,0X00020502.64.PRO,0X00020502,DEF_WIN2KS,0X00020500'
    'win2003|type=16 family=17 key=0X00020502 is64=1 wow64=0 extended=1 product=3 csd="Service Pack 2" candidates=0X00020502.64,0X00020502.64.SER,0X00020502,DEF_WIN2KS,0X00020500'
    'vista|type=18 family=17 key=0X00020600 is64=1 wow64=0 extended=1 product=1 csd="Service Pack 2" candidates=0X00020600.64,0X00020600.64.PRO,0X00020600,DEF_WIN2KS,0X00020500'
)

for c in "${cases[@]}"; do
    version=${c%%|*}
    name="os_classify_$version.exe"
    names+=("$name")
    cp "$PROGRAM" "$dir/$name" || fail "cannot copy $PROGRAM"
    "$RUN" reg add "HKCU\\Software\\Wine\\AppDefaults\\$name" /v Version /d "$version" /f \
        >/dev/null 2>&1 || fail "cannot set the version of $name"
done

for c in "${cases[@]}"; do
    version=${c%%|*}
    want=${c#*|}
    got=$("$RUN" "$dir/os_classify_$version.exe" 2>/dev/null | tr -d '\r')
    [ "$got" = "$want" ] || fail "$version: got '$got', want '$want'"
done
echo "classification under Wine: ok"
