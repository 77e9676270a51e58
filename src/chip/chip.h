// The simulated PIC16F84: its state cells (a register's value is its cell's text), the module
// state beside them, and everything the chip does by itself: register access, the executor, the
// change effects, Timer0 and the chip's part of the resets. A `Chip` is complete on its own; the
// panel (`Form1`) owns one and adds the listing, the editing boxes and the buttons.
//
// Member functions are defined by subject:
//   chip.cpp              start-up values, change dispatch
//   register_file.cpp     ReadRegister, ReadFileRegister, WriteRegister, changeindf
//   executor.cpp          Step, Burst, ExecuteInstruction, PushStack, PopStack
//   register_effects.cpp  REG_Change, selpag, RegPC_Change, FR_Change, WATCHDOG_Click
//   timer0.cpp            Timer0Update (its tick)
//   resets.cpp            PowerOnReset, MclrReset, WatchdogReset
//   chip_mode.cpp         chip mode: interrupts, the watchdog's count, sleep, pin edges
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "chip/control.h"
#include "chip/decoder.h"
#include "chip/pic16f84.h"
#include "chip/program_image.h"

namespace vintrel {

// Watches the chip for a waveform. The chip calls it only while one is set (`SetObserver`).
class ChipObserver {
  public:
    // A pin's level may have changed (a port or TRIS write). CycleCount already counts the
    // instruction in progress.
    virtual void Observe() = 0;
    // An instruction ended (only for an observer of every step).
    virtual void Stepped() = 0;
    // A reset is about to restart the cycle count at 0.
    virtual void CountersRestarting() = 0;

  protected:
    ~ChipObserver() = default;
};

class Chip final : private ChangeListener {
  public:
    Chip();
    Chip(const Chip&) = delete;
    Chip& operator=(const Chip&) = delete;

    // ---- the data-memory cells, keyed by data address (bank 0 and bank 1's own) ----
    static constexpr bool IsRegKey(int key) {
        return (key >= 0 && key <= pic::kLastGeneral) || pic::OwnInBank1(key);
    }
    Control& REG(int key) { return reg_[static_cast<std::size_t>(key & 0xFF)]; }
    const Control& REG(int key) const { return reg_[static_cast<std::size_t>(key & 0xFF)]; }

    Control REGW, RegPC, INDF;
    std::array<Control, kStackLevels> pila;
    std::array<Control, kEepromCells> EE;
    std::array<Control, pic::kPortAPins> PA;
    std::array<Control, pic::kPortBPins> PB;
    std::array<Control, 2> RP;  // bank indicator
    Control SENTIM, divtim, ciclos, contawdt;
    Control estsleep, WATCHDOG, FR;
    // Buttons whose enabled state is the chip's: the T0CKI pulse (internal clock or a set
    // frequency disables it) and the watchdog time-out (only with the watchdog switched on).
    Control TOCKI, WDT;

    // ---- module state ----
    std::array<int, kProgramWords> ProgramMemory{};
    int ProgramCounter = 0;
    int StatusReg = pic::TO | pic::PD;
    // 64-bit so that a long fast run never wraps.
    std::int64_t CycleCount = 0;
    int ExtraCycle = 1;
    std::int64_t PrescalerCount = 0;
    int EepromUnlock = 0;

    // Bumped by every change of any control wired to it: one comparison tells a view whether
    // to redraw. The panel wires every control to it from its table of controls.
    std::uint64_t panelRevision() const { return panelRevision_; }
    std::uint64_t* panelRevisionCounter() { return &panelRevision_; }

    // ---- start-up values ----
    void Form_Load();

    // ---- a program file ----
    // The EEPROM cleared and program memory erased, as a load starts.
    void EraseMemories();
    // The image's words, EEPROM bytes and watchdog switch; the rest stays as it is.
    void StoreImage(const ProgramImage& image);

    // ---- register file access ----
    int ReadRegister(int address);
    // File register f of `bank` (RP1:RP0; banks 2 and 3 have no registers). The executor reads
    // the bank once: STATUS's bank bits do not change before its one write.
    int ReadFileRegister(int f, int bank);
    // `address` is in and out: an indirect write leaves the effective address in it.
    void WriteRegister(int& address, int value, int bank);
    [[gnu::noinline]] void changeindf();
    // Where a write of `pcl` to PCL sends the program counter: PCLATH's bits above it.
    int PcFromPcl(int pcl) const {
        return (static_cast<int>(REG(pic::PCLATH).hexValue()) * 256 + pcl) & kPcMask;
    }
    // The program counter goes where PCLATH:PCL point now (the panel's edit of either).
    void JumpToPcl() {
        ProgramCounter = PcFromPcl(static_cast<int>(REG(pic::PCL).hexValue()));
        RegPC.setHex(ProgramCounter, 3);
    }

