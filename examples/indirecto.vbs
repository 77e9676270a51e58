# Self-checking test of indirecto.asm: fills 20h..2Fh through FSR and INDF and adds them up.
load indirecto.hex
select prg done
click break
run
expect run breakpoint
expect RegPC 014
expect REG BLOCK 10
expect REG 0x2F 01
expect REG sum 88
expect REGW 88
