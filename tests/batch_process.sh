#!/bin/sh
# The real vintrel-batch as a process: its exit status with a script on standard input, and
# running out of memory (an endless stream of queued commands under a memory limit) is status 2
# with a message, never an abort; the limit is skipped under the sanitizers (SANITIZED 1).
# usage: batch_process.sh BATCH SANITIZED
out=$(printf 'expect REGW 01\n' | "$1")
[ $? -eq 1 ] && [ "$out" = 'expect failed at line 1: REGW is "00", not "01"' ] ||
  { echo "stdin: $out"; exit 1; }
[ "$2" = 1 ] && exit 0
ulimit -v 262144 || exit 77
err=$(yes 'at 1 step' | "$1" 2>&1 >/dev/null)
status=$?
echo "status $status: $err"
[ "$status" -eq 2 ] && echo "$err" | grep -q '^error at line [0-9]*: out of memory$'
