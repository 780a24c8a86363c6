#!/bin/bash
# A second Setup.exe, started with a destination and a language while a
# first instance holds the mutex and its window, ends with "The installer is
# already running" and leaves the first one's records and folders alone.
set -u
PACKAGE=$1
FIRST=$2   # first_instance.exe: stands in for the first installer
RUN=${WINE_RUN:?}
fail() { echo "FAIL: $*"; exit 1; }
PROGRAM="Veltrix LP-100 Printer Software"
KEY='HKLM\Software\Veltrix\Veltrix LP-100 Printer Software\Installing'

win_temp=$("$RUN" cmd /c echo %TEMP% | tr -d '\r')
host_temp="$SETUP_WINEPREFIX/dosdevices/c:/$(echo "${win_temp#C:\\}" | tr '\\' '/')"
rm -f "$host_temp"/Setup.exe*.log
rm -rf "$SETUP_WINEPREFIX/dosdevices/c:/Other"
cleanup() {
    "$RUN" taskkill /IM first_instance.exe /F >/dev/null 2>&1
    "$RUN" reg delete 'HKLM\Software\Veltrix' /f >/dev/null 2>&1
    rm -f "$host_temp"/Setup.exe*.log
}
trap cleanup EXIT

"$RUN" reg add "$KEY" /v Dest_Dir /d 'C:\First' /f >/dev/null 2>&1 || fail "reg add"
"$RUN" reg add "$KEY" /v LangCode /t REG_DWORD /d 9 /f >/dev/null 2>&1 || fail "reg add"
before=$("$RUN" reg query "$KEY" 2>/dev/null | tr -d '\r')

ready="$SETUP_WINEPREFIX/dosdevices/c:/first-instance-ready"
rm -f "$ready"
"$RUN" "$FIRST" "$PROGRAM" 'C:\first-instance-ready' &
for _ in $(seq 1 100); do
    [ -e "$ready" ] && break
    sleep 0.2
done
[ -e "$ready" ] || fail "the first instance did not come up"
rm -f "$ready"

"$RUN" "$PACKAGE/Setup.exe" '/AC:\Other' /L0x0407
rc=$?
[ $rc -eq 0 ] || fail "second Setup.exe: exit code $rc"
log="$host_temp/Setup.exe.log"
[ -f "$log" ] || fail "no log"
last=$(tr -d '\r' < "$log" | sed 's/^\[[0-9.]*\]  //' | tail -2 | head -1)
[ "$last" = "The installer is already running" ] || fail "last line: $last ($(cat "$log"))"
after=$("$RUN" reg query "$KEY" 2>/dev/null | tr -d '\r')
[ "$before" = "$after" ] || fail "Installing key changed: $before => $after"
[ ! -e "$SETUP_WINEPREFIX/dosdevices/c:/Other" ] || fail "the destination folder was created"
echo "second start under Wine: ok"
