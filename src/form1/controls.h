// The one table of the panel's controls: every control a user can see or act on, with all that
// is known of it: kind, index range, caption or initial text, hint, colour, start state, place,
// its key in vintrel-batch's `state` dump, the control itself and its click handler. The panel
// dresses and wires its controls from it, vintrel-batch finds and dumps them by it and the Qt
// window builds its widgets by walking it, so none of them lists controls of its own.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <type_traits>

#include "form1/form1.h"
#include "form1/layout.h"

namespace vintrel {

// What a control is and what a click on it does: buttons and value cells run their handler,
// check boxes flip and then run theirs, labels and text boxes have no click; the list selects.
enum class ControlKind { Button, Cell, Check, Label, TextBox, List };

// One value for a control and every element of an array, or a rule giving element i's.
template <class T>
struct PerElement {
    constexpr PerElement() = default;
    constexpr PerElement(T v) : value(v) {}
    constexpr PerElement(const char* s) requires std::is_same_v<T, std::string_view> : value(s) {}
    constexpr PerElement(T (*r)(int)) : rule(r) {}
    T at(int index) const { return rule ? rule(index) : value; }

    T value{};
    T (*rule)(int) = nullptr;
};

// How a control starts, beyond enabled and visible.
enum class Start { Enabled, Disabled, ReadOnly, Hidden };

// What an array's INDEX may also be written as in a script, besides a number.
enum class IndexNames { None, Register, PortA, PortB };

struct ControlEntry {
    std::string_view name{};
    ControlKind kind{};
    int size = 0;  // elements of a control array; 0 for a single control
    // Which indices below `size` are elements; null for all.
    bool (*has)(int index) = nullptr;
    // Caption or initial text; empty where the chip or the panel writes the text itself.
    PerElement<std::string_view> text{};
    PerElement<std::string_view> hint{};
    PerElement<ColorRole> color{};  // Normal: left to the chip (the bank indicator's)
    Start start = Start::Enabled;
    Where at{};
    // Its key in vintrel-batch's `state` dump (in table order); empty when not dumped.
    std::string_view state{};
    IndexNames indexNames = IndexNames::None;
    bool showsColor = false;  // `show` prints the colour: it is the bank the chip selects
    // A refused click blinks this control instead: the value refused.
    std::string_view refusalShows{};
    // The control itself; null for the listing, which is a ListBox.
    Control& (*get)(Form1& f, int index) = nullptr;
    // The click handler; null when a click changes nothing.
    void (*click)(Form1& f, int index) = nullptr;
};

std::span<const ControlEntry> Controls();
const ControlEntry* FindControl(std::string_view name);
// Whether `index` names an element (any index of a single control is no element).
bool ValidIndex(const ControlEntry& c, int index);
// Calls `f(index)` for every element of an array, and `f(-1)` for a single control or the list.
template <class F>
void ForEachElement(const ControlEntry& c, F&& f) {
    if (c.size == 0 || c.kind == ControlKind::List) {
        f(-1);
        return;
    }
    for (int i = 0; i < c.size; ++i)
        if (ValidIndex(c, i)) f(i);
}
// Gives every control of the table its caption, hint, colour and start state, and wires it to
// the panel's redraw counter. Runs once, when the panel is built.
void DressControls(Form1& f, std::uint64_t* panelRevision);
// A click goes through only to a control that is enabled and visible.
bool Clickable(Form1& f, const ControlEntry& c, int index);
// The user's click on an enabled, visible control: a check box flips its value (which runs its
// change effect), then the handler runs.
void Click(Form1& f, const ControlEntry& c, int index);

}  // namespace vintrel
