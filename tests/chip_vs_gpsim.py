#!/usr/bin/env python3
"""Chip mode against gpsim, run as a black box: each program below runs step by step in
`vintrel-batch --chip` and in gpsim (the same HEX file, the same pin changes), and the states
after each step are compared: W, PC, the registers and the cycles each step took.

    tests/chip_vs_gpsim.py BUILD/bin/vintrel-batch     (needs gpasm and gpsim; not in ctest)

Before comparing, both lists of states are aligned: a state that only precedes gpsim's separate
one-cycle interrupt step is dropped (vintrel enters the handler in the step of the instruction
before), and a state equal to the one before it but for the cycles (a step of sleep) is merged.
Prints, per program, the states compared, the registers that differ and where the cycle counts
part; exit status 1 if any differs."""
import json, os, re, subprocess, sys, tempfile

HEAD = "\tlist p=16f84, r=dec\n\t#include <p16f84.inc>\n\t__config _XT_OSC & %s\n\torg 0\n"
# name: (source, steps, {step: pins clicked before it}, watchdog on, kHz)
PROGRAMS = {
    "t0_poll": ("""\tbsf STATUS,RP0\n\tmovlw 0x81\n\tmovwf OPTION_REG\n\tbcf STATUS,RP0
loop\tbtfss INTCON,T0IF\n\tgoto loop\n\tbcf INTCON,T0IF\n\tincf 0x0C,f\n\tmovlw 0xF0
\tmovwf TMR0\n\tgoto loop\n\tend\n""", 3000, {}, False, 4000),
    "t0_int": ("""\tgoto start\n\torg 4\n\tmovwf 0x20\n\tincf 0x0C,f\n\tmovlw 0x80\n\tmovwf TMR0
\tbcf INTCON,T0IF\n\tmovf 0x20,w\n\tretfie
start\tbsf STATUS,RP0\n\tmovlw 0x88\n\tmovwf OPTION_REG\n\tbcf STATUS,RP0\n\tmovlw 0xA0
\tmovwf INTCON\nloop\tincf 0x0D,f\n\taddwf 0x0D,w\n\tgoto loop\n\tend\n""", 3000, {}, False, 4000),
    "int_pin": ("""\tgoto start\n\torg 4\n\tincf 0x0C,f\n\tbsf STATUS,RP0\n\tmovlw 0x40
\txorwf OPTION_REG,f\n\tbcf STATUS,RP0\n\tbcf INTCON,INTF\n\tretfie
start\tbsf STATUS,RP0\n\tmovlw 0xE8\n\tmovwf OPTION_REG\n\tbcf STATUS,RP0\n\tmovlw 0x90
\tmovwf INTCON\nloop\tincf 0x0D,f\n\tgoto loop\n\tend\n""",
                1000, {100: [0], 200: [0], 300: [0], 301: [0], 500: [0], 700: [0]}, False, 4000),
    "rb_change": ("""\tgoto start\n\torg 4\n\tincf 0x0C,f\n\tmovf PORTB,w\n\tmovwf 0x0E
\tbcf INTCON,RBIF\n\tretfie\nstart\tbsf STATUS,RP0\n\tmovlw 0xA8\n\tmovwf OPTION_REG
\tbcf STATUS,RP0\n\tmovf PORTB,w\n\tmovlw 0x88\n\tmovwf INTCON\nloop\tincf 0x0D,f\n\tgoto loop
\tend\n""", 1000, {100: [4], 200: [7], 300: [4], 400: [1], 500: [7, 7], 600: [5]}, False, 4000),
    "sleep_int": ("""\tgoto start\n\torg 4\n\tincf 0x0C,f\n\tbcf INTCON,INTF\n\tretfie
start\tbsf STATUS,RP0\n\tmovlw 0xE8\n\tmovwf OPTION_REG\n\tbcf STATUS,RP0
again\tmovlw 0x90\n\tmovwf INTCON\n\tsleep\n\tnop\n\tincf 0x0D,f\n\tbcf INTCON,GIE\n\tsleep
\tincf 0x0D,f\n\tbcf INTCON,INTF\n\tgoto again\n\tend\n""",
                  1000, {k: [0] for k in range(50, 1000, 50)}, False, 4000),
    "watchdog": ("""\tbtfss STATUS,NOT_TO\n\tgoto timedout\n\tbsf STATUS,RP0\n\tmovlw 0x89
\tmovwf OPTION_REG\n\tbcf STATUS,RP0\nloop\tincf 0x0C,f\n\tbtfss 0x0C,7\n\tclrwdt\n\tgoto loop
timedout\tincf 0x0D,f\n\tbsf STATUS,RP0\n\tmovlw 0x89\n\tmovwf OPTION_REG\n\tbcf STATUS,RP0
\tsleep\n\tincf 0x0E,f\n\tsleep\n\tgoto timedout\n\tend\n""",
                 4000, {}, True, 40),
    "eeprom": ("""again\tmovf 0x0D,w\n\tandlw 0x3F\n\tmovwf EEADR\n\tmovwf EEDATA\n\tbsf STATUS,RP0
\tbsf EECON1,WREN\n\tmovlw 0x55\n\tmovwf EECON2\n\tmovlw 0xAA\n\tmovwf EECON2\n\tbsf EECON1,WR
\tbcf EECON1,WREN\nwait\tbtfss EECON1,EEIF\n\tgoto wait\n\tbcf EECON1,EEIF\n\tbsf EECON1,RD
\tbcf STATUS,RP0\n\tmovf EEDATA,w\n\tmovwf 0x0E\n\tincf 0x0D,f\n\tgoto again\n\tend\n""",
               3000, {}, False, 20),
}
# Left out: INDF, 07h, PCL (gpsim shows the next fetch's) and the ports (vintrel's cell shows
# the pins as the program last read them, gpsim's the pins now).
KEYS = [k for k in range(1, 0x50) if k not in (2, 5, 6, 7)] + [0x81, 0x85, 0x86, 0x88]


