# Breakpoints: the run stops before them, the next run passes them once.
load loop.hex
select prg 4
expect direc P-004
expect dato 0D8F
click break
expect prg 4 004 *	0D8F	RLF 0F
expect prg 3 003	078E	ADDWF 0E
show prg
run
expect RegPC 004
expect REG 13 01
expect ciclos 5
expect ejecutar &Ejecutar
show eje1
# The next run executes the instruction at the breakpoint and stops there after one pass.
run
expect RegPC 004
expect REG 13 02
expect REG 12 0F
expect ciclos 11
# Single steps are not stopped by breakpoints.
step
expect RegPC 005
expect REG 15 00
# A run started right after stepping onto a breakpoint stops at once.
step 4
expect RegPC 004
run
expect RegPC 004
expect ciclos 17
expect REG 13 03
run
expect REG 13 04
expect RegPC 004
# Toggling the same address twice restores the row.
select prg 4
click break
expect prg 4 004	0D8F	RLF 0F
# A data target in direc only beeps.
click REG 12
click break
expect prg 12 00C	0000	NOP
# The skip belongs to no address: after a stop, moving the PC onto another breakpoint runs on.
select prg 6
click break
select prg 2
click break
run
expect RegPC 006
expect REG 13 04
click RegPC
type dato 002
click aceptar
expect RegPC 002
run
expect RegPC 006
expect REG 13 05
# A cancelled load keeps memory and rebuilds the listing with the marks; a load clears them.
select prg 4
click break
choose
click cargar
expect prg 4 004 *	0D8F	RLF 0F
load loop.hex
expect prg 4 004	0D8F	RLF 0F
# A reset clears the skip: with a breakpoint at 0 each run after a reset stops there at once.
select prg 0
click break
click por
run
expect RegPC 000
expect ciclos 0
click MCLR
run
expect RegPC 000
expect ciclos 0
