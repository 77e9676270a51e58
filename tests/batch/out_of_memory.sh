#!/bin/sh
# Feeds vintrel-batch an endless stream of queued commands under a memory limit: it must end
# with status 2 and say so, never abort.  usage: out_of_memory.sh BATCH
ulimit -v 262144 || exit 77
err=$(yes 'at 1 step' | "$1" 2>&1 >/dev/null)
status=$?
echo "status $status: $err"
[ "$status" -eq 2 ] && echo "$err" | grep -q '^error at line [0-9]*: out of memory$'