    // ---- instruction execution ----
    void ExecuteInstruction(int word);
    void PushStack(int address);
    int PopStack();
    [[gnu::always_inline]] static void SetZeroFlag(int& status, int value) {
        status = value == 0 ? (status | pic::Z) : (status & ~pic::Z);
    }
    // One instruction as the step button runs it: the address RegPC shows, the cycle count
    // shown, Timer0 fed. The panel checks for sleep first.
    void Step();
    // The steps a continuous run makes across `idle` yields that have nothing to do: after each
    // of those yields, the breakpoint check (`breakpoints` at the program counter, passed over
    // while `skip` is set, which each executed step clears) and a step. Nothing can look at the
    // panel meanwhile, so RegPC (with PCL) and the cycle count are shown once at the end, except
    // where an instruction sees them. Returns true when it stopped before a breakpoint, with
    // `idle` holding the yields not yet used.
    bool Burst(std::int64_t& idle, const int* breakpoints, bool& skip);

    // ---- observation (a waveform) ----
    // `everyStep`: also after every instruction, which the pins alone do not need.
    void SetObserver(ChipObserver* observer, bool everyStep) {
        observer_ = observer;
        observeSteps_ = observer != nullptr && everyStep;
    }
    // A data cell's value as the program would read it now: inside a burst STATUS's flags and
    // PCL may still wait to be shown.
    int RegisterNow(int key) const {
        if (key == pic::STATUS && statusPending_) return StatusReg;
        if (key == pic::PCL && pcPending_) return ProgramCounter & 0xFF;
        return static_cast<int>(REG(key).hexValue());
    }

    // ---- change effects ----
    // The registers with an effect of their own.
    static constexpr bool HasEffect(int key) {
        return key == pic::STATUS || key == pic::FSR || key == pic::PORTA || key == pic::PORTB ||
               key == pic::INTCON || pic::OwnInBank1(key);
    }
    // What a change of a REG cell's text runs: the register's own effect, then the INDF display.
    [[gnu::always_inline]] void REG_Change(int key) {
        // Most registers have neither an effect nor the INDF display's attention.
        if (!watched_[static_cast<std::size_t>(key & 0xFF)]) return;
        if (HasEffect(key)) RegisterEffect(key);
        if (IndfMayChange(key)) changeindf();
    }
    void selpag();
    void RegPC_Change() {
        // PCL always shows the low byte of the program counter: the last two of its digits.
        if (RegPC.isHex(3))
            SetReg(pic::PCL, static_cast<int>(RegPC.hexValue() & 0xFF));
        else
            RegPC_ChangeText();
    }
    void FR_Change();
    void WATCHDOG_Click();
    static constexpr std::string_view kStatusTemplate =
        " IRP=  RP1=  RP0=   T0=   PD=    Z=   DC=    C= ";
    static constexpr std::string_view kIntconTemplate =
        " GIE=  EIE=  TIE=  ITE=  BIE=  TIF=  ITF=  BIF= ";
    static constexpr std::string_view kOptionTemplate =
        " RBP=  IEG=  RTS=  RTE=  PSA=  PS2=  PS1=  PS0= ";

    // ---- Timer0 ----
    // Turns at most one divisor's worth of prescaler pulses into one TMR0 increment.
    void Timer0Update() {
        // The count is checked first: it reaches the divisor only now and then.
        const std::int64_t d = divtim.decValue();
        if (d > PrescalerCount) return;
        if (!InternalClock() && !TOCKI.enabled()) return;
        Timer0Tick(d);
    }
    void TOCKI_Click() {
        if (chipMode_)
            ChipPulse();
        else
            ++PrescalerCount;
    }
    // SENTIM reads "Int."; kept as a flag beside the caption, which only OPTION's effect sets.
    bool InternalClock() const { return internalClock_; }

    // ---- resets (the panel selects the listing row of the new PC afterwards) ----
    void PowerOnReset();
    void MclrReset();
    void WatchdogReset();

