# Under --strict a message box nobody announced fails the script at its line.
load loop.hex
load missing.hex
show ciclos
