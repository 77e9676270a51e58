# Pins, the T0CKI input and the watchdog switch.
show PA 4
click PA 4
click PA 0
expect PA 0 1
click PA 0
expect PA 0 0
click PB 7
expect PB 7 1
click WATCHDOG
expect WATCHDOG 1
show WDT
click WATCHDOG
expect WATCHDOG 0
click WDT
# A port read takes the boxes' values.
select prg 0
type dato 0806
click aceptar
step
expect REGW 80
expect REG 6 80
# OPTION 28h: T0CKI clock without prescaler; three pulses, one increment a step.
click REG 0x81
type dato 28
click aceptar
expect SENTIM Ext.
expect divtim 1
show WATCHDOG
click TOCKI
click TOCKI
click TOCKI
step
expect REG 1 01
step
expect REG 1 02
step
expect REG 1 03
step
expect REG 1 03
# OPTION 07h: internal clock.
click REG 129
type dato 07
click aceptar
expect SENTIM Int.
expect divtim 256
show TOCKI
click TOCKI
show PA 4
# Output pins take the latch's bits and cannot be clicked.
click REG 134
type dato 0F
click aceptar
click REG 6
type dato A5
click aceptar
expect PB 4 0
expect PB 5 1
expect PB 6 0
expect PB 7 1
click PB 7
show PB 4
click RegPC
type dato 000
click aceptar
step
expect REGW A0
# Text boxes.
type FR 5
type direc X
type FREC 3579
expect FREC 3579
# Controls without a click handler.
click pila 0
click INDF
click RP 1
click SENTIM
click divtim
click ciclos
click direc
click dato
click FREC
click salvar
