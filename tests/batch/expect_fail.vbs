# A failed expectation ends the script with status 1.
show REGW

expect REG 0x86 00
show REGW
