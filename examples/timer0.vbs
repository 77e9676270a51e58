# Self-checking test of timer0.asm: Timer0 on the instruction clock at 1:8, polled three times.
load timer0.hex
select prg done
click break
run
expect run breakpoint
expect RegPC 00F
expect REG ticks 03
expect SENTIM Int.
expect divtim 8
