#!/bin/sh
# qelma-replay.exe under Wine ends each case with the exit code and the
# message of the Linux command (the outcome table of replay_command_test),
# leaves no output of a failed run and no temporary file, and ends what the
# program started.
# Usage: windows_outcomes.sh BUILD_DIR WORK_DIR
set -u
build=$1 work=$2
rm -rf "$work"
mkdir -p "$work"
cd "$work" || exit 1
replay="$build/replay/qelma-replay.exe"
probe="$build/tests/replay/replay_probe.exe"
# Wine answers a crash with its debugger's dialog, which would wait for a
# click under Xvfb (Windows itself is kept from its error box by the
# command); the debugger then ends the program at once.
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
printf 'QELMA_PERIODIC(5);\nQELMA_MOUSE(3, -4);\nQELMA_KBD(97);\nQELMA_PERIODIC(2);\n' >run.SCR
printf 'QELMA_PERIODIC(2);\n\nQELMA_XYZ(1);\n' >bad.SCR
failures=0
# check NAME CODE MESSAGE ARGS...: the command's code, and MESSAGE (empty:
# nothing) in what it said.
check() {
    name=$1 code=$2 message=$3
    shift 3
    wine "$replay" "$@" >out.txt 2>said.txt
    got=$?
    if [ "$got" != "$code" ]; then
        echo "$name: exit code $got, not $code; it said:" >&2
        cat said.txt >&2
        failures=$((failures + 1))
    elif [ -n "$message" ] && ! grep -qF -- "$message" said.txt; then
        echo "$name: \"$message\" not said; it said:" >&2
        cat said.txt >&2
        failures=$((failures + 1))
    fi
    if ls -a | grep -q '\.qelma-replay-'; then
        echo "$name: a temporary file is left" >&2
        failures=$((failures + 1))
    fi
}
check played 0 "" --png p.png run.SCR -- "$probe" draw 4
[ -s p.png ] || { echo "played: no p.png" >&2; failures=$((failures + 1)); }
check endsFirst 3 "ended before its script did" run.SCR -- "$probe" exit 3
check fault 139 "crashed (signal 11" run.SCR -- "$probe" fault
check neverWaits 124 "did not ask for its next event within 0.5 s" --timeout 0.5 run.SCR -- "$probe" spin
check badLine 2 "bad.SCR:3: Unknown event in script file" bad.SCR -- "$probe"
check notFound 127 "cannot run" run.SCR -- 'Z:\nonexistent\program.exe'
check notQelma 125 "is not a QELMA program" run.SCR -- "$probe" plain
check failedLeavesNoGif 127 "cannot run" --gif a.gif run.SCR -- 'Z:\nonexistent\program.exe'
[ ! -e a.gif ] || { echo "failedLeavesNoGif: a.gif is there" >&2; failures=$((failures + 1)); }
check oneFileWhateverTheCase 2 "are one file" --gif X.img --png x.IMG run.SCR -- "$probe"
check background 0 "" run.SCR -- "$probe" background
sleep 1
if ps -eo args | grep -v grep | grep -q 'replay_probe\.exe'; then
    echo "background: a process of the program is still running" >&2
    failures=$((failures + 1))
fi
[ "$failures" = 0 ] || { echo "windows_outcomes: $failures failed" >&2; exit 1; }
echo "windows_outcomes: every case as on Linux"
