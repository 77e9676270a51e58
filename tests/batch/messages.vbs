# expect message checks the text of the last message box since the previous expect message,
# written as the `message` line prints it.
load missing.hex
expect message Error en lectura
load noend.hex
load badcks.hex
expect message Error en fichero badcks.hex.\rError de checksum.
# Queued inside a run as well.
load loop.hex
at 2 load missing.hex
at 2 expect message Error en lectura
run 3
