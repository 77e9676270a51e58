# Commands queued for a run's yields.
load loop.hex
at 3 show RegPC
at 3 show ejecutar
at 2 show RegPC
at 2 step
run 5
expect RegPC 005
expect ejecutar &Ejecutar
# Commands the run never reaches are dropped with it.
at 10 show RegPC
run 3
run 20
# In the last yield the queued commands come first, then the stop.
at 4 show ejecutar
run 4
expect ejecutar &Ejecutar
show eje1
# `run` inside `at` is a click on the run button: the stop, and the run ends after that yield.
click MCLR
at 2 run
at 2 show ejecutar
run
expect RegPC 002
# A second click in the same yield starts a nested run counted on the same yields.
click MCLR
at 1 click ejecutar
at 1 click ejecutar
at 3 show RegPC
run 6
expect RegPC 006
expect ejecutar &Ejecutar
# A reset inside a run moves the program counter; the run goes on.
click MCLR
at 3 click MCLR
at 3 show RegPC
run 5
expect RegPC 002
expect ciclos 3
# A run stopped by a breakpoint drops what it did not reach.
click MCLR
select prg 4
click break
at 50 show RegPC
run
expect RegPC 004
select prg 4
click break
run 60
# The end of the program ends the script with status 0, also inside a run.
at 1 expect ejecutar &Parar
at 2 click fin
run
expect REG 0 never reached
