# Program image: the disassembler and the HEX loader.
vintrel_test(disassembler_test)
vintrel_test(hex_loader_test)
