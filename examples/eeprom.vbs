# Self-checking test of eeprom.asm: the unlock sequence writes A5h to EEPROM 10h and reads it back.
load eeprom.hex
select prg 0x017
click break
run
expect RegPC 017
expect EE 16 A5
expect REG 12 A5
expect REGW A5
