# The text differs: status 1.
load noend.hex
expect message Error en fichero noend.hex.
show ciclos
