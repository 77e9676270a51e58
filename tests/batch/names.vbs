# Names for INDEX and ROW: the registers' data-sheet names always, a program's labels and
# constants from the listing gpasm wrote beside its HEX file after it is loaded.
show REG OPTION_REG
show REG TRISB
expect REG EECON1 00
load contador.hex
select prg done
expect direc P-00B
click break
listing start next
run
expect run breakpoint
expect RegPC 00B
expect REG count 0F
show REG PORTB
expect PB RB0 1
expect PB RB4 0
# A name of an `at` line resolves when the line is read.
click por
at 2 show prg next
run 2
