// The disassembler against a table written independently of the decoder, over all 16384 words.
#include <gtest/gtest.h>

#include <string>

#include "chip/control.h"
#include "image/disassembler.h"

namespace vintrel {
namespace {

std::string Expected(int w) {
    static const char* const kByte[16] = {"",      "",      "SUBWF", "DECF",  "IORWF", "ANDWF",
                                          "XORWF", "ADDWF", "MOVF",  "COMF",  "INCF",  "DECFSZ",
                                          "RRF",   "RLF",   "SWAPF", "INCFSZ"};
    static const char* const kBit[4] = {"BCF ", "BSF ", "BTFSC ", "BTFSS "};
    static const char* const kLit[16] = {"MOVLW", "MOVLW", "MOVLW", "MOVLW", "RETLW", "RETLW",
                                         "RETLW", "RETLW", "IORLW", "ANDLW", "XORLW", nullptr,
                                         "SUBLW", "SUBLW", "ADDLW", "ADDLW"};
    const int op = (w >> 8) & 0xF, d = (w >> 7) & 1;
    const std::string f = HexPad(w & 0x7F, 2);
    switch (w >> 12) {
        case 0:
            if (op > 1) return std::string(kByte[op]) + " " + f + (d ? "" : ",W");
            if (op == 1) return d ? "CLRF " + f : "CLRW";
            if (d) return "MOVWF " + f;
            if (w == 0 || w == 0x20 || w == 0x40 || w == 0x60) return "NOP";
            if (w == 8) return "RETURN";
            if (w == 9) return "RETFIE";
            if (w == 0x62) return "OPTION";
            if (w == 0x63) return "SLEEP";
            if (w == 0x64) return "CLRWDT";
            if (w >= 0x65 && w <= 0x67) return "TRIS " + std::to_string(w & 7);
            return "???";
        case 1:
            return kBit[(w >> 10) & 3] + f + "," + std::to_string((w >> 7) & 7);
        case 2:
            return (w & 0x800 ? "GOTO " : "CALL ") + HexPad(w & 0x7FF, 3);
        case 3:
            return kLit[op] ? std::string(kLit[op]) + " " + HexPad(w & 0xFF, 2) : "???";
    }
    return "???";
}

TEST(Disassembler, EveryWordAgainstAnIndependentTable) {
    // The worked examples anchor the table itself.
    EXPECT_EQ(Expected(0x0703), "ADDWF 03,W");
    EXPECT_EQ(Expected(0x1C0B), "BTFSS 0B,0");
    EXPECT_EQ(Expected(0x2123), "CALL 123");
    EXPECT_EQ(Expected(0x3FFF), "ADDLW FF");
    for (int w = 0; w <= 0x3FFF; ++w)
        ASSERT_EQ(Disassemble(w), Expected(w)) << std::hex << w;
    EXPECT_EQ(Disassemble(0x4000), "???");
    EXPECT_EQ(Disassemble(-1), "???");
}

}  // namespace
}  // namespace vintrel