def vintrel_states(batch, hexfile, steps, clicks, khz, run=False):
    lines = ["load " + hexfile, "type FREC %d" % khz, "state"]
    if run:  # the whole run as one burst
        lines += ["run %d" % steps, "state"]
    for i in range(0 if run else steps):
        lines += ["click PB %d" % p for p in clicks.get(i, [])] + ["step", "state"]
    out = subprocess.run([batch, "--chip", "-"], input="\n".join(lines) + "\n", text=True,
                         capture_output=True, check=True).stdout
    states = []
    for s in (json.loads(l) for l in out.splitlines() if l.startswith("{")):
        st = {"W": int(s["W"], 16), "PC": int(s["PC"], 16), "cycles": int(s["cycles"]),
              "i": len(states)}
        st.update({k: int(s["REG"][str(k)], 16) for k in KEYS})
        states.append(st)
    return states


def gpsim_states(hexfile, steps, stimuli, khz):
    cmds = ["frequency %d" % (khz * 1000)]
    for pin, edges in stimuli.items():
        flat = ", ".join("%d, %d" % e for e in edges)
        cmds += ["stimulus asynchronous_stimulus", "initial_state 0", "start_cycle 0",
                 "{ %s }" % flat, "name s%d" % pin, "end", "node n%d" % pin,
                 "attach n%d s%d portb%d" % (pin, pin, pin)]
    dump = ["echo =====", "x", "cycles"]
    cmds += dump + (["step"] + dump) * steps + ["quit"]
    with tempfile.NamedTemporaryFile("w", suffix=".stc", delete=False) as f:
        f.write("\n".join(cmds) + "\n")
    out = subprocess.run(["gpsim", "-i", "-p", "p16f84", "-c", f.name, hexfile], text=True,
                         capture_output=True, timeout=600).stdout
    os.unlink(f.name)
    states = []
    for block in out.split("=====")[1:]:
        st = {}
        for addr, data in re.findall(r"^([0-9a-f]{4}):  ((?:[0-9a-f-]{2} ){16})", block, re.M):
            for i, v in enumerate(data.split()):
                st[int(addr, 16) + i] = -1 if v == "--" else int(v, 16)
        st[0x85] &= 0x1F  # gpsim shows TRISA's unimplemented bit 5 set
        st["W"] = int(re.search(r"^W = ([0-9a-f]+)", block, re.M).group(1), 16)
        st["PC"] = int(re.search(r"^pc = 0x([0-9a-f]+)", block, re.M).group(1), 16)
        st["cycles"] = int(re.search(r"^(\d+) = 0x", block, re.M).group(1))
        states.append(st)
    return states


