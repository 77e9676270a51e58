# A failed load leaves no program and no names: `done` is unknown afterwards.
load contador.hex
expect REG count 00
load missing.hex
select prg done