    // ---- chip mode: what the data sheet's chip does where the panel does less ----
    // Off by default and never turned on by the window. On, TMR0 counts instruction cycles and
    // sets T0IF, RB0/INT and RB7:RB4 set INTF and RBIF, interrupts are taken, the watchdog
    // times out by itself, a two-cycle instruction counts both cycles at once, and program
    // memory is erased to 3FFFh (now, and by every load).
    void SetChipMode(bool on);
    bool ChipMode() const { return chipMode_; }
    int ErasedWord() const { return chipMode_ ? kWordMask : 0; }
    // The frequency box (kHz, decimal) that times the watchdog; 4000 kHz without one.
    void SetFrequencySource(const Control* frec) { frequency_ = frec; }
    // The user changed the level of input pin RB`index`.
    void PB_Click(int index);

  private:
    // REG(key).setHex(value, 2) and RegPC.setHex(pc, 3) with their effects called directly.
    [[gnu::always_inline]] void SetReg(int key, int value) {
        if (REG(key).assignHex(value, 2)) REG_Change(key);
    }
    [[gnu::always_inline]] void SetPC(int pc) {
        if (RegPC.assignHex(pc, 3)) RegPC_Change();
    }
    [[gnu::noinline]] void RegisterEffect(int key);
    void RegPC_ChangeText();
    [[gnu::noinline]] void Timer0Tick(std::int64_t divisor);
    // The INDF display reads the register FSR points at (a port is sampled afresh by every
    // read). After any other register's change it would show what it already shows.
    [[gnu::always_inline]] bool IndfMayChange(int key) const {
        return key == pic::STATUS || key == pic::FSR || key == indfKey_ || indfKey_ == kAnyKey;
    }
    // Follows FSR: the key INDF reads, and the keys whose change needs REG_Change's work.
    void SetIndfKey(int key);
    // The key whose change INDF follows, from FSR: kAnyKey for a port, which every refresh samples.
    static constexpr int kAnyKey = -1;
    static constexpr int IndfKeyOf(int fsr) {
        if (fsr == pic::PORTA || fsr == pic::PORTB) return kAnyKey;
        return fsr >= pic::kBank1 && !pic::OwnInBank1(fsr) ? fsr - pic::kBank1 : fsr;
    }
    bool PclSeenDuring(const Instruction& in) const {
        return in.readsPcl || (indfShowsPcl_ && !(StatusReg & pic::IRP));
    }
    // `word` is masked to 14 bits. The burst's copy is inlined into its loop. kChip: chip
    // mode's cycle count, SLEEP and CLRWDT.
    [[gnu::noinline]] void Execute(const Instruction& in, int word);
    template <bool kBurst, bool kChip = false>
    [[gnu::always_inline]] inline void ExecuteInline(const Instruction& in, int word);
    // The steps of a burst. kPredecoded: every program word is decoded already; kBreakpoints:
    // some breakpoint may be set. A short burst does not pay for the look over all 1024 words.
    // kChip: chip mode's steps. kObserved: the observer is told after every step.
    template <bool kPredecoded, bool kBreakpoints, bool kChip, bool kObserved = false>
    bool RunBurst(std::int64_t& idle, const int* breakpoints, bool& skip);
    template <bool kChip>
    bool BurstIn(std::int64_t& idle, const int* breakpoints, bool& skip);

