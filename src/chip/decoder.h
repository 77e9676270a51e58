// The PIC16F84's 14-bit instruction words decoded once into an operation and its fields; the
// executor and the disassembler both work from this.
#pragma once

#include <cstdint>

namespace vintrel {

enum class Op : std::uint8_t {
    // byte-oriented file register operations: f, d
    ADDWF,
    ANDWF,
    CLRF,
    CLRW,
    COMF,
    DECF,
    DECFSZ,
    INCF,
    INCFSZ,
    IORWF,
    MOVF,
    MOVWF,
    RLF,
    RRF,
    SUBWF,
    SWAPF,
    XORWF,
    // bit-oriented: f, b
    BCF,
    BSF,
    BTFSC,
    BTFSS,
    // literal and control: k
    ADDLW,
    ANDLW,
    CALL,
    GOTO,
    IORLW,
    MOVLW,
    RETLW,
    SUBLW,
    XORLW,
    // no operands (TRIS carries its port in f)
    NOP,
    CLRWDT,
    OPTION,
    RETFIE,
    RETURN,
    SLEEP,
    TRIS,
    // words the set does not define: a class-0 one does nothing, the literal one (3Bxx) still
    // sets Z from W
    Undefined,
    UndefinedLiteral,
};

struct Instruction {
    Op op = Op::Undefined;
    std::uint8_t f = 0;            // file register (7 bits); every class-0 and class-1 word has one
    std::uint8_t d = 0;            // destination: 0 W, 1 f
    std::uint8_t b = 0;            // bit number
    std::uint16_t k = 0;           // literal (8 bits) or jump target (11 bits)
    bool readsPcl = false;         // a class-0 or class-1 word on file register 02h
    bool seesStatus = false;       // a class-0 or class-1 word on STATUS
    bool seesPclOrStatus = false;  // either of the two: one test in a burst
    bool reachesIo = false;        // a class-0 or class-1 word on 00h, 01h or 06h (TMR0, PORTB)
    std::uint16_t word = 0;        // the 14-bit word decoded
};

namespace decoder_detail {

// The operation of each value of bits 13-8; class 0 with bits 11-8 zero and CLRW are refined
// in Decode.
constexpr Op kOps[64] = {
    Op::MOVWF, Op::CLRF,  Op::SUBWF, Op::DECF,   Op::IORWF, Op::ANDWF,
    Op::XORWF, Op::ADDWF, Op::MOVF,  Op::COMF,   Op::INCF,  Op::DECFSZ,
    Op::RRF,   Op::RLF,   Op::SWAPF, Op::INCFSZ, Op::BCF,   Op::BCF,
    Op::BCF,   Op::BCF,   Op::BSF,   Op::BSF,    Op::BSF,   Op::BSF,
    Op::BTFSC, Op::BTFSC, Op::BTFSC, Op::BTFSC,  Op::BTFSS, Op::BTFSS,
    Op::BTFSS, Op::BTFSS, Op::CALL,  Op::CALL,   Op::CALL,  Op::CALL,
    Op::CALL,  Op::CALL,  Op::CALL,  Op::CALL,   Op::GOTO,  Op::GOTO,
    Op::GOTO,  Op::GOTO,  Op::GOTO,  Op::GOTO,   Op::GOTO,  Op::GOTO,
    Op::MOVLW, Op::MOVLW, Op::MOVLW, Op::MOVLW,  Op::RETLW, Op::RETLW,
    Op::RETLW, Op::RETLW, Op::IORLW, Op::ANDLW,  Op::XORLW, Op::UndefinedLiteral,
    Op::SUBLW, Op::SUBLW, Op::ADDLW, Op::ADDLW,
};

// Class 0, bits 11-7 zero: the words without operands.
constexpr Op Control0(int word) {
    switch (word) {
        case 0x0000:
        case 0x0020:
        case 0x0040:
        case 0x0060:
            return Op::NOP;
        case 0x0008:
            return Op::RETURN;
        case 0x0009:
            return Op::RETFIE;
        case 0x0062:
            return Op::OPTION;
        case 0x0063:
            return Op::SLEEP;
        case 0x0064:
            return Op::CLRWDT;
        case 0x0065:
        case 0x0066:
        case 0x0067:
            return Op::TRIS;
        default:
            return Op::Undefined;
    }
}

}  // namespace decoder_detail

[[gnu::always_inline]] constexpr inline Instruction Decode(int word) {
    word &= 0x3FFF;
    Instruction in;
    in.op = decoder_detail::kOps[word >> 8];
    in.f = static_cast<std::uint8_t>(word & 0x7F);
    in.d = static_cast<std::uint8_t>((word >> 7) & 1);
    in.b = static_cast<std::uint8_t>((word >> 7) & 7);
    // Literals are 8 bits, jump targets 11; both read from the same low bits.
    in.k = static_cast<std::uint16_t>(word & (word >> 12 == 2 ? 0x7FF : 0xFF));
    in.readsPcl = word < 0x2000 && in.f == 2;
    in.seesStatus = word < 0x2000 && in.f == 3;
    in.seesPclOrStatus = in.readsPcl || in.seesStatus;
    in.reachesIo = word < 0x2000 && (in.f <= 1 || in.f == 6);
    in.word = static_cast<std::uint16_t>(word);
    if (word < 0x0200 && in.d == 0) {
        if (word < 0x0100)
            in.op = decoder_detail::Control0(word);
        else
            in.op = Op::CLRW;
    }
    return in;
}

}  // namespace vintrel
