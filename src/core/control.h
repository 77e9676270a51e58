// Model objects for the front panel's controls. The chip's state lives in these texts: a
// register's value is its cell's text read as hexadecimal, so the panel and the simulation can
// never disagree. Views only draw them; everything that changes them goes through the model.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
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

// Same rule with decimal digits (used for the divisor label and the T0CKI frequency box).
std::int64_t DecimalValue(std::string_view text);

class Control {
  public:
    using ChangeHandler = std::function<void()>;

    Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    // --- text (caption of a label or button, text of a text box) ---
    std::string text() const;
    // Sets the text; runs the change handler only when the text really changes.
    void setText(std::string_view t);
    // Fast path for HexPad(value, width): same observable effect as setText(HexPad(...)).
    // The executor writes about ten cells an instruction, so the unchanged case is inline.
    void setHex(std::int64_t value, int width) {
        const std::int64_t v = HexMasked(value, width);
        if (form_ == Form::Hex && width_ == width && num_ == v) return;
        setHexSlow(v, width);
    }
    // Fast path for a decimal number without blanks.
    void setNumber(std::int64_t value);
    // The text read as hexadecimal (placeholders read 0).
    std::int64_t hexValue() const { return form_ == Form::Hex ? num_ : hexValueSlow(); }
    // The text read as a decimal number.
    std::int64_t decValue() const;
    // Gives this control the other's text, with the same effects as setText(other.text()).
    void copyText(const Control& other);
    bool textIs(std::string_view t) const {
        if (form_ == Form::Str)
            return str_.size() == t.size() && std::memcmp(str_.data(), t.data(), t.size()) == 0;
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
    const std::string& hint() const { return hint_; }
    void setHint(std::string_view h);
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

    void setChangeHandler(ChangeHandler h) { onChange_ = std::move(h); }
    // Every control of one panel bumps this shared counter too, so a view can tell in one
    // comparison whether anything at all changed since its last refresh.
    void setPanelRevision(std::uint64_t* counter) { panelRevision_ = counter; }

  private:
    enum class Form : std::uint8_t { Str, Hex, Dec };
    void touched() {
        ++revision_;
        if (panelRevision_) ++*panelRevision_;
    }
    void changed() {
        touched();
        if (onChange_) onChange_();
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
    void setHexSlow(std::int64_t v, int width);
    std::int64_t hexValueSlow() const;
    bool textIsSlow(std::string_view t) const;

    Form form_ = Form::Str;
    std::uint8_t width_ = 0;
    std::int64_t num_ = 0;
    std::string str_;
    int value_ = 0;
    bool enabled_ = true;
    bool visible_ = true;
    bool readOnly_ = false;
    ColorRole color_ = ColorRole::Normal;
    int selStart_ = 0;
    int selLength_ = 0;
    std::string hint_;
    std::uint32_t revision_ = 0;
    std::uint64_t* panelRevision_ = nullptr;
    ChangeHandler onChange_;
};

}  // namespace vintrel
