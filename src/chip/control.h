// Model objects for the front panel's controls. The chip's state lives in these texts: a
// register's value is its cell's text read as hexadecimal, so the panel and the simulation can
// never disagree. Views only draw them; everything that changes them goes through the model.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace vintrel {

// Background role of a label: register cells are drawn on the cell colour, headings and
// placeholders on the normal background (the bank indicator switches between the two).
enum class ColorRole : std::uint8_t { Normal, Cell, Placeholder };

// Formats value as `width` upper-case hex digits: the last `width` digits of the zero-padded
// hexadecimal form (a negative value counts as its 16-bit two's complement). Widths 1 to 4.
std::string HexPad(std::int64_t value, int width);

// Writes HexPad(value, width) into out[0..width) without a terminator; no allocation.
void FormatHex(char* out, std::int64_t value, int width);

// Reads a typed or shown text as a number: blanks at both ends are ignored and the leading hex
// digits (either case) give the value; a text without any reads as 0. Saturates rather than
// overflows, so an absurdly long text still compares as out of every range.
std::int64_t HexValue(std::string_view text);

// `templ` with the eight bits of value, bit 7 first, written at the 6th, 12th, ... character.
std::string DecodedBits(std::string_view templ, int value);

// Same rule with decimal digits (used for the divisor label and the T0CKI frequency box).
std::int64_t DecimalValue(std::string_view text);

// Receives the change notifications of the controls wired to it, by the id each was given: one
// virtual call and a switch instead of a callable object per cell.
class ChangeListener {
  public:
    virtual void ControlChanged(int id) = 0;

  protected:
    ~ChangeListener() = default;
};

class Control {
  public:
    Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    // --- text (caption of a label or button, text of a text box) ---
    std::string text() const;
    // Sets the text; runs the change handler only when the text really changes.
    void setText(std::string_view t);
    // Fast path for HexPad(value, width): same observable effect as setText(HexPad(...)).
    // The executor writes about ten cells an instruction, so the unchanged case is inline.
    [[gnu::always_inline]] void setHex(std::int64_t value, int width) {
        if (assignHex(value, width)) notify();
    }
    // setHex without running the change handler: true when the text changed (the revision is
    // bumped). For an owner that runs the effects itself, which then inline.
    [[gnu::always_inline]] bool assignHex(std::int64_t value, int width) {
        const std::int64_t v = HexMasked(value, width);
        if (form_ == Form::Hex && width_ == width) {
            if (num_ == v) return false;
            num_ = v;
            touched();
            return true;
        }
        return assignHexSlow(v, width);
    }
    // Fast path for a decimal number without blanks.
    void setNumber(std::int64_t value) {
        if (form_ == Form::Dec) {
            if (num_ == value) return;
            num_ = value;
            changed();
            return;
        }
        setNumberSlow(value);
    }
    // The text read as hexadecimal (placeholders read 0).
    [[gnu::always_inline]] std::int64_t hexValue() const {
        return form_ == Form::Hex ? num_ : hexValueSlow();
    }
    // The text read as a decimal number.
    std::int64_t decValue() const { return form_ == Form::Dec ? num_ : decValueSlow(); }
    // Gives this control the other's text, with the same effects as setText(other.text()).
    void copyText(const Control& other) {
        if (other.form_ == Form::Hex) {
            setHex(other.num_, other.width_);
            return;
        }
        // Two texts that already agree (the empty levels of the stack): nothing to do.
        if (other.form_ == Form::Str && form_ == Form::Str && SameChars(str_, other.str_)) return;
        copyTextSlow(other);
    }
    bool textIs(std::string_view t) const {
        if (form_ == Form::Str) return SameChars(str_, t);
        // A hex text has exactly its width in upper-case hex digits ("---" is never one).
        if (form_ == Form::Hex && (t.size() != width_ || t.empty() || !IsHexDigit(t[0])))
            return false;
        return textIsSlow(t);
    }
    // True when the text is exactly HexPad(hexValue(), width).
    bool isHex(int width) const { return form_ == Form::Hex && width_ == width; }

