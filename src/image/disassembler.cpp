#include "image/disassembler.h"

#include <cstddef>

#include "chip/decoder.h"

namespace vintrel {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

// Builds the text in a fixed buffer: the longest text ("DECFSZ 7F,W") fits in the string's
// small buffer, so the result needs no heap allocation.
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
    // The last `width` upper-case hex digits of v.
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

const char* Name(Op op) {
    switch (op) {
        // clang-format off
        case Op::ADDWF: return "ADDWF";   case Op::ANDWF: return "ANDWF";
        case Op::CLRF: return "CLRF";     case Op::CLRW: return "CLRW";
        case Op::COMF: return "COMF";     case Op::DECF: return "DECF";
        case Op::DECFSZ: return "DECFSZ"; case Op::INCF: return "INCF";
        case Op::INCFSZ: return "INCFSZ"; case Op::IORWF: return "IORWF";
        case Op::MOVF: return "MOVF";     case Op::MOVWF: return "MOVWF";
        case Op::RLF: return "RLF";       case Op::RRF: return "RRF";
        case Op::SUBWF: return "SUBWF";   case Op::SWAPF: return "SWAPF";
        case Op::XORWF: return "XORWF";   case Op::BCF: return "BCF";
        case Op::BSF: return "BSF";       case Op::BTFSC: return "BTFSC";
        case Op::BTFSS: return "BTFSS";   case Op::ADDLW: return "ADDLW";
        case Op::ANDLW: return "ANDLW";   case Op::CALL: return "CALL";
        case Op::GOTO: return "GOTO";     case Op::IORLW: return "IORLW";
        case Op::MOVLW: return "MOVLW";   case Op::RETLW: return "RETLW";
        case Op::SUBLW: return "SUBLW";   case Op::XORLW: return "XORLW";
        case Op::NOP: return "NOP";       case Op::CLRWDT: return "CLRWDT";
        case Op::OPTION: return "OPTION"; case Op::RETFIE: return "RETFIE";
        case Op::RETURN: return "RETURN"; case Op::SLEEP: return "SLEEP";
        case Op::TRIS: return "TRIS";
        case Op::Undefined: case Op::UndefinedLiteral: break;
            // clang-format on
    }
    return "???";
}

}  // namespace

std::string Disassemble(int word) {
    if (word < 0 || word > 0x3FFF) return "???";
    const Instruction in = Decode(word);
    Text t;
    t.put(Name(in.op));
    switch (in.op) {
        case Op::MOVWF:
        case Op::CLRF:
            return t.put(' ').hex(in.f, 2).str();
        case Op::ADDWF:
        case Op::ANDWF:
        case Op::COMF:
        case Op::DECF:
        case Op::DECFSZ:
        case Op::INCF:
        case Op::INCFSZ:
        case Op::IORWF:
        case Op::MOVF:
        case Op::RLF:
        case Op::RRF:
        case Op::SUBWF:
        case Op::SWAPF:
        case Op::XORWF:
            t.put(' ').hex(in.f, 2);
            if (in.d == 0) t.put(",W");
            return t.str();
        case Op::BCF:
        case Op::BSF:
        case Op::BTFSC:
        case Op::BTFSS:
            return t.put(' ').hex(in.f, 2).put(',').put(static_cast<char>('0' + in.b)).str();
        case Op::CALL:
        case Op::GOTO:
            return t.put(' ').hex(in.k, 3).str();
        case Op::ADDLW:
        case Op::ANDLW:
        case Op::IORLW:
        case Op::MOVLW:
        case Op::RETLW:
        case Op::SUBLW:
        case Op::XORLW:
            return t.put(' ').hex(in.k, 2).str();
        case Op::TRIS:
            return t.put(' ').put(static_cast<char>('0' + (in.f & 7))).str();
        default:
            return t.str();
    }
}

}  // namespace vintrel
