// The simulator's main window as a model: a `Chip` and the panel around it (the program listing,
// the Modificar boxes, the buttons, breakpoints and the run loop, the file buttons). A `Form1`
// is a complete, fresh panel; the Qt window and vintrel-batch both draw and drive one, walking
// the table of its controls (form1/controls.h).
//
// The member functions are defined by subject:
//   form1.cpp             construction, the listing list box, focus
//   run_control.cpp       eje1_Click, ejecutar_Click, break_Click, resets, Form_QueryUnload
//   program_listing.cpp   listaprog, the listing rows, prg_Click
//   memory_editing.cpp    the Modificar panel
//   stimuli.cpp           pins, T0CKI, fin
//   hex_loader.cpp        cargar_Click, carga
//   external_tools.cpp    editar_Click, ensamblar_Click, programar_Click
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "chip/chip.h"
#include "chip/platform.h"

namespace vintrel {

// Told when a row of the list box is selected, by the user or by code.
class RowListener {
  public:
    virtual void RowClicked() = 0;

  protected:
    ~RowListener() = default;
};

// The program listing list box: 1024 rows whose index is the program address.
class ListBox {
  public:
    int count() const { return static_cast<int>(rows_.size()); }
    const std::string& row(int i) const { return rows_[static_cast<std::size_t>(i)]; }
    void clear();
    // As clear() for the selection and for a view, keeping the rows to be replaced one by one.
    void restart();
    void append(std::string text);
    // Remove-and-insert at the same index, as one replacement.
    void replace(int i, std::string text);
    int selected() const { return selected_; }
    // Number of selected rows (the listing allows one at most).
    int selectedCount() const { return selected_ >= 0 ? 1 : 0; }
    // Selecting a row, by the user or by code, runs the click handler.
    void select(int i) {
        if (i < 0 || i >= count()) return;
        if (selected_ != i) {
            selected_ = i;
            ++selectionRevision_;
            touched();
        }
        if (listener_) listener_->RowClicked();
    }
    // Bumped by every change of the rows (not of the selection).
    std::uint32_t rowsRevision() const { return rowsRevision_; }
    std::uint32_t selectionRevision() const { return selectionRevision_; }
    // Rows replaced since the last call, or all of them (`reset`) after a clear; for a view.
    struct Changes {
        bool reset = false;
        std::vector<int> rows;
    };
    Changes takeChanges();

    void setListener(RowListener* l) { listener_ = l; }
    void setPanelRevision(std::uint64_t* counter) { panelRevision_ = counter; }

  private:
    void touched() {
        if (panelRevision_) ++*panelRevision_;
    }
    void rowsChanged() {
        ++rowsRevision_;
        touched();
    }
    std::vector<std::string> rows_;
    int selected_ = -1;
    std::uint32_t rowsRevision_ = 0;
    std::uint32_t selectionRevision_ = 0;
    std::uint64_t* panelRevision_ = nullptr;
    RowListener* listener_ = nullptr;
    bool reset_ = true;
    std::vector<int> changed_;
    std::vector<bool> changedFlag_;
};

class Form1 final : private RowListener {
  public:
    // Creates the window's controls with their design-time values and runs Form_Load.
    explicit Form1(Platform& platform);
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    Chip chip;

    std::array<Control, 96> dir;   // data-memory address headings
    std::array<Control, 16> dire;  // EEPROM column headings
    Control FREC, direc, dato;
    Control por, MCLR;
    Control aceptar, cancelar;
    Control cargar, salvar, ensamblar, programar, editar, fin;
    Control eje1, ejecutar, break_;
    ListBox prg;

    // ---- run-control state ----
    std::array<int, kProgramWords> Breakpoints{};
    bool BreakpointSkip = false;
    int StopRequested = 0;

    // The control that has the keyboard focus in the model (the view follows it).
    const Control* focus() const { return focus_; }
    std::uint32_t focusRevision() const { return focusRevision_; }
    void setFocus(Control& c);

    // Bumped by every change of any control: one comparison tells a view whether to redraw.
    std::uint64_t panelRevision() const { return chip.panelRevision(); }

    // ---- start-up ----
    void Form_Load();

    // ---- run control ----
    void eje1_Click();
    void ejecutar_Click();
    void break_Click();
    void Form_QueryUnload();
    bool running() const { return running_; }

    // ---- resets ----
    void por_Click();
    void MCLR_Click();
    void WDT_Click();

    // ---- program listing ----
    void listaprog();
    // Text of the listing row of address a, with the breakpoint mark when `marked`.
    std::string RowText(int a, bool marked) const;
    // Rebuilds row a in place (with its breakpoint mark) and selects it.
    void RebuildRow(int a);
    void prg_Click();

    // ---- memory editing ----
    void REG_Click(int index);
    void EE_Click(int index);
    void REGW_Click();
    void RegPC_Click();
    void dato_GotFocus();
    // Bumped whenever the panel selects the whole of Dato (a target chosen, a value refused),
    // so that a view selects it again even when the selection's bounds are the same.
    std::uint32_t datoSelections() const { return datoSelections_; }
    void aceptar_Click();
    void cancelar_Click();

    // ---- external stimuli ----
    void PA_Click(int index);
    void PB_Click(int index);
    void TOCKI_Click();
    void fin_Click();

    // ---- HEX loader ----
    void cargar_Click();
    void carga(const std::string& nomhex);

    // ---- external tools ----
    void editar_Click();
    void ensamblar_Click();
    void programar_Click();

  private:
    void RowClicked() override { prg_Click(); }
    void chooseCell(std::string_view code, const Control& cell);
    void SelectDato();
    // The run button's caption is the run state the user sees.
    void setRunning(bool on);
    // What each listing row shows: its word, the mark, and whether it was shown at all.
    static constexpr std::uint16_t kRowMarked = 0x4000, kRowShown = 0x8000;
    static std::uint16_t RowKey(int word, bool marked) {
        return static_cast<std::uint16_t>(word | (marked ? kRowMarked : 0) | kRowShown);
    }

    Platform& platform_;
    std::array<std::uint16_t, kProgramWords> listed_{};
    bool running_ = false;
    const Control* focus_ = nullptr;
    std::uint32_t focusRevision_ = 0;
    std::uint32_t datoSelections_ = 0;
};

}  // namespace vintrel
