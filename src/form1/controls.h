// The one table of the panel's controls: every control a user can see or act on, with its kind,
// its index range and its click handler. vintrel-batch finds controls by name in it and the Qt
// window builds its widgets by walking it, so neither lists controls of its own.
#pragma once

#include <span>
#include <string_view>

#include "form1/form1.h"

namespace vintrel {

// What a control is and what a click on it does: buttons and value cells run their handler,
// check boxes flip and then run theirs, labels and text boxes have no click; the list selects.
enum class ControlKind { Button, Cell, Check, Label, TextBox, List };

struct ControlEntry {
    std::string_view name;
    ControlKind kind;
    int size;  // elements of a control array; 0 for a single control
    // The control itself; null for the listing, which is a ListBox.
    Control& (*get)(Form1& f, int index);
    // The click handler; null when a click changes nothing.
    void (*click)(Form1& f, int index);
};

std::span<const ControlEntry> Controls();
const ControlEntry* FindControl(std::string_view name);
// Whether `index` names an element (any index of a single control is no element).
bool ValidIndex(const ControlEntry& c, int index);
// A click goes through only to a control that is enabled and visible.
bool Clickable(Form1& f, const ControlEntry& c, int index);
// The user's click on an enabled, visible control: a check box flips its value (which runs its
// change effect), then the handler runs.
void Click(Form1& f, const ControlEntry& c, int index);

}  // namespace vintrel
