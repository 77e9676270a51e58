load ../loop.hex
step 2
expect REGW 10
