# Self-checking test of subrutina.asm: five calls, each calling another one twice.
load subrutina.hex
select prg 0x007
click break
run
expect RegPC 007
expect REG 12 0A
expect REGW 0A
expect pila 0 ---