def align(states, gpsim):
    if gpsim:  # gpsim's state before its own one-cycle interrupt step: vintrel has none
        states = [s for s, n in zip(states, states[1:] + [None])
                  if not (n and n["PC"] == 4 and s["PC"] != 3 and n["cycles"] - s["cycles"] == 1)]
    out = []
    for s in states:
        s = dict(s, step=s["cycles"] - (out[-1]["cycles"] if out else 0), start=s["cycles"])
        if out and all(out[-1][k] == s[k] for k in ["W", "PC"] + KEYS):
            out[-1]["step"] += max(s["step"], 0)  # a step of sleep: merged
            out[-1]["cycles"] = s["cycles"]
        else:
            out.append(s)
    return out


def main(batch):
    failed = False
    with tempfile.TemporaryDirectory() as work:
        for name, (body, steps, clicks, wdt, khz) in PROGRAMS.items():
            asm = os.path.join(work, name + ".asm")
            with open(asm, "w") as f:
                f.write(HEAD % ("_WDT_ON" if wdt else "_WDT_OFF") + body)
            subprocess.run(["gpasm", "-a", "inhx8m", "-p", "p16f84", "-o", asm[:-3] + "hex", asm],
                           check=True, capture_output=True)
            hexfile = asm[:-3] + "hex"
            v = vintrel_states(batch, hexfile, steps, clicks, khz)
            # gpsim's pins change at the cycle gpsim reaches the state vintrel clicks in, found
            # one click at a time (each one moves the cycles that follow).
            stimuli, level = {}, {}
            for step, pins in sorted(clicks.items()):
                g = gpsim_states(hexfile, steps + steps // 4, stimuli, khz)
                a, g = [(a, g) for a, g in zip(align(v, False), align(g, True)) if a["i"] <= step][-1]
                for p in pins:
                    level[p] = 1 - level.get(p, 0)
                    stimuli.setdefault(p, []).append((v[step]["cycles"] - a["start"] + g["start"], level[p]))
            av, ag = align(v, False), align(gpsim_states(hexfile, steps + steps // 4, stimuli, khz), True)
            n = min(len(av), len(ag)) - 1  # the last may be a sleep cut short
            diffs = {}
            for a, g in zip(av[:n], ag[:n]):
                for k in ["W", "PC", "step"] + KEYS:
                    if a[k] != g[k]:
                        diffs.setdefault(k, []).append((a["PC"], a[k], g[k]))
            # A run of the same steps (the burst's path) ends where the steps end.
            if not clicks and dict(vintrel_states(batch, hexfile, steps, {}, khz, True)[-1],
                                   i=steps) != v[-1]:
                diffs["run N"] = [(v[-1]["PC"], 0, 0)]
            failed |= bool(diffs)
            print("%s: %d vintrel steps, %d states compared, %s" % (
                name, steps, n, "no difference" if not diffs else "differences:"))
            for k, d in diffs.items():
                label = k if isinstance(k, str) else "REG %02X" % k
                print("  %s differs in %d states; first at PC %03X: vintrel %d, gpsim %d"
                      % ((label, len(d)) + d[0]))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(os.path.abspath(sys.argv[1])))
