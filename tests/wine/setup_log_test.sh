#!/bin/bash
# Setup.exe under Wine writes its log with the banner into the temporary
# folder, a new numbered file per run, and runs on without a log when the
# temporary folder cannot be written.
set -u
PACKAGE=$1
RUN=${WINE_RUN:?}
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
[ "$(tail -c 4 "$log" | od -An -c | tr -d ' ')" = '\r\n\r\n' ] || fail "banner end"
[ "$(wc -l < "$log")" -eq 9 ] || fail "banner is not nine lines"

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
