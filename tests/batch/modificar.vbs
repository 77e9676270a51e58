# The Modificar panel: choosing targets and writing values.
expect direc 
click REG 7
expect direc 
expect dato 
click REG 0x86
expect direc D-86
expect dato FF
click cancelar
expect direc 
expect dato 
# W: leading zeros and lower case are accepted; out of range beeps and keeps the panel.
click REGW
expect direc W
expect dato 00
type dato 0003c
click aceptar
expect REGW 3C
expect direc 
click REGW
type dato 1FF
click aceptar
expect REGW 3C
expect direc W
expect dato 1FF
# An empty value writes 0.
type dato 
click aceptar
expect REGW 00
expect direc 
# With no target nothing is written and the panel is cleared.
type dato 3C
click aceptar
expect dato 
expect REGW 00
# The PC target, and PCL following it.
click RegPC
type dato 2A5
click aceptar
expect RegPC 2A5
expect REG 2 A5
# PCLATH and PCL writes set the program counter.
click RegPC
type dato 010
click aceptar
click REG 10
type dato 03
click aceptar
expect REG 10 03
expect RegPC 310
click REG 2
type dato 44
click aceptar
expect RegPC 344
# A program word rebuilds its row, selects it and empties the panel.
select prg 5
expect dato 0000
type dato 3FFF
click aceptar
expect prg 5 005	3FFF	ADDLW FF
show prg
expect direc 
select prg 5
type dato 4000
click aceptar
expect prg 5 005	3FFF	ADDLW FF
expect direc P-005
expect dato 4000
click cancelar
# The INDF placeholder cell takes a value like any other.
click REG 0
expect dato **
type dato 05
click aceptar
expect REG 0 05
# EEPROM cells.
click EE 0x3F
expect direc E-3F
type dato ab
click aceptar
expect EE 63 AB
# A STATUS write moves the bank indicator and the decoded-bit hint.
click REG 3
type dato 38
click aceptar
expect REG 3 38
show RP 1
show REG 3
# An empty panel: nothing visible happens.
click aceptar
expect direc 
