# A line that cannot be understood ends the script with status 2, before it does anything.
show ciclos
at 5 show REGW
at 3 bogus
run 10