    // --- check box value (0 or 1); a change runs the change handler, as a click would ---
    int value() const { return value_; }
    void setValue(int v);

    bool enabled() const { return enabled_; }
    void setEnabled(bool e);
    bool visible() const { return visible_; }
    void setVisible(bool v);
    std::string hint() const;
    void setHint(std::string_view h);
    // A hint that shows the eight bits of `value` in the fixed positions of `templ` (which must
    // outlive the control). Rendered only when read: STATUS changes on most instructions.
    void setDecodedHint(std::string_view templ, int value) {
        if (hintTemplate_.data() == templ.data() && hintValue_ == value) return;
        hintTemplate_ = templ;
        hintValue_ = value;
        touched();
    }
    ColorRole color() const { return color_; }
    void setColor(ColorRole c);
    bool readOnly() const { return readOnly_; }
    void setReadOnly(bool r) { readOnly_ = r; }

    // Text-box selection (start and length, in characters).
    int selStart() const { return selStart_; }
    int selLength() const { return selLength_; }
    void setSelection(int start, int length);

    // Bumped on every observable change; a view redraws a control when it differs from the
    // revision it last drew.
    std::uint32_t revision() const { return revision_; }

    // A change of the text or value calls listener->ControlChanged(id), nested in the setter.
    void setListener(ChangeListener* listener, int id) {
        listener_ = listener;
        id_ = id;
    }
    // Every control of one panel bumps this shared counter too, so a view can tell in one
    // comparison whether anything at all changed since its last refresh.
    void setPanelRevision(std::uint64_t* counter) {
        panelRevision_ = counter ? counter : &unwiredRevision_;
    }

  private:
    enum class Form : std::uint8_t { Str, Hex, Dec };
    static bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }
    // Panel texts are a few characters: a plain loop beats a library call.
    static bool SameChars(std::string_view a, std::string_view b) {
        if (a.size() != b.size()) return false;
        for (std::size_t i = 0; i < a.size(); ++i)
            if (a[i] != b[i]) return false;
        return true;
    }
    [[gnu::always_inline]] void touched() {
        ++revision_;
        ++*panelRevision_;
    }
    void notify() {
        if (listener_) listener_->ControlChanged(id_);
    }
    void changed() {
        touched();
        notify();
    }
    // Rewrites a numeric text in the string form (used only on slow, mixed-form paths).
    std::string rendered() const;
    static std::int64_t HexMasked(std::int64_t value, int width) {
        // A negative value is its 16-bit two's complement; then only `width` digits remain.
        const std::uint64_t u = value < 0 ? static_cast<std::uint64_t>(value) & 0xFFFF
                                          : static_cast<std::uint64_t>(value);
        const std::uint64_t mask =
            width >= 16 ? ~std::uint64_t{0} : (std::uint64_t{1} << (4 * width)) - 1;
        return static_cast<std::int64_t>(u & mask);
    }
    bool assignHexSlow(std::int64_t v, int width);
    void setNumberSlow(std::int64_t value);
    void copyTextSlow(const Control& other);
    std::int64_t hexValueSlow() const;
    std::int64_t decValueSlow() const;
    bool textIsSlow(std::string_view t) const;

    Form form_ = Form::Str;
    std::uint8_t width_ = 0;
    std::int64_t num_ = 0;
    std::string str_;  // the text in the Str form only
    int value_ = 0;
    bool enabled_ = true;
    bool visible_ = true;
    bool readOnly_ = false;
    ColorRole color_ = ColorRole::Normal;
    int selStart_ = 0;
    int selLength_ = 0;
    std::string hint_;
    std::string_view hintTemplate_;  // empty: the hint is hint_
    int hintValue_ = 0;
    std::uint32_t revision_ = 0;
    // A control not wired to a panel counts into a counter nobody reads: no test on the hot
    // path. (Only the panel's thread touches controls.)
    static inline std::uint64_t unwiredRevision_ = 0;
    std::uint64_t* panelRevision_ = &unwiredRevision_;
    ChangeListener* listener_ = nullptr;
    int id_ = 0;
};

}  // namespace vintrel
