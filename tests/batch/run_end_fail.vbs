# No breakpoint: the run goes on until the script's limit stops it. The caption check the
# README used to advise cannot tell; expect run can.
load loop.hex
select prg 0x3FF
click break
run 100
expect ejecutar &Ejecutar
expect run breakpoint
