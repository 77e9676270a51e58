#include "chip/chip.h"
#include "chip/decoder.h"

namespace vintrel {

namespace {

using pic::C;
using pic::DC;

[[gnu::always_inline]] inline void SetBit(int& status, int mask, bool on) {
    status = on ? (status | mask) : (status & ~mask);
}

// The flags of the three kinds of arithmetic; each returns the 8-bit result. Z is left to the
// caller because its moment relative to the write differs between instructions.
[[gnu::always_inline]] inline int Add(int& status, int a, int b) {
    SetBit(status, DC, (a & 0xF) + (b & 0xF) > 0xF);
    SetBit(status, C, a + b > 0xFF);
    return (a + b) & 0xFF;
}

// a - b: C and DC are "no borrow".
[[gnu::always_inline]] inline int Subtract(int& status, int a, int b) {
    SetBit(status, DC, (a & 0xF) >= (b & 0xF));
    SetBit(status, C, a >= b);
    return (a - b) & 0xFF;
}

[[gnu::always_inline]] inline int Logic(int& status, int result) {
    Chip::SetZeroFlag(status, result);
    return result;
}

}  // namespace

// The levels holding an address are the top `depth` ones, the rest show "---": only those
// levels move. A stack found otherwise (never by the panel's own writes) moves level by level.
int Chip::StackDepth() const {
    const auto empty = [this](int i) { return pila[static_cast<std::size_t>(i)].textIs("---"); };
    const int d = stackDepth_;
    if ((d == kStackLevels || empty(d)) && (d == 0 || !empty(d - 1))) return d;
    return kStackLevels;
}

void Chip::PushStack(int address) {
    if (stackShadowed_) {
        const int d = shadowDepth_;
        for (int i = (d < kStackLevels ? d : kStackLevels - 1) - 1; i >= 0; --i)
            shadow_[static_cast<std::size_t>(i + 1)] = shadow_[static_cast<std::size_t>(i)];
        shadow_[0] = address & 0xFFF;  // the three digits a level shows
        shadowDepth_ = d < kStackLevels ? d + 1 : kStackLevels;
        return;
    }
    const int d = StackDepth();
    for (int i = (d < kStackLevels ? d : kStackLevels - 1) - 1; i >= 0; --i)
        pila[static_cast<std::size_t>(i + 1)].copyText(pila[static_cast<std::size_t>(i)]);
    pila[0].setHex(address, 3);
    stackDepth_ = d < kStackLevels ? d + 1 : kStackLevels;
}

int Chip::PopStack() {
    if (stackShadowed_) {
        const int d = shadowDepth_;
        const int result = d > 0 ? shadow_[0] : 0;  // an empty level reads 0
        for (int i = 0; i < d - 1; ++i)
            shadow_[static_cast<std::size_t>(i)] = shadow_[static_cast<std::size_t>(i + 1)];
        shadowDepth_ = d > 0 ? d - 1 : 0;
        return result;
    }
    const int d = StackDepth();
    const int result = static_cast<int>(pila[0].hexValue());
    for (int i = 0; i < d - 1; ++i)
        pila[static_cast<std::size_t>(i)].copyText(pila[static_cast<std::size_t>(i + 1)]);
    pila[static_cast<std::size_t>(d > 0 ? d - 1 : 0)].setText("---");
    stackDepth_ = d > 0 ? d - 1 : 0;
    return result;
}

// Nothing but CALL and the returns looks at the stack, so a burst keeps it as numbers when
// the levels are as the chip leaves them (addresses on top, "---" below), and shows it at the
// end.
void Chip::ShadowStack() {
    int d = 0;
    while (d < kStackLevels && pila[static_cast<std::size_t>(d)].isHex(3)) {
        shadow_[static_cast<std::size_t>(d)] =
            static_cast<int>(pila[static_cast<std::size_t>(d)].hexValue());
        ++d;
    }
    for (int i = d; i < kStackLevels; ++i)
        if (!pila[static_cast<std::size_t>(i)].textIs("---")) return;
    shadowDepth_ = d;
    stackShadowed_ = true;
}

void Chip::ShowStack() {
    if (!stackShadowed_) return;
    stackShadowed_ = false;
    for (int i = 0; i < kStackLevels; ++i) {
        auto& level = pila[static_cast<std::size_t>(i)];
        if (i < shadowDepth_)
            level.setHex(shadow_[static_cast<std::size_t>(i)], 3);
        else
            level.setText("---");
    }
    stackDepth_ = shadowDepth_;
}

void Chip::Step() {
    if (chipMode_) {
        ChipStep();
        if (observeSteps_) observer_->Stepped();
        return;
    }
    // The label is the authority: an edited or reset PC is where the step executes.
    ProgramCounter = static_cast<int>(RegPC.hexValue() & kPcMask);
    const int word = ProgramMemory[static_cast<std::size_t>(ProgramCounter)];
    Execute(Decoded(ProgramCounter), word & kWordMask);
    ciclos.setNumber(CycleCount);
    Timer0Update();
    if (observeSteps_) observer_->Stepped();
}

// A step's chip-mode work after its instruction (kept here, where RunBurst inlines it).
inline void Chip::ChipAfter(const Instruction& in, int target) {
    const int cycles = 1 + ExtraCycle;  // the data sheet's count: both cycles now
    CycleCount += cycles;
    ExtraCycle = 0;
    if (target >= 0) ChipTouched(in, target);
    ChipCycles(cycles);
    if (rare_) ChipRare(in, cycles);
    if (gie_ && FlagPending(static_cast<int>(REG(pic::INTCON).hexValue()))) ChipInterrupt();
}

template <bool kPredecoded, bool kBreakpoints, bool kChip, bool kObserved>
bool Chip::RunBurst(std::int64_t& idle, const int* breakpoints, bool& skip) {
    std::int64_t left = idle;  // a local: no store through the reference every step
    bool skipNext = skip;
    bool atBreakpoint = false;
    while (left > 0) {
        --left;
        if (kBreakpoints && breakpoints[ProgramCounter] == 1 && !skipNext) {
            atBreakpoint = true;
            break;
        }
        skipNext = false;
        if (kChip && rare_) {
            if (estsleep.value() != 0) {
                // Nothing can set a flag while a burst sleeps: the yields left are cycles of
                // sleep up to a time-out, one at a time only onto a breakpoint.
                const bool stopHere = kBreakpoints && breakpoints[ProgramCounter] == 1;
                left -= ChipSleep(stopHere ? 1 : left + 1) - 1;
                continue;
            }
            if (TimeOutDue()) {
                timedOut_ = true;  // this step is the reset (Burst)
                break;
            }
        }
        const Instruction& in = kPredecoded ? decoded_[static_cast<std::size_t>(ProgramCounter)]
                                            : Decoded(ProgramCounter);
        if constexpr (kChip) {
            const int target = in.reachesIo ? FileTarget(in.f) : -1;
            ExecuteInline<true, true>(in, in.word);
            ChipAfter(in, target);
            if constexpr (kObserved) observer_->Stepped();
            continue;
        }
        ExecuteInline<true>(in, in.word);
        Timer0Update();
        if constexpr (kObserved) observer_->Stepped();
        if (in.op == Op::SLEEP && estsleep.value() != 0) {
            // Asleep: the yields left pass over the same empty step, stopping before a
            // breakpoint at the address where the chip sleeps.
            if (left > 0) {
                --left;
                atBreakpoint = kBreakpoints && breakpoints[ProgramCounter] == 1;
            }
            if (!atBreakpoint) left = 0;
            break;
        }
    }
    idle = left;
    skip = skipNext;
    return atBreakpoint;
}

bool Chip::Burst(std::int64_t& idle, const int* breakpoints, bool& skip) {
    if (!chipMode_) return BurstIn<false>(idle, breakpoints, skip);
    for (;;) {
        const bool atBreakpoint = BurstIn<true>(idle, breakpoints, skip);
        if (!timedOut_) return atBreakpoint;
        // The watchdog's reset, as the WDT button gives it; the burst goes on from address 0.
        timedOut_ = false;
        WatchdogReset();
        skip = false;
        if (idle == 0) return false;
    }
}

template <bool kChip>
bool Chip::BurstIn(std::int64_t& idle, const int* breakpoints, bool& skip) {
    // Asleep, a step does nothing, so the rest of the burst is the same empty step; only SLEEP
    // puts the chip to sleep inside a burst. (A sleeping chip still counts time.)
    if (!kChip && estsleep.value() != 0) {
        if (idle > 0) {
            --idle;
            const int pc = static_cast<int>(RegPC.hexValue() & kPcMask);
            if (breakpoints[pc] == 1 && !skip) return true;
        }
        idle = 0;
        return false;
    }
    if (kChip) {
        ReadFrequency();
        UpdateRare();
    }
    // The address RegPC shows; each step leaves the next one there.
    ProgramCounter = static_cast<int>(RegPC.hexValue() & kPcMask);
    ShadowStack();
    // The flags are the cell's; from here they may wait in StatusReg (SyncStatus shows them).
    StatusReg = static_cast<int>(REG(pic::STATUS).hexValue());
    statusPending_ = true;
    bool atBreakpoint;
    if (observeSteps_) {
        // Observed after every step: an instantiation of its own, so that the others stay as
        // they are.
        for (int a = 0; a < kProgramWords; ++a)
            Decoded(a);
        atBreakpoint = RunBurst<true, true, kChip, true>(idle, breakpoints, skip);
    } else if (idle < kLongBurst) {
        atBreakpoint = RunBurst<false, true, kChip>(idle, breakpoints, skip);
    } else {
        // Nothing changes program memory during a burst: its words are decoded once, here.
        for (int a = 0; a < kProgramWords; ++a)
            Decoded(a);
        // The usual run has no breakpoint at all: its steps need not look for one.
        int anySet = 0;
        for (int a = 0; a < kProgramWords; ++a)
            anySet |= breakpoints[a] == 1;
        atBreakpoint = anySet ? RunBurst<true, true, kChip>(idle, breakpoints, skip)
                              : RunBurst<true, false, kChip>(idle, breakpoints, skip);
    }
    ShowStack();
    SyncStatus();
    if (pcPending_) {
        pcPending_ = false;
        SetPC(ProgramCounter);
    }
    ciclos.setNumber(CycleCount);
    return atBreakpoint;
}

void Chip::ExecuteInstruction(int word) {
    Execute(Decode(word), word & kWordMask);
}

void Chip::Execute(const Instruction& in, int word) {
    ExecuteInline<false>(in, word);
}

// Inside a burst (kBurst) RegPC and STATUS's flags wait until an instruction or the INDF
// display can see them, or the burst ends.
template <bool kBurst, bool kChip>
inline void Chip::ExecuteInline(const Instruction& in, int word) {
    // Inside a burst, most instructions see neither PCL nor STATUS, directly or through INDF:
    // one test passes over both checks.
    const bool sees = !kBurst || in.seesPclOrStatus || indfShowsPclOrStatus_;
    ProgramCounter = (ProgramCounter + 1) & kPcMask;
    if (sees && PclSeenDuring(in)) SetPC(ProgramCounter);
    if constexpr (!kChip) {  // chip mode counts the cycles as the step ends (ChipAfter)
        CycleCount += 1 + ExtraCycle;
        if (InternalClock()) PrescalerCount += 1 + ExtraCycle;
    }
    ExtraCycle = 0;
    // Inside a burst the flags wait in StatusReg too, until an instruction can see the cell.
    if (sees) {
        if (statusPending_ && (in.seesStatus || indfShowsStatus_)) SyncStatus();
        if (!statusPending_) StatusReg = static_cast<int>(REG(pic::STATUS).hexValue());
    }

    int f = in.f;
    const int d = in.d;
    const int k = in.k;
    auto skip = [this]() __attribute__((always_inline)) {
        ProgramCounter = (ProgramCounter + 1) & kPcMask;
        ExtraCycle = 1;
    };
    auto ret = [this]() __attribute__((always_inline)) {
        ProgramCounter = PopStack() & kPcMask;
        ExtraCycle = 1;
    };
    auto jump = [ this, k ]() __attribute__((always_inline)) {
        // PCLATH's bits 4:3 above the 11-bit literal.
        ProgramCounter =
            ((static_cast<int>(REG(pic::PCLATH).hexValue()) & pic::kPclathPage) * 0x100 + k) &
            kPcMask;
        ExtraCycle = 1;
    };
    int& S = StatusReg;
    // Every class-0 and class-1 word reads its file register first, also NOP and the control
    // words: a port read refreshes the port's cell.
    const int bank = pic::BankOf(StatusReg);
    const int F = word < 0x2000 ? ReadFileRegister(f, bank) : 0;
    int W = static_cast<int>(REGW.hexValue());
    const auto mask = [&in] { return 1 << in.b; };

    switch (in.op) {
        // clang-format off
        case Op::MOVWF:  WriteRegister(f, W, bank); break;
        case Op::CLRF:
        case Op::CLRW:   WriteResult(f, 0, d, bank); SetZeroFlag(S, 0); break;  // write, then Z
        case Op::SUBWF:  { const int r = Subtract(S, F, W); SetZeroFlag(S, r); WriteResult(f, r, d, bank); break; }
        case Op::ADDWF:  { const int r = Add(S, W, F); SetZeroFlag(S, r); WriteResult(f, r, d, bank); break; }
        case Op::DECF:   WriteResult(f, Logic(S, (F - 1) & 0xFF), d, bank); break;
        case Op::INCF:   WriteResult(f, Logic(S, (F + 1) & 0xFF), d, bank); break;
        case Op::IORWF:  WriteResult(f, Logic(S, W | F), d, bank); break;
        case Op::ANDWF:  WriteResult(f, Logic(S, W & F), d, bank); break;
        case Op::XORWF:  WriteResult(f, Logic(S, W ^ F), d, bank); break;
        case Op::COMF:   WriteResult(f, Logic(S, ~F & 0xFF), d, bank); break;
        case Op::MOVF:   WriteResult(f, F, d, bank); SetZeroFlag(S, F); break;  // write, then Z
        case Op::DECFSZ: { const int r = (F - 1) & 0xFF; WriteResult(f, r, d, bank); if (r == 0) skip(); break; }
        case Op::INCFSZ: { const int r = (F + 1) & 0xFF; WriteResult(f, r, d, bank); if (r == 0) skip(); break; }
        case Op::RRF:    { const int r = (S & C) * 0x80 + (F >> 1); SetBit(S, C, F & 1); WriteResult(f, r, d, bank); break; }
        case Op::RLF:    { const int r = (F * 2 + (S & C)) & 0xFF; SetBit(S, C, F & 0x80); WriteResult(f, r, d, bank); break; }
        case Op::SWAPF:  WriteResult(f, (F & 0xF) * 0x10 + (F >> 4), d, bank); break;

        case Op::BCF:    WriteRegister(f, F & (0xFF - mask()), bank); break;
        case Op::BSF:    WriteRegister(f, F | mask(), bank); break;
        case Op::BTFSC:  if ((F & mask()) == 0) skip(); break;
        case Op::BTFSS:  if ((F & mask()) != 0) skip(); break;

        case Op::CALL:   PushStack(ProgramCounter); jump(); break;
        case Op::GOTO:   jump(); break;
        case Op::RETURN: ret(); break;
        case Op::RETFIE: ret(); REG(pic::INTCON).setHex(REG(pic::INTCON).hexValue() | pic::GIE, 2); break;
        case Op::OPTION: REG(pic::OPTION_REG).setHex(W, 2); break;
        // TRIS 5 and 6 write TRISA and TRISB; 0 to 4 the bank-1 cell of their number.
        case Op::TRIS:   if ((f & 7) != 7) REG(pic::kBank1 + (f & 7)).setHex(W, 2); break;
        // On the chip SLEEP sets TO and clears PD, and stops the clock in its cycle (Timer0
        // skips it); CLRWDT sets both (the watchdog: ChipRare).
        case Op::SLEEP:
            estsleep.setValue(1);
            if constexpr (kChip) {
                S = (S | pic::TO) & ~pic::PD;
                if (t0Divisor_ > 0) --PrescalerCount;
                rare_ = true;
            }
            break;
        case Op::CLRWDT: if constexpr (kChip) S |= pic::TO | pic::PD; break;
        case Op::NOP:
        case Op::Undefined: break;

        // Literal instructions write W; all but MOVLW and RETLW set Z from it.
        case Op::MOVLW:  REGW.setHex(k, 2); break;
        case Op::RETLW:  ret(); REGW.setHex(k, 2); break;
        case Op::IORLW:  REGW.setHex(Logic(S, W | k), 2); break;
        case Op::ANDLW:  REGW.setHex(Logic(S, W & k), 2); break;
        case Op::XORLW:  REGW.setHex(Logic(S, W ^ k), 2); break;
        case Op::SUBLW:  REGW.setHex(Logic(S, Subtract(S, k, W)), 2); break;
        case Op::ADDLW:  REGW.setHex(Logic(S, Add(S, W, k)), 2); break;
        case Op::UndefinedLiteral: REGW.setHex(Logic(S, W), 2); break;
            // clang-format on
    }

    if constexpr (kBurst) {
        statusPending_ = true;
        pcPending_ = true;
    } else {
        SetReg(pic::STATUS, StatusReg);
        SetPC(ProgramCounter);
    }
}

// One step in chip mode: asleep, a cycle of sleep.
void Chip::ChipStep() {
    ReadFrequency();
    UpdateRare();
    if (estsleep.value() != 0) {
        ChipSleep(1);
    } else {
        ProgramCounter = static_cast<int>(RegPC.hexValue() & kPcMask);
        StatusReg = static_cast<int>(REG(pic::STATUS).hexValue());
        if (TimeOutDue()) {
            WatchdogReset();
            return;
        }
        const Instruction& in = Decoded(ProgramCounter);
        const int target = in.reachesIo ? FileTarget(in.f) : -1;
        ExecuteInline<false, true>(in, in.word);
        ChipAfter(in, target);
        SetPC(ProgramCounter);  // an interrupt may have moved it
    }
    ciclos.setNumber(CycleCount);
}

}  // namespace vintrel
