#!/bin/bash
# setup-sim runs the sample package on a machine folder of its own: each run
# logs to a new file in the machine's temporary folder, with the banner.
set -u
SIM=$1
PACKAGE=$2
WORK=$(mktemp -d /tmp/setup-sim-test-XXXXXX)
trap 'rm -rf "$WORK"' EXIT
# Where a run of the sample package ends today: the first part of the
# engine that is still missing.
STOP_LINES=$'Initialize installed item information fail\nInitialize fail\nEnd of installation'
STOP_COUNT=3
fail() { echo "FAIL: $*"; exit 1; }

MACHINE=$WORK/machine
TEMP_HOST="$MACHINE/drive_c/Documents and Settings/Owner/Local Settings/Temp"

for expected in Setup.exe.log Setup.exe0.log Setup.exe1.log; do
    out=$("$SIM" --machine "$MACHINE" "$PACKAGE" 2>&1)
    rc=$?
    [ $rc -eq 0 ] || fail "exit code $rc: $out"
    grep -qF "Log file: $TEMP_HOST/$expected" <<<"$out" || fail "no $expected in: $out"
    grep -qF "// Veltrix Printer Installer Program                      //" <<<"$out" \
        || fail "banner missing: $out"
    grep -qF "Exit code: 0" <<<"$out" || fail "exit code not shown: $out"
done
[ -f "$MACHINE/machine.ini" ] || fail "default machine not written"
[ -f "$MACHINE/registry.db" ] || fail "registry not created"
# The log uses Windows line ends.
head -1 "$TEMP_HOST/Setup.exe.log" | od -c | grep -q '\\r  \\n' || fail "no CR LF line ends"

# The start-up lines after the banner, up to where the run stops today.
lines=$(sed -n '10,$p' "$TEMP_HOST/Setup.exe.log" | tr -d '\r' | sed 's/^\[[0-9.]*\]  //')
want=$STOP_LINES
[ "$(tail -$STOP_COUNT <<<"$lines")" = "$want" ] || fail "start-up lines: $lines"

# Named Install.exe the installer looks for Install.dat.
out=$("$SIM" --machine "$MACHINE" --exe Install.exe "$PACKAGE" 2>&1)
grep -qF "Initialize Profiles fail!!" <<<"$out" || fail "Install.exe found a data file: $out"
grep -qF "Log file: $TEMP_HOST/Install.exe.log" <<<"$out" || fail "Install.exe log: $out"

# A machine whose temporary folder is on a missing drive: the run goes on
# without a log.
NOTEMP=$WORK/notemp
mkdir -p "$NOTEMP"
sed 's|^Temp = .*|Temp = Q:\\Temp|' "$MACHINE/machine.ini" > "$NOTEMP/machine.ini"
out=$("$SIM" --machine "$NOTEMP" "$PACKAGE" 2>&1)
rc=$?
[ $rc -eq 0 ] || fail "no-temp run exit code $rc: $out"
grep -qF "The run wrote no log." <<<"$out" || fail "no-temp run: $out"

# Usage errors.
"$SIM" >/dev/null 2>&1 && fail "no package accepted"
"$SIM" --machine "$WORK/m2" "$WORK/no-such-package" >/dev/null 2>&1 && fail "missing package accepted"
echo "setup-sim scenario: ok"
