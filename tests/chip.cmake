vintrel_test(chip_test)
