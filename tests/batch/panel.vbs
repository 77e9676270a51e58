# The panel around the chip: choosing Modificar targets, what the resets and SLEEP do to the
# listing and the steps, the pin boxes and the tool buttons.
click REG 7
expect direc 
click REG 0x86
expect direc D-86
expect dato FF
click cancelar
expect dato 
# PCLATH and PCL set the program counter, the PC target sets PCL.
click RegPC
type dato 010
click aceptar
click REG 10
type dato 03
click aceptar
expect RegPC 310
click RegPC
type dato 2A5
click aceptar
expect REG 2 A5
# A program word rebuilds and selects its row, then empties the panel.
select prg 5
type dato 3FFF
click aceptar
show prg
expect prg 5 005	3FFF	ADDLW FF
expect direc 
# "&Aceptar" with an empty panel does nothing visible.
click aceptar
# A reset selects row 0, which fills the panel with its program word.
click por
expect direc P-000
# SLEEP: steps do nothing until the watchdog wakes the chip one word further on.
select prg 0
type dato 0063
click aceptar
step
expect estsleep 1
step 3
expect RegPC 001
expect ciclos 2
click WDT
click WATCHDOG
click WDT
expect estsleep 0
expect RegPC 002
expect direc P-002
step
expect ciclos 2
# Pins: inputs flip, outputs and the hidden RA4 are ignored; a port read takes the boxes.
click PA 4
click PB 7
click REG 134
type dato 0F
click aceptar
click PB 7
select prg 2
type dato 0806
click aceptar
click RegPC
type dato 002
click aceptar
step
expect REGW 00
click PB 0
click RegPC
type dato 002
click aceptar
step
expect REGW 01
# The internal clock disables T0CKI and shows RA4.
click REG 0x81
type dato 07
click aceptar
click TOCKI
show PA 4
