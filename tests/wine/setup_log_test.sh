#!/bin/bash
# Setup.exe under Wine writes its log with the banner into the temporary
# folder, a new numbered file per run, and runs on without a log when the
# temporary folder cannot be written.
set -u
PACKAGE=$1
RUN=${WINE_RUN:?}
# Where a run of the sample package ends today: the first part of the
# engine that is still missing.
STOP_LINES=$'Initialize installed item information fail\nInitialize fail\nEnd of installation'
STOP_COUNT=3
fail() { echo "FAIL: $*"; exit 1; }

win_temp=$("$RUN" cmd /c echo %TEMP% | tr -d '\r')
host_temp="$SETUP_WINEPREFIX/dosdevices/c:/$(echo "${win_temp#C:\\}" | tr '\\' '/')"
[ -d "$host_temp" ] || fail "no temporary folder $host_temp ($win_temp)"
rm -f "$host_temp"/Setup.exe*.log
trap 'rm -f "$host_temp"/Setup.exe*.log' EXIT

for expected in Setup.exe.log Setup.exe0.log Setup.exe1.log; do
    "$RUN" "$PACKAGE/Setup.exe"
    rc=$?
    [ $rc -eq 0 ] || fail "Setup.exe exit code $rc"
    [ -f "$host_temp/$expected" ] || fail "no $expected; have: $(ls "$host_temp")"
done

# The banner, byte for byte, with CR LF line ends.
log="$host_temp/Setup.exe.log"
expected=$(printf '%s\r\n' \
    '////////////////////////////////////////////////////////////' \
    '//                                                        //' \
    '// Veltrix Printer Installer Program                      //' \
    '//                                                        //' \
    '////////////////////////////////////////////////////////////' \
    '')
head -c ${#expected} "$log" | cmp -s - <(printf '%s' "$expected") || fail "banner differs: $(od -c "$log" | head)"
date_line=$(sed -n 7p "$log")
[[ "$date_line" =~ ^Data\ :\ (Sun|Mon|Tues|Wednes|Thurs|Fri|Satur)day,\ [A-Z][a-z]+\ [0-9]{2},\ [0-9]{4}$'\r'$ ]] \
    || fail "date line: $date_line"
[ "$(sed -n 8,9p "$log" | tr -d '\r')" = "" ] || fail "banner end"

# The start-up lines after the banner, up to where the run stops today.
lines_of() { sed -n '10,$p' "$1" | tr -d '\r' | sed 's/^\[[0-9][0-9]\.[0-9][0-9]\.[0-9][0-9]\]  //'; }
want=$STOP_LINES
[ "$(lines_of "$log" | tail -$STOP_COUNT)" = "$want" ] || fail "start-up lines: $(lines_of "$log")"

# Renamed to Install.exe it looks for Install.dat; without it the profiles fail.
copy=$(mktemp -d /tmp/setup-wine-pkg-XXXXXX)
trap 'rm -f "$host_temp"/Setup.exe*.log "$host_temp"/Install.exe*.log; rm -rf "$copy"' EXIT
cp -r "$PACKAGE"/. "$copy"/
mv "$copy/Setup.exe" "$copy/Install.exe"
"$RUN" "$copy/Install.exe" || fail "Install.exe without Install.dat: exit code $?"
want=$'Initialize Profiles fail!!\nInitilize global variable fail\nEnd of installation'
[ "$(lines_of "$host_temp/Install.exe.log")" = "$want" ] || fail "no data file: $(lines_of "$host_temp/Install.exe.log")"
mv "$copy/Setup.dat" "$copy/Install.dat"
"$RUN" "$copy/Install.exe" || fail "Install.exe: exit code $?"
want=$STOP_LINES
[ "$(lines_of "$host_temp/Install.exe0.log" | tail -$STOP_COUNT)" = "$want" ] || fail "Install.dat: $(lines_of "$host_temp/Install.exe0.log")"
rm "$copy/data/vxinst.vxi"
"$RUN" "$copy/Install.exe"
got=$(lines_of "$host_temp/Install.exe1.log" | head -1)
[[ "$got" =~ ^\(.*\\data\\vxinst\.vxi\)\ file\ does\ not\ exist\.$ ]] || fail "missing configure file: $got"

# No writable temporary folder: the run goes on and logs nothing.
"$RUN" reg add 'HKCU\Environment' /v TEMP /d 'C:\no-such-folder' /f >/dev/null 2>&1
"$RUN" reg add 'HKCU\Environment' /v TMP /d 'C:\no-such-folder' /f >/dev/null 2>&1
before=$(ls "$host_temp" | wc -l)
"$RUN" "$PACKAGE/Setup.exe"
rc=$?
"$RUN" reg add 'HKCU\Environment' /v TEMP /d "$win_temp" /f >/dev/null 2>&1
"$RUN" reg add 'HKCU\Environment' /v TMP /d "$win_temp" /f >/dev/null 2>&1
[ $rc -eq 0 ] || fail "Setup.exe without a temporary folder: exit code $rc"
[ "$(ls "$host_temp" | wc -l)" -eq "$before" ] || fail "a log was written without a temporary folder"
[ ! -e "$SETUP_WINEPREFIX/dosdevices/c:/no-such-folder" ] || fail "the temporary folder was created"
echo "Setup.exe log under Wine: ok"
