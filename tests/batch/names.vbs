# Names for INDEX and ROW: the registers' data-sheet names always, a program's labels and
# constants from the listing gpasm wrote beside its HEX file after it is loaded.
show REG OPTION_REG
expect REG EECON1 00
load contador.hex
select prg done
expect direc P-00B
click break
listing start next
run
expect run breakpoint
expect REG count 0F
expect PB RB0 1
# A name of an `at` line resolves when the line is read.
click por
at 2 show prg next
run 2
# A failed load leaves no program and no names.
load missing.hex
select prg done
