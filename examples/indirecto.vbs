# Self-checking test of indirecto.asm: fills 20h..2Fh through FSR and INDF and adds them up.
load indirecto.hex
select prg 0x014
click break
run
expect RegPC 014
expect REG 0x20 10
expect REG 0x2F 01
expect REG 12 88
expect REGW 88
