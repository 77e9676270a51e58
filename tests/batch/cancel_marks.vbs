# A cancelled load keeps memory and rebuilds the listing with the breakpoint marks.
load loop.hex
select prg 2
click break
select prg 5
click break
choose
click cargar
expect prg 2 002 *	0A8D	INCF 0D
expect prg 5 005 *	0B8C	DECFSZ 0C
expect prg 6 006	2802	GOTO 002
# A later run still stops at both.
run
expect RegPC 002
run
expect RegPC 005
# Loading a file clears every breakpoint.
load loop.hex
expect prg 2 002	0A8D	INCF 0D
run 3
expect RegPC 003
