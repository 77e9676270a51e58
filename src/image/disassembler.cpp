#include <cstddef>
#include <string>

#include "core/form1.h"

namespace vintrel {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

// Mnemonics of the byte-oriented opcodes 2 to 15 (bits 11-8); 0 and 1 are decoded apart.
constexpr const char* kByteOps[16] = {nullptr, nullptr, "SUBWF", "DECF",  "IORWF", "ANDWF",
                                      "XORWF", "ADDWF", "MOVF",  "COMF",  "INCF",  "DECFSZ",
                                      "RRF",   "RLF",   "SWAPF", "INCFSZ"};
constexpr const char* kBitOps[4] = {"BCF", "BSF", "BTFSC", "BTFSS"};

// Builds the text in a fixed buffer: the longest text ("DECFSZ 7F,W") is 11 characters, which
// fits in the string's small buffer, so the result is the only object made and it needs no
// heap allocation.
class Text {
  public:
    Text& put(const char* s) {
        while (*s)
            buf_[n_++] = *s++;
        return *this;
    }
    Text& put(char c) {
        buf_[n_++] = c;
        return *this;
    }
    // The last `width` upper-case hex digits of v, as HexPad writes them.
    Text& hex(int v, int width) {
        for (int shift = 4 * (width - 1); shift >= 0; shift -= 4)
            buf_[n_++] = kHex[(v >> shift) & 0xF];
        return *this;
    }
    std::string str() const { return std::string(buf_, n_); }

  private:
    char buf_[16];
    std::size_t n_ = 0;
};

std::string Unknown() {
    return "???";
}

// Class 0, opcode 0: the control instructions and MOVWF.
std::string Control0(int word) {
    const int high = (word >> 4) & 0xF;
    const int low = word & 0xF;
    if (high >= 8) return Text().put("MOVWF ").hex(word & 0x7F, 2).str();
    switch (high) {
        case 0:
            if (low == 0) return "NOP";
            if (low == 8) return "RETURN";
            if (low == 9) return "RETFIE";
            return Unknown();
        case 2:
        case 4:
            return low == 0 ? "NOP" : Unknown();
        case 6:
            switch (low) {
                case 0:
                    return "NOP";
                case 2:
                    return "OPTION";
                case 3:
                    return "SLEEP";
                case 4:
                    return "CLRWDT";
                case 5:
                case 6:
                case 7:
                    return Text().put("TRIS ").put(static_cast<char>('0' + low)).str();
                default:
                    return Unknown();
            }
        default:
            return Unknown();
    }
}

}  // namespace

std::string Disassemble(int word) {
    if (word < 0 || word > 0x3FFF) return Unknown();
    const int opcode = (word >> 8) & 0xF;
    const int f = word & 0x7F;
    const bool toW = (word & 0x80) == 0;
    switch (word >> 12) {
        case 0:
            if (opcode == 0) return Control0(word);
            if (opcode == 1) return toW ? "CLRW" : Text().put("CLRF ").hex(f, 2).str();
            {
                Text t;
                t.put(kByteOps[opcode]).put(' ').hex(f, 2);
                if (toW) t.put(",W");
                return t.str();
            }
        case 1:
            return Text()
                .put(kBitOps[(word >> 10) & 3])
                .put(' ')
                .hex(f, 2)
                .put(',')
                .put(static_cast<char>('0' + ((word >> 7) & 7)))
                .str();
        case 2:
            return Text().put(word & 0x800 ? "GOTO " : "CALL ").hex(word & 0x7FF, 3).str();
        default: {
            const char* name = nullptr;
            if (opcode <= 3)
                name = "MOVLW ";
            else if (opcode <= 7)
                name = "RETLW ";
            else if (opcode == 8)
                name = "IORLW ";
            else if (opcode == 9)
                name = "ANDLW ";
            else if (opcode == 10)
                name = "XORLW ";
            else if (opcode == 11)
                return Unknown();
            else if (opcode <= 13)
                name = "SUBLW ";
            else
                name = "ADDLW ";
            return Text().put(name).hex(word & 0xFF, 2).str();
        }
    }
}

}  // namespace vintrel
