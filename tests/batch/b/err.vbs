bogus
