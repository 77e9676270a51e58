# Self-checking test of eeprom.asm: the unlock sequence writes A5h to EEPROM 10h and reads it back.
load eeprom.hex
select prg done
click break
run
expect run breakpoint
expect RegPC 017
expect EE 16 A5
expect REG readback A5
expect REGW A5
