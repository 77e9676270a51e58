#include "chip/control.h"

#include <charconv>
#include <limits>

namespace vintrel {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

// Writes the last `width` hex digits of v into out (no terminator).
inline void PutHex(std::uint64_t v, int width, char* out) {
    for (int i = width - 1; i >= 0; --i) {
        out[i] = kHexDigits[v & 0xF];
        v >>= 4;
    }
}

inline bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

inline int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string_view Trimmed(std::string_view t) {
    while (!t.empty() && IsBlank(t.front()))
        t.remove_prefix(1);
    while (!t.empty() && IsBlank(t.back()))
        t.remove_suffix(1);
    return t;
}

// The digits of `text` after its blanks, up to the first other character, in base 16 or 10;
// a value past the limit stays at the largest one.
template <int kBase>
std::int64_t DigitsValue(std::string_view text) {
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t kLimit = kBase == 16 ? kMax >> 4 : (kMax - 9) / 10;
    std::int64_t v = 0;
    for (char c : Trimmed(text)) {
        const int d = kBase == 16 ? HexDigit(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
        if (d < 0) break;
        v = v > kLimit ? kMax : v * kBase + d;
    }
    return v;
}

}  // namespace

void FormatHex(char* out, std::int64_t value, int width) {
    // Negative values are formatted as their 16-bit two's complement.
    std::uint64_t v =
        value < 0 ? static_cast<std::uint64_t>(value) & 0xFFFF : static_cast<std::uint64_t>(value);
    PutHex(v, width, out);
}

std::string HexPad(std::int64_t value, int width) {
    if (width <= 0) return {};
    std::string s(static_cast<std::size_t>(width), '0');
    FormatHex(s.data(), value, width);
    return s;
}

std::int64_t HexValue(std::string_view text) {
    return DigitsValue<16>(text);
}

std::int64_t DecimalValue(std::string_view text) {
    return DigitsValue<10>(text);
}

std::string Control::rendered() const {
    switch (form_) {
        case Form::Hex: {
            std::string s(width_, '0');
            PutHex(static_cast<std::uint64_t>(num_), width_, s.data());
            return s;
        }
        case Form::Dec: {
            char buf[24];
            auto r = std::to_chars(buf, buf + sizeof buf, num_);
            return std::string(buf, r.ptr);
        }
        case Form::Str:
            break;
    }
    return str_;
}

std::string Control::text() const {
    return rendered();
}

bool Control::textIsSlow(std::string_view t) const {
    if (form_ == Form::Hex) {
        if (t.size() != width_) return false;
        char buf[16];
        PutHex(static_cast<std::uint64_t>(num_), width_, buf);
        return std::memcmp(buf, t.data(), t.size()) == 0;
    }
    return rendered() == t;
}

void Control::setText(std::string_view t) {
    if (textIs(t)) return;
    // A cell that takes turns between a number and the same text (a stack level and its
    // "---") finds the text still there.
    if (form_ == Form::Str || !SameChars(str_, t)) str_.assign(t);
    form_ = Form::Str;
    changed();
}

bool Control::assignHexSlow(std::int64_t v, int width) {
    const auto w = static_cast<std::uint8_t>(width);
    // Another form may still spell the same text (a typed "05"): then nothing changes.
    char buf[16];
    PutHex(static_cast<std::uint64_t>(v), width, buf);
    const bool same = textIs(std::string_view(buf, static_cast<std::size_t>(width)));
    form_ = Form::Hex;
    width_ = w;
    num_ = v;
    // str_ means nothing in the hex form; it is kept for a later setText of the same text.
    if (same) return false;
    touched();
    return true;
}

void Control::setNumberSlow(std::int64_t value) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, value);
    if (textIs(std::string_view(buf, static_cast<std::size_t>(r.ptr - buf)))) {
        form_ = Form::Dec;
        num_ = value;
        str_.clear();
        return;
    }
    form_ = Form::Dec;
    num_ = value;
    str_.clear();
    changed();
}

std::int64_t Control::hexValueSlow() const {
    if (form_ == Form::Str) return HexValue(str_);
    return HexValue(rendered());
}

std::int64_t Control::decValueSlow() const {
    return DecimalValue(rendered());
}

void Control::copyTextSlow(const Control& other) {
    if (other.form_ == Form::Str && textIs(other.str_)) return;  // e.g. an empty stack level
    switch (other.form_) {
        case Form::Hex:
            setHex(other.num_, other.width_);
            return;
        case Form::Dec:
            setNumber(other.num_);
            return;
        case Form::Str:
            break;
    }
    setText(other.str_);
}

void Control::setValue(int v) {
    if (value_ == v) return;
    value_ = v;
    changed();
}

void Control::setEnabled(bool e) {
    if (enabled_ == e) return;
    enabled_ = e;
    touched();
}

void Control::setVisible(bool v) {
    if (visible_ == v) return;
    visible_ = v;
    touched();
}

std::string DecodedBits(std::string_view templ, int value) {
    std::string s(templ);
    for (int i = 7; i >= 0; --i) {
        const std::size_t pos = static_cast<std::size_t>((8 - i) * 6 - 1);
        if (pos < s.size()) s[pos] = (value >> i) & 1 ? '1' : '0';
    }
    return s;
}

std::string Control::hint() const {
    return hintTemplate_.empty() ? hint_ : DecodedBits(hintTemplate_, hintValue_);
}

void Control::setHint(std::string_view h) {
    if (hintTemplate_.empty() && hint_ == h) return;
    hintTemplate_ = {};
    hint_.assign(h);
    touched();
}

void Control::setColor(ColorRole c) {
    if (color_ == c) return;
    color_ = c;
    touched();
}

void Control::setSelection(int start, int length) {
    if (selStart_ == start && selLength_ == length) return;
    selStart_ = start;
    selLength_ = length;
    touched();
}

}  // namespace vintrel
