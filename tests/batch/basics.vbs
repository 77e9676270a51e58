# The road of one program: start-up, loading a HEX file, single steps.
expect REG 3 18
expect SENTIM Ext. Des.
expect prg 1023 3FF	0000	NOP
show WDT
load prog.hex
expect prg 2 002	1683	BSF 03,5
expect prg 8 008	200A	CALL 00A
expect EE 2 56
# The configuration word switches the watchdog on; a load leaves the program counter alone.
show WDT
expect RegPC 000
step
expect REGW 25
expect RegPC 001
expect ciclos 2
expect direc P-001
expect dato 00A0
step 2
expect REG 0x20 25
show RP 0
step 5
expect REG 6 26
expect PB 1 1
expect PB 0 0
expect ciclos 9
# CALL pushes the return address, RETURN pops it.
step
expect RegPC 00A
expect pila 0 009
step 2
expect RegPC 009
expect pila 0 ---
expect ciclos 13
listing 4 6
