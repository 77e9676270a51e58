// Where the window puts things, as plain numbers: the framed groups, the captions that are no
// controls, and the rules that place the elements of the control arrays (the single controls'
// places stand in their rows of the control table, form1/controls.h). Positions and sizes are
// in twips relative to the enclosing group, 15 to the pixel; a view only converts and draws.
#pragma once

#include <optional>
#include <span>
#include <string_view>

namespace vintrel {

struct TwipRect {
    int left, top, width, height;
};

// The window itself and its framed groups; `Groups()` lists them in this order, which is also
// the order of the keyboard focus.
enum class Frame { Data, User, Eeprom, Pic, Stack, Edit, Files, Ports, Timer, Program, Window };

enum class Font : bool { Plain, Bold };

// How a control element looks beyond its kind: a port pin shows an output's level as a mark.
enum class Look { Plain, Pin };

struct Place {
    Frame frame;
    TwipRect at;
    Font font = Font::Plain;
    Look look = Look::Plain;
};

// A row's place: the coordinates of a single control, or the rule that places element `index`
// of an array (none for an index not shown, and for a row that gives no place).
struct Where {
    using Rule = std::optional<Place> (*)(int index);
    constexpr Where() = default;
    constexpr Where(Frame f, int left, int top, int width, int height, Font font = Font::Plain)
        : place(Place{f, {left, top, width, height}, font}) {}
    constexpr Where(Rule r) : rule(r) {}
    std::optional<Place> at(int index) const { return rule ? rule(index) : place; }

    std::optional<Place> place;
    Rule rule = nullptr;
};

struct GroupPlace {
    Frame frame;
    Frame parent;
    std::string_view objectName;
    std::string_view caption;
    TwipRect at;
};

enum class Align { Left, Center };

// A caption or heading that is not a control: its text never changes.
struct StaticLabel {
    Frame frame;
    std::string_view text;
    TwipRect at;
    Font font;
    bool bordered;
    Align align;
    bool hidden;
};

std::span<const GroupPlace> Groups();
std::span<const StaticLabel> StaticLabels();

// The window's client area.
inline constexpr TwipRect kWindowTwips{0, 0, 11655, 8070};

// The rules of the control arrays, by what they place.
std::optional<Place> RegisterCells(int key);      // REG, by data address
std::optional<Place> AddressHeadings(int index);  // dir: 00h to 4Fh, then 80h to 8Fh
std::optional<Place> EepromCells(int address);    // EE
std::optional<Place> EepromColumns(int column);   // dire
std::optional<Place> StackLevels(int level);      // pila
std::optional<Place> BankHeadings(int bank);      // RP
std::optional<Place> PortAPins(int bit);          // PA
std::optional<Place> PortBPins(int bit);          // PB

}  // namespace vintrel
