// The PIC16F84 by its data-sheet names: the sizes of its memories, the data address of every
// register and the mask of every bit of STATUS, INTCON, OPTION_REG and EECON1. The panel's
// data-memory cells are keyed by these addresses (bank 1's own registers at 81h, 85h, 86h, 88h
// and 89h).
#pragma once

#include <string_view>

namespace vintrel {

inline constexpr int kProgramWords = 1024;
inline constexpr int kEepromCells = 64;
inline constexpr int kStackLevels = 8;
// The program counter's ten bits, and a program word's fourteen (also an erased word).
inline constexpr int kPcMask = kProgramWords - 1;
inline constexpr int kWordMask = 0x3FFF;

namespace pic {

// ---- the register file ----
inline constexpr int INDF = 0x00, TMR0 = 0x01, PCL = 0x02, STATUS = 0x03, FSR = 0x04, PORTA = 0x05,
                     PORTB = 0x06, EEDATA = 0x08, EEADR = 0x09, PCLATH = 0x0A, INTCON = 0x0B;
inline constexpr int OPTION_REG = 0x81, TRISA = 0x85, TRISB = 0x86, EECON1 = 0x88, EECON2 = 0x89;
// 07h is no register (the panel's cell there shows "--"); 0Ch to 4Fh are general purpose.
inline constexpr int kUnimplemented = 0x07;
inline constexpr int kFirstGeneral = 0x0C, kLastGeneral = 0x4F;
// Bank 1's first address; FSR's bit 7 selects bank 1 too. Bank 1 mirrors bank 0 but for its
// own registers.
inline constexpr int kBank1 = 0x80;

constexpr bool OwnInBank1(int address) {
    return address == OPTION_REG || address == TRISA || address == TRISB || address == EECON1 ||
           address == EECON2;
}

// ---- STATUS ----
inline constexpr int IRP = 0x80, RP1 = 0x40, RP0 = 0x20, TO = 0x10, PD = 0x08, Z = 0x04, DC = 0x02,
                     C = 0x01;
// The bank RP1:RP0 select, 0 to 3.
constexpr int BankOf(int status) {
    return (status & (RP1 | RP0)) / RP0;
}

// ---- INTCON ----
inline constexpr int GIE = 0x80, EEIE = 0x40, T0IE = 0x20, INTE = 0x10, RBIE = 0x08, T0IF = 0x04,
                     INTF = 0x02, RBIF = 0x01;

// ---- OPTION_REG ----
inline constexpr int RBPU = 0x80, INTEDG = 0x40, T0CS = 0x20, T0SE = 0x10, PSA = 0x08, PS2 = 0x04,
                     PS1 = 0x02, PS0 = 0x01;
// PS2:PS0, the prescaler's rate: it divides by 2 << rate for Timer0, 1 << rate for the watchdog.
constexpr int PrescalerRate(int option) {
    return option & (PS2 | PS1 | PS0);
}

// ---- EECON1 ----
inline constexpr int EEIF = 0x10, WRERR = 0x08, WREN = 0x04, WR = 0x02, RD = 0x01;

// ---- PCLATH ----
// Bits 4:3, which GOTO and CALL put above their 11-bit literal.
inline constexpr int kPclathPage = 0x18;

// ---- the pins ----
inline constexpr int kPortAPins = 5, kPortBPins = 8;
inline constexpr int kT0ckiPin = 4;  // RA4/T0CKI
// RB0/INT, and RB7:RB4, whose change sets RBIF.
inline constexpr int RB0 = 0x01, kRbChange = 0xF0;

// ---- program memory ----
inline constexpr int kInterruptVector = 0x004;

// Every register by address, data-sheet name and the name the panel shows.
struct RegisterName {
    int address;
    std::string_view name;
    std::string_view panel;
};
inline constexpr RegisterName kRegisterNames[] = {
    {INDF, "INDF", "INDF"},       {TMR0, "TMR0", "RTCC"},
    {PCL, "PCL", "PCL"},          {STATUS, "STATUS", "STATUS"},
    {FSR, "FSR", "FSR"},          {PORTA, "PORTA", "PORTA"},
    {PORTB, "PORTB", "PORTB"},    {EEDATA, "EEDATA", "EEDATA"},
    {EEADR, "EEADR", "EEADR"},    {PCLATH, "PCLATH", "PCLATCH"},
    {INTCON, "INTCON", "INTCON"}, {OPTION_REG, "OPTION_REG", "OPTION"},
    {TRISA, "TRISA", "TRISA"},    {TRISB, "TRISB", "TRISB"},
    {EECON1, "EECON1", "EECON1"}, {EECON2, "EECON2", "EECON2"},
};

// The name the panel shows for the register at `address`, empty for none.
constexpr std::string_view PanelName(int address) {
    for (const RegisterName& r : kRegisterNames)
        if (r.address == address) return r.panel;
    return {};
}

}  // namespace pic

}  // namespace vintrel
