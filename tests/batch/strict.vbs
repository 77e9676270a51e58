# Under --strict every message box is checked by the expect message that follows it.
load missing.hex
expect message Error en lectura
load loop.hex
at 2 load badcks.hex
at 2 expect message Error en fichero badcks.hex.\rError de checksum.
run 3
expect run limit
