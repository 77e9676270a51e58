// The simulated PIC16F84: its state cells (a register's value is its cell's text), the module
// state beside them, and everything the chip does by itself: register access, the executor, the
// change effects, Timer0 and the chip's part of the resets. A `Chip` is complete on its own; the
// panel (`Form1`) owns one and adds the listing, the editing boxes and the buttons.
//
// Member functions are defined by subject:
//   chip.cpp              start-up values, change dispatch
//   register_file.cpp     ReadRegister, ReadFileRegister, WriteRegister, changeindf
//   executor.cpp          Step, ExecuteInstruction, PushStack, PopStack
//   register_effects.cpp  REG_Change, selpag, RegPC_Change, FR_Change, WATCHDOG_Click
//   timer0.cpp            Timer0Update
//   resets.cpp            PowerOnReset, MclrReset, WatchdogReset
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "chip/control.h"

namespace vintrel {

struct Instruction;

inline constexpr int kProgramWords = 1024;
inline constexpr int kEepromCells = 64;
inline constexpr int kStackLevels = 8;

class Chip final : private ChangeListener {
  public:
    Chip();
    Chip(const Chip&) = delete;
    Chip& operator=(const Chip&) = delete;

    // ---- the data-memory cells, keyed by data address (0..79, 129, 133, 134, 136, 137) ----
    static constexpr bool IsRegKey(int key) {
        return (key >= 0 && key <= 79) || key == 129 || key == 133 || key == 134 || key == 136 ||
               key == 137;
    }
    Control& REG(int key) { return reg_[static_cast<std::size_t>(key & 0xFF)]; }
    const Control& REG(int key) const { return reg_[static_cast<std::size_t>(key & 0xFF)]; }

    Control REGW, RegPC, INDF;
    std::array<Control, kStackLevels> pila;
    std::array<Control, kEepromCells> EE;
    std::array<Control, 5> PA;
    std::array<Control, 8> PB;
    std::array<Control, 2> RP;  // bank indicator
    Control SENTIM, divtim, ciclos, contawdt;
    Control estsleep, WATCHDOG, FR;
    // Buttons whose enabled state is the chip's: the T0CKI pulse (internal clock or a set
    // frequency disables it) and the watchdog time-out (only with the watchdog switched on).
    Control TOCKI, WDT;

    // ---- module state ----
    std::array<int, kProgramWords> ProgramMemory{};
    int ProgramCounter = 0;
    int StatusReg = 0x18;
    // 64-bit so that a long fast run never wraps.
    std::int64_t CycleCount = 0;
    int ExtraCycle = 1;
    std::int64_t PrescalerCount = 0;
    int EepromUnlock = 0;

    // Bumped by every change of any control wired to it: one comparison tells a view whether
    // to redraw. The panel wires its own controls to the same counter.
    std::uint64_t panelRevision() const { return panelRevision_; }
    std::uint64_t* panelRevisionCounter() { return &panelRevision_; }

    // ---- start-up values ----
    void Form_Load();

    // ---- register file access ----
    int ReadRegister(int address);
    int ReadFileRegister(int f);
    // `address` is in and out: an indirect write leaves the effective address in it.
    void WriteRegister(int& address, int value, int destination);
    void changeindf();

    // ---- instruction execution ----
    void ExecuteInstruction(int word);
    void PushStack(int address);
    int PopStack();
    static void SetZeroFlag(int& status, int value) {
        status = value == 0 ? (status | 0x04) : (status & ~0x04);
    }
    // One instruction as the step button runs it: the address RegPC shows, the cycle count
    // shown, Timer0 fed. The panel checks for sleep first.
    void Step();

    // ---- change effects ----
    void REG_Change(int key);
    void selpag();
    void RegPC_Change();
    void FR_Change();
    void WATCHDOG_Click();
    static void BitsOf(int value, int bits[8]);
    static constexpr std::string_view kStatusTemplate =
        " IRP=  RP1=  RP0=   T0=   PD=    Z=   DC=    C= ";
    static constexpr std::string_view kIntconTemplate =
        " GIE=  EIE=  TIE=  ITE=  BIE=  TIF=  ITF=  BIF= ";
    static constexpr std::string_view kOptionTemplate =
        " RBP=  IEG=  RTS=  RTE=  PSA=  PS2=  PS1=  PS0= ";

    // ---- Timer0 ----
    void Timer0Update();
    void TOCKI_Click() { ++PrescalerCount; }
    // SENTIM reads "Int."; kept as a flag beside the caption, which only OPTION's effect sets.
    bool InternalClock() const { return internalClock_; }

    // ---- resets (the panel selects the listing row of the new PC afterwards) ----
    void PowerOnReset();
    void MclrReset();
    void WatchdogReset();

  private:
    bool PclSeenDuring(const Instruction& in, int word) const;
    bool IndfMayChange(int key) const;
    // Change dispatch ids beyond the register keys 0..255.
    enum : int { kRegPCId = 256, kFRId, kWatchdogId };
    void ControlChanged(int id) override;
    void StoreRegister(int a, int b, int value);
    void PclWrite(int value);
    // Output (disabled) pins take their bit of the port value; inputs keep the user's level.
    static void ShowLatch(Control* pins, int count, int portValue);
    static void SetDirections(Control* pins, int count, int trisValue);
    void RestartCounters();
    void ResetControlRegisters();

    std::array<Control, 256> reg_;
    std::uint64_t panelRevision_ = 0;
    bool internalClock_ = false;
};

}  // namespace vintrel
