# The three resets.
load prog.hex
step 9
expect pila 0 009
expect REG 134 00
expect REGW 26
click por
expect RegPC 000
expect pila 0 ---
expect ciclos 0
expect REG 3 18
expect REG 134 FF
expect REG 2 00
expect direc P-000
# W and the other cells are kept.
expect REGW 26
expect REG 32 26
step
expect ciclos 2
# STATUS and INTCON masks while awake.
click REG 3
type dato FF
click aceptar
click WDT
expect REG 3 0F
click REG 3
type dato FF
click aceptar
click MCLR
expect REG 3 1F
click REG 11
type dato FF
click aceptar
click MCLR
expect REG 11 01
# MCLR after a watchdog reset keeps TO = 0 and PD = 1.
click REG 3
type dato 18
click aceptar
click WDT
expect REG 3 08
click MCLR
expect REG 3 08
# SLEEP: steps do nothing until a wake-up.
click por
select prg 0
type dato 0063
click aceptar
expect prg 0 000	0063	SLEEP
click por
step
expect estsleep 1
expect RegPC 001
expect ciclos 2
step 3
expect RegPC 001
expect ciclos 2
click estsleep
click REG 3
type dato FF
click aceptar
click WDT
expect estsleep 0
expect RegPC 002
expect REG 3 E7
expect ciclos 0
expect direc P-002
# MCLR in SLEEP.
click por
step
expect estsleep 1
click REG 3
type dato FF
click aceptar
click REG 11
type dato FF
click aceptar
click MCLR
expect REG 3 17
expect REG 11 00
expect estsleep 0
