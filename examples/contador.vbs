# Self-checking test of contador.asm: run to `done` and check PORTB and its pins.
# Names come from contador.lst, which gpasm writes beside contador.hex.
load contador.hex
select prg done
click break
run
expect run breakpoint
expect RegPC 00B
expect REG PORTB 0F
expect REG count 0F
expect PB 0 1
expect PB 4 0
