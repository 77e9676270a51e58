# Self-checking test of contador.asm: run to `done` and check PORTB and its pins.
load contador.hex
select prg 0x00B
click break
run
expect RegPC 00B
expect REG 6 0F
expect PB 0 1
expect PB 4 0
expect ejecutar &Ejecutar
