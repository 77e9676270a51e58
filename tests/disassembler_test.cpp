#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "core/form1.h"

namespace vintrel {
namespace {

struct Case {
    int word;
    const char* text;
};

// Both ends of every row of the instruction table, the worked examples, and each opcode once.
const Case kCases[] = {
    // NOP encodings and the control words.
    {0x0000, "NOP"},
    {0x0020, "NOP"},
    {0x0040, "NOP"},
    {0x0060, "NOP"},
    {0x0008, "RETURN"},
    {0x0009, "RETFIE"},
    {0x0062, "OPTION"},
    {0x0063, "SLEEP"},
    {0x0064, "CLRWDT"},
    {0x0065, "TRIS 5"},
    {0x0066, "TRIS 6"},
    {0x0067, "TRIS 7"},
    // MOVWF, CLRW, CLRF.
    {0x0080, "MOVWF 00"},
    {0x008C, "MOVWF 0C"},
    {0x00FF, "MOVWF 7F"},
    {0x0100, "CLRW"},
    {0x0155, "CLRW"},
    {0x017F, "CLRW"},
    {0x0180, "CLRF 00"},
    {0x0183, "CLRF 03"},
    {0x01FF, "CLRF 7F"},
    // Byte-oriented, every opcode, both destinations.
    {0x0200, "SUBWF 00,W"},
    {0x0280, "SUBWF 00"},
    {0x0303, "DECF 03,W"},
    {0x0483, "IORWF 03"},
    {0x0510, "ANDWF 10,W"},
    {0x06FF, "XORWF 7F"},
    {0x0703, "ADDWF 03,W"},
    {0x0783, "ADDWF 03"},
    {0x0800, "MOVF 00,W"},
    {0x0880, "MOVF 00"},
    {0x097F, "COMF 7F,W"},
    {0x0A8C, "INCF 0C"},
    {0x0B7F, "DECFSZ 7F,W"},
    {0x0C01, "RRF 01,W"},
    {0x0D81, "RLF 01"},
    {0x0E20, "SWAPF 20,W"},
    {0x0F7F, "INCFSZ 7F,W"},
    {0x0FFF, "INCFSZ 7F"},
    // Bit-oriented.
    {0x1000, "BCF 00,0"},
    {0x13FF, "BCF 7F,7"},
    {0x1400, "BSF 00,0"},
    {0x1683, "BSF 03,5"},
    {0x1800, "BTFSC 00,0"},
    {0x1B85, "BTFSC 05,7"},
    {0x1C0B, "BTFSS 0B,0"},
    {0x1FFF, "BTFSS 7F,7"},
    // CALL and GOTO.
    {0x2000, "CALL 000"},
    {0x2123, "CALL 123"},
    {0x27FF, "CALL 7FF"},
    {0x2800, "GOTO 000"},
    {0x2805, "GOTO 005"},
    {0x2FFF, "GOTO 7FF"},
    // Literal instructions.
    {0x3000, "MOVLW 00"},
    {0x30FF, "MOVLW FF"},
    {0x3300, "MOVLW 00"},
    {0x33FF, "MOVLW FF"},
    {0x3400, "RETLW 00"},
    {0x37FF, "RETLW FF"},
    {0x3800, "IORLW 00"},
    {0x38FF, "IORLW FF"},
    {0x3900, "ANDLW 00"},
    {0x39FF, "ANDLW FF"},
    {0x3A00, "XORLW 00"},
    {0x3AFF, "XORLW FF"},
    {0x3B00, "???"},
    {0x3BFF, "???"},
    {0x3C00, "SUBLW 00"},
    {0x3DFF, "SUBLW FF"},
    {0x3E00, "ADDLW 00"},
    {0x3FFF, "ADDLW FF"},
    // Gaps below 0080h.
    {0x0001, "???"},
    {0x0007, "???"},
    {0x000A, "???"},
    {0x001F, "???"},
    {0x0021, "???"},
    {0x003F, "???"},
    {0x0041, "???"},
    {0x005F, "???"},
    {0x0061, "???"},
    {0x0068, "???"},
    {0x007F, "???"},
    // Outside 14 bits.
    {0x4000, "???"},
    {0x7FFF, "???"},
    {0xFFFF, "???"},
    {-1, "???"},
};

TEST(Disassemble, Table) {
    for (const Case& c : kCases)
        EXPECT_EQ(Disassemble(c.word), c.text) << std::hex << c.word;
}

// The "???" words of the 14-bit space are exactly the listed gaps, and no text is longer than
// a listing column allows.
TEST(Disassemble, UnknownWordsAreExactlyTheGaps) {
    const std::vector<std::pair<int, int>> gaps = {
        {0x0001, 0x0007}, {0x000A, 0x001F}, {0x0021, 0x003F}, {0x0041, 0x005F},
        {0x0061, 0x0061}, {0x0068, 0x007F}, {0x3B00, 0x3BFF}};
    auto inGap = [&](int w) {
        for (auto [lo, hi] : gaps)
            if (w >= lo && w <= hi) return true;
        return false;
    };
    for (int w = 0; w <= 0x3FFF; ++w) {
        const std::string t = Disassemble(w);
        ASSERT_EQ(t == "???", inGap(w)) << std::hex << w << " " << t;
        ASSERT_LE(t.size(), 11u) << std::hex << w;
    }
}

// Don't-care bits leave the text unchanged; the operand fields are never combined with
// anything else of the word.
TEST(Disassemble, IgnoredBits) {
    for (int low = 0; low < 0x80; ++low)
        EXPECT_EQ(Disassemble(0x0100 | low), "CLRW");
    for (int k = 0; k < 0x100; ++k) {
        EXPECT_EQ(Disassemble(0x3000 | k), Disassemble(0x3300 | k));
        EXPECT_EQ(Disassemble(0x3400 | k), Disassemble(0x3700 | k));
        EXPECT_EQ(Disassemble(0x3C00 | k), Disassemble(0x3D00 | k));
        EXPECT_EQ(Disassemble(0x3E00 | k), Disassemble(0x3F00 | k));
    }
}

}  // namespace
}  // namespace vintrel