    // ---- chip mode (chip_mode.cpp; the per-step part in executor.cpp) ----
    void ChipStep();
    // TMR0's or PORTB's address when file operand f reaches it (INDF through FSR), else -1.
    int FileTarget(int f);
    // An instruction reached TMR0 or PORTB (`target`).
    [[gnu::noinline]] void ChipTouched(const Instruction& in, int target);
    // After an instruction: its second cycle, Timer0, the PORTB latch, the watchdog and the
    // EEPROM write (ChipRare), and the interrupt.
    [[gnu::always_inline]] inline void ChipAfter(const Instruction& in, int target);
    [[gnu::noinline]] void ChipRare(const Instruction& in, int cycles);
    // The watchdog's count reaches its period in the next cycle: the instruction due then is
    // not executed, the step is the time-out's reset.
    bool TimeOutDue() const { return WATCHDOG.value() != 0 && wdtCycles_ + 1 >= WatchdogPeriod(); }
    // `n` steps of sleep, one cycle each, up to a wake-up; returns the steps used.
    std::int64_t ChipSleep(std::int64_t n);
    // Timer0's pulses, in PrescalerCount, past the divisor: TMR0 increments, T0IF on FFh to 00h.
    [[gnu::noinline]] void ChipTimer(int divisor);
    // `pulses` instruction cycles for Timer0 on the internal clock.
    void ChipCycles(int pulses) {
        if (t0Divisor_ > 0 && (PrescalerCount += pulses) >= t0Divisor_) ChipTimer(t0Divisor_);
    }
    [[gnu::noinline]] void ChipInterrupt();
    void ChipPulse();
    // An enabled interrupt flag is set (INTCON's three and EEIE with EECON1's EEIF).
    bool FlagPending(int intcon) {
        // Each enable bit sits three above its flag.
        return (intcon & (intcon >> 3) & (pic::T0IF | pic::INTF | pic::RBIF)) != 0 ||
               ((intcon & pic::EEIE) != 0 && (REG(pic::EECON1).hexValue() & pic::EEIF) != 0);
    }
    // Reads the frequency chosen into the watchdog's nominal period (18 ms) and an EEPROM
    // write's time (4 ms), in cycles.
    void ReadFrequency();
    // The nominal period times the postscaler OPTION gives the watchdog.
    std::int64_t WatchdogPeriod() const {
        const int option = static_cast<int>(REG(pic::OPTION_REG).hexValue());
        return wdtBase_ << ((option & pic::PSA) ? pic::PrescalerRate(option) : 0);
    }
    int PortBPins() const;
    bool chipMode_ = false;
    const Control* frequency_ = nullptr;
    std::int64_t wdtCycles_ = 0;       // cycles since the watchdog was last cleared
    std::int64_t wdtBase_ = 18000;     // its nominal period in cycles (ReadFrequency)
    std::int64_t eeWriteTime_ = 4000;  // an EEPROM write's cycles (ReadFrequency)
    // The EEPROM write under way: the cycles it still takes, its address and data.
    std::int64_t eeLeft_ = 0;
    int eeAddress_ = 0, eeData_ = 0;
    void ChipEeprom(std::int64_t cycles);
    // Asleep, the watchdog on or an EEPROM write under way: a chip-mode step has more to do.
    // Set at the start of each step or burst, and by what changes one of the three in a burst.
    bool rare_ = false;
    void UpdateRare() { rare_ = estsleep.value() != 0 || WATCHDOG.value() != 0 || eeLeft_ > 0; }
    bool gie_ = false;  // INTCON's GIE, kept by its change effect
    // Cycles a TMR0 increment takes on the internal clock, 0 on T0CKI. A write to TMR0 holds
    // it two cycles: PrescalerCount starts at -2.
    int t0Divisor_ = 0;
    int rbLatch_ = 0;        // PORTB's pins as last read
    bool timedOut_ = false;  // the watchdog ended a burst to reset the chip
    static constexpr std::int64_t kLongBurst = 256;
    [[gnu::always_inline]] const Instruction& Decoded(int address) {
        const auto a = static_cast<std::size_t>(address);
        const int word = ProgramMemory[a];
        if (decodedWord_[a] != word) {
            decoded_[a] = Decode(word);
            decodedWord_[a] = word;
        }
        return decoded_[a];
    }
    // Change dispatch ids beyond the register keys 0..255.
    enum : int { kRegPCId = 256, kFRId, kWatchdogId };
    void ControlChanged(int id) override;
    void StoreRegister(int a, int b, int value);
    // An instruction's result into W (destination 0) or file register `address`.
    [[gnu::always_inline]] void WriteResult(int& address, int value, int destination, int bank) {
        if (destination == 0)
            REGW.setHex(value, 2);
        else
            WriteRegister(address, value, bank);
    }
    void PclWrite(int value);
    // Output (disabled) pins take their bit of the port value; inputs keep the user's level.
    void ShowLatch(Control* pins, int count, int portValue);
    static void SetDirections(Control* pins, int count, int trisValue);
    [[gnu::noinline]] int ReadOtherRegister(int address);
    int ReadPort(int key, const Control* pins, int count);
    int StackDepth() const;
    void RestartCounters();
    void ResetControlRegisters();

