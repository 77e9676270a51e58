#include "form1/form1.h"

#include "form1/controls.h"

#include <utility>

namespace vintrel {

void ListBox::clear() {
    rows_.clear();
    restart();
}

void ListBox::restart() {
    selected_ = -1;
    ++selectionRevision_;
    reset_ = true;
    changed_.clear();
    rowsChanged();
}

void ListBox::append(std::string text) {
    rows_.push_back(std::move(text));
    reset_ = true;
    rowsChanged();
}

void ListBox::replace(int i, std::string text) {
    if (i < 0 || i >= count()) return;
    auto idx = static_cast<std::size_t>(i);
    if (rows_[idx] == text) return;
    rows_[idx] = std::move(text);
    if (!reset_) {
        if (changedFlag_.size() < rows_.size()) changedFlag_.resize(rows_.size());
        if (!changedFlag_[idx]) {
            changedFlag_[idx] = true;
            changed_.push_back(i);
        }
    }
    rowsChanged();
}

ListBox::Changes ListBox::takeChanges() {
    Changes c{reset_, std::move(changed_)};
    reset_ = false;
    changed_.clear();
    changedFlag_.assign(rows_.size(), false);
    return c;
}

Form1::Form1(Platform& platform) : platform_(platform) {
    DressControls(*this, chip.panelRevisionCounter());
    prg.setPanelRevision(chip.panelRevisionCounter());
    prg.setListener(this);
    chip.SetFrequencySource(&FREC);  // chip mode's watchdog is timed at this frequency

    Form_Load();
}

void Form1::setFocus(Control& c) {
    if (focus_ == &c) return;
    focus_ = &c;
    ++focusRevision_;
    ++*chip.panelRevisionCounter();
    if (&c == &dato) dato_GotFocus();
}

void Form1::Form_Load() {
    chip.Form_Load();
    for (int i = 0; i < 80; ++i)
        dir[static_cast<std::size_t>(i)].setHex(i, 2);
    for (int i = 0; i < 16; ++i) {
        dir[static_cast<std::size_t>(80 + i)].setHex(128 + i, 2);
        dire[static_cast<std::size_t>(i)].setHex(i, 1);
    }
    listaprog();
}

}  // namespace vintrel
