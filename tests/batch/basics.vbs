# Start-up panel, loading a HEX file and single steps.
expect REG 3 18
expect REG 0x81 FF
expect REG 11 00
expect REG 133 1F
expect REG 0x86 FF
expect REG 0 **
expect REG 7 --
expect REGW 00
expect RegPC 000
expect pila 0 ---
expect pila 7 ---
expect EE 63 00
expect ciclos 0
expect SENTIM Ext. Des.
expect divtim 256
expect WATCHDOG 0
expect prg 0 000	0000	NOP
expect prg 1023 3FF	0000	NOP
show WDT
show prg

load prog.hex
expect prg 0 000	3025	MOVLW 25
expect prg 2 002	1683	BSF 03,5
expect prg 8 008	200A	CALL 00A
expect prg 11 00B	0008	RETURN
expect prg 12 00C	0000	NOP
expect EE 0 12
expect EE 1 34
expect EE 2 56
expect EE 3 00
# The configuration word switches the watchdog on.
expect WATCHDOG 1
show WDT
# A load leaves the program counter and the cycle count alone.
expect RegPC 000
expect ciclos 0

step
expect REGW 25
expect RegPC 001
expect ciclos 2
expect direc P-001
expect dato 00A0
step 2
expect REG 0x20 25
expect REG 3 38
show RP 0
show RP 1
step
expect REG 134 00
expect REG 3 3C
step 4
expect REG 3 18
expect REGW 26
expect REG 6 26
expect PB 1 1
expect PB 2 1
expect PB 5 1
expect PB 0 0
expect ciclos 9
# CALL pushes the return address.
step
expect RegPC 00A
expect pila 0 009
expect pila 1 ---
step 2
expect REGW 27
expect RegPC 009
expect pila 0 ---
expect ciclos 13
step 2
expect RegPC 006
expect REG 32 27
expect ciclos 17
step 0
expect ciclos 17
listing 4 6