    std::array<Control, 256> reg_;
    std::uint64_t panelRevision_ = 0;
    bool internalClock_ = false;
    int indfKey_ = 0;                    // IndfKeyOf(FSR)
    bool indfShowsPcl_ = false;          // indfKey_ is PCL's, or any
    bool indfShowsStatus_ = false;       // indfKey_ is STATUS's
    bool indfShowsPclOrStatus_ = false;  // either of the two: one test in a burst
    std::array<bool, 256> watched_{};
    int stackDepth_ = 0;  // a hint: StackDepth() checks it
    // Inside a burst: the stack as numbers, shown at its end (ShadowStack, ShowStack).
    bool stackShadowed_ = false;
    int shadowDepth_ = 0;
    std::array<int, kStackLevels> shadow_{};
    void ShadowStack();
    void ShowStack();
    // Inside a burst: RegPC's new value waits in ProgramCounter until the burst ends.
    bool pcPending_ = false;
    // Inside a burst: STATUS's new value waits in StatusReg. Its cell differs from StatusReg
    // only in the flags, which nothing reads but an instruction on STATUS and the INDF
    // display when FSR points at STATUS; those show it first.
    bool statusPending_ = false;
    void SyncStatus() {
        if (!statusPending_) return;
        statusPending_ = false;
        SetReg(pic::STATUS, StatusReg);
    }
    ChipObserver* observer_ = nullptr;
    bool observeSteps_ = false;
    // The program words decoded, each beside the word it was decoded from.
    std::array<int, kProgramWords> decodedWord_;
    std::array<Instruction, kProgramWords> decoded_;
};

// The register file's hot paths, inline for the executor.

[[gnu::always_inline]] inline int Chip::ReadRegister(int address) {
    // The general-purpose and most special registers first: the common case.
    if ((address >= pic::EEDATA && address <= pic::kLastGeneral) ||
        (address >= pic::TMR0 && address <= pic::FSR))
        return static_cast<int>(REG(address).hexValue());
    return ReadOtherRegister(address);
}

[[gnu::always_inline]] inline int Chip::ReadFileRegister(int f, int bank) {
    if (bank == 0) return ReadRegister(f);
    if (bank == 1) return ReadRegister(f + pic::kBank1);
    return 0;
}

namespace chip_detail {

// The cell a write to file address a (0..127) in bank b (0, 1) stores into, -1 for none:
// INDF, 07h and 50h up have no storage; bank 1 has its own OPTION_REG, TRISA, TRISB, EECON1
// and EECON2 and mirrors the rest.
constexpr std::array<std::array<std::int16_t, pic::kBank1>, 2> StoreKeys() {
    std::array<std::array<std::int16_t, pic::kBank1>, 2> keys{};
    for (int b = 0; b < 2; ++b) {
        for (int a = 0; a < pic::kBank1; ++a) {
            const bool none = a == pic::INDF || a == pic::kUnimplemented || a > pic::kLastGeneral;
            const bool own = b == 1 && pic::OwnInBank1(a + pic::kBank1);
            keys[static_cast<std::size_t>(b)][static_cast<std::size_t>(a)] =
                static_cast<std::int16_t>(none  ? -1
                                          : own ? a + pic::kBank1
                                                : a);
        }
    }
    return keys;
}
inline constexpr auto kStoreKeys = StoreKeys();

}  // namespace chip_detail

[[gnu::always_inline]] inline void Chip::StoreRegister(int a, int b, int value) {
    if (a < 0 || a >= pic::kBank1) return;
    const int key =
        chip_detail::kStoreKeys[static_cast<std::size_t>(b & 1)][static_cast<std::size_t>(a)];
    if (key >= 0) SetReg(key, value);
}

inline void Chip::PclWrite(int value) {
    ProgramCounter = PcFromPcl(value);
    ExtraCycle = 1;
}

[[gnu::always_inline]] inline void Chip::WriteRegister(int& address, int value, int bank) {
    if (address == pic::INDF && bank <= 1) {
        if (StatusReg & pic::IRP) return;
        const int fsr = static_cast<int>(REG(pic::FSR).hexValue());
        const int ibank = (fsr & pic::kBank1) != 0 ? 1 : 0;
        address = fsr & (pic::kBank1 - 1);
        if (address == pic::PCL) {
            PclWrite(value);
            return;
        }
        StoreRegister(address, ibank, value);
        return;
    }
    if (address == pic::PCL && bank <= 1) {
        PclWrite(value);
        return;
    }
    if (bank <= 1) StoreRegister(address, bank, value);
}

}  // namespace vintrel
