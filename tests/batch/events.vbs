# What the platform services print.
load noend.hex
expect prg 0 000	3010	MOVLW 10
load badcks.hex
expect prg 7 007	2800	GOTO 000
load missing.hex
# Paths are passed as chosen, blanks included.
choose Fuente Con Blancos.ASM
click editar
# A second choose replaces the first; the answer is used once.
choose a.asm
choose b.asm
click editar
click editar
choose prueba.asm
click ensamblar
choose motor.HEX
click programar
choose leeme.txt
click programar
# Any button's Open dialog takes the pending answer; none pending answers Cancel.
choose loop.hex
click editar
click cargar
expect prg 0 000	0000	NOP
click REGW
type dato 100
click aceptar
click fin
expect REG 0 never reached
