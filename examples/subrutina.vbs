# Self-checking test of subrutina.asm: five calls, each calling another one twice.
load subrutina.hex
select prg done
click break
run
expect run breakpoint
expect RegPC 007
expect REG total 0A
expect REGW 0A
expect pila 0 ---
