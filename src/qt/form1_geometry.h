// Where the window puts each control of the panel: the framed groups, the place of every
// element of the control table (form1/controls.h) and the static captions that are no controls.
// Positions and sizes are in twips relative to the enclosing group, 15 to the pixel.
#pragma once

#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace vintrel {

struct TwipRect {
    int left, top, width, height;
};

// The window itself and its framed groups; `Groups()` lists them in this order.
enum class Frame { Data, User, Eeprom, Pic, Stack, Edit, Files, Ports, Timer, Program, Window };

struct GroupPlace {
    Frame frame;
    Frame parent;
    std::string_view objectName;
    std::string_view caption;
    TwipRect at;
};

// How a control element looks beyond its kind: a port pin shows an output's level as a mark.
enum class Look { Plain, Pin };

struct Place {
    Frame frame;
    TwipRect at;
    bool bold;
    Look look = Look::Plain;
};

struct ControlPlaces {
    std::string_view name;
    // The place of element `index` (-1 for a single control); none for an index not shown.
    std::optional<Place> (*at)(int index);
};

enum class Align { Left, Center };

// A caption or heading that is not a control: its text never changes.
struct StaticLabel {
    Frame frame;
    std::string_view text;
    TwipRect at;
    bool bold;
    bool bordered;
    Align align;
    bool hidden;
};

std::span<const GroupPlace> Groups();
const ControlPlaces* FindPlaces(std::string_view name);
const std::vector<StaticLabel>& StaticLabels();

// The window's client area.
inline constexpr TwipRect kWindowTwips{0, 0, 11655, 8070};

}  // namespace vintrel
