expect REGW 01
