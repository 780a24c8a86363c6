#!/bin/bash
# The sample package on every shipped machine: the option lines, the
# language lines and the OS define string of each.
set -u
SIM=$1
PACKAGE=$2
MACHINES=$3
WORK=$(mktemp -d /tmp/setup-machines-XXXXXX)
trap 'rm -rf "$WORK"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

expect() {  # machine, OS define string, OS directory, language ID, abbreviation
    local name=$1 define=$2 dir=$3 lang=$4 abbr=$5
    cp -r "$MACHINES/$name" "$WORK/$name"
    local out
    out=$("$SIM" --machine "$WORK/$name" "$PACKAGE" 2>&1 | tr -d '\r' | sed 's/^\[[0-9.]*\]  //')
    local lines=(
        "USB ONLY Option is OFF"
        "NETWORK Option is ON"
        "INSTALL DEVICE Option is ON"
        "RIGHT ALIGN Option is OFF"
        $'Set Language : Language ID\t\t= '"$lang"
        $'Set Language : Language Abbr\t\t= '"$abbr"
        $'Set Language : String file\t\t= Lang_'"$abbr"'.str'
        "OS Define String = $define"
        "OS Directory = $dir"
    )
    for l in "${lines[@]}"; do
        grep -qxF -- "$l" <<<"$out" || fail "$name: no line '$l' in: $out"
    done
}

expect win98-en WIN9X Win9x 0X0009 EN
expect nt4-en NT4 WinNT4 0X0009 EN
expect win2000-en W2K W2K 0X0009 EN
expect xp-en XP XP 0X0009 EN
expect xp-de XP XP 0X0007 GR
expect xp64-en XP64 Win64 0X0009 EN
expect vista64-de VISTA64 Win64 0X0007 GR
echo "shipped machines: ok"
