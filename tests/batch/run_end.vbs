# How the last run ended: expect run and show run.
show run
load loop.hex
run 5
expect run limit
show run
# Stopped before a breakpoint.
select prg 4
click break
run
expect run breakpoint
show run
# Stopped by a click on the run button queued with `at`.
at 3 click ejecutar
run
expect run stop
show run
# A nested run started after the stop decides: here it runs into the breakpoint.
click MCLR
at 2 run
at 2 run
run
expect run breakpoint
# ... and here the script's limit stops it.
select prg 4
click break
click MCLR
at 1 click ejecutar
at 1 click ejecutar
run 6
expect run limit
show run
