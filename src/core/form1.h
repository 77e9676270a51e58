// The simulator's main window as a model: every state-carrying control of the front panel, the
// module state beside it, and every handler. A `Form1` is a complete, fresh chip; the Qt window
// and vintrel-batch both draw and drive one.
//
// The member functions are defined by subsystem:
//   src/core/chip_state.cpp        start-up values, control registry
//   src/core/register_file.cpp     ReadRegister, ReadFileRegister, WriteRegister, changeindf
//   src/core/executor.cpp          ExecuteInstruction, PushStack, PopStack, SetZeroFlag
//   src/core/register_effects.cpp  REG_Change, selpag, BitsOf
//   src/core/timer0.cpp            Timer0Update
//   src/core/resets.cpp            por_Click, MCLR_Click, WDT_Click
//   src/control/run_control.cpp    eje1_Click, ejecutar_Click, break_Click, Form_QueryUnload
//   src/image/hex_loader.cpp       cargar_Click, carga, extlinfic
//   src/image/external_tools.cpp   editar_Click, ensamblar_Click, programar_Click
//   src/panel/program_listing.cpp  listaprog, the listing rows, prg_Click
//   src/panel/memory_editing.cpp   the Modificar panel, RegPC_Change
//   src/panel/stimuli.cpp          pins, T0CKI, FR, WATCHDOG, fin
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/control.h"
#include "platform/platform.h"

namespace vintrel {

inline constexpr int kProgramWords = 1024;
inline constexpr int kEepromCells = 64;
inline constexpr int kStackLevels = 8;

// The program listing list box: 1024 rows whose index is the program address.
class ListBox {
  public:
    int count() const { return static_cast<int>(rows_.size()); }
    const std::string& row(int i) const { return rows_[static_cast<std::size_t>(i)]; }
    void clear();
    void append(std::string text);
    // Remove-and-insert at the same index, as one replacement.
    void replace(int i, std::string text);
    int selected() const { return selected_; }
    // Number of selected rows (the listing allows one at most).
    int selectedCount() const { return selected_ >= 0 ? 1 : 0; }
    // Selecting a row, by the user or by code, runs the click handler.
    void select(int i);
    std::uint32_t revision() const { return revision_; }
    // Revision of one row's text; lets a view redraw only the rows that changed.
    std::uint32_t rowRevision(int i) const { return rowRevisions_[static_cast<std::size_t>(i)]; }
    std::uint32_t selectionRevision() const { return selectionRevision_; }

    void setClickHandler(std::function<void()> h) { onClick_ = std::move(h); }
    void setPanelRevision(std::uint64_t* counter) { panelRevision_ = counter; }

  private:
    void touched() {
        ++revision_;
        if (panelRevision_) ++*panelRevision_;
    }
    std::vector<std::string> rows_;
    std::vector<std::uint32_t> rowRevisions_;
    int selected_ = -1;
    std::uint32_t revision_ = 0;
    std::uint32_t selectionRevision_ = 0;
    std::uint64_t* panelRevision_ = nullptr;
    std::function<void()> onClick_;
};

class Form1 {
  public:
    // Creates the window's controls with their design-time values and runs Form_Load.
    explicit Form1(Platform& platform);
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    Platform& platform() { return platform_; }

    // ---- the data-memory cells, keyed by data address (0..79, 129, 133, 134, 136, 137) ----
    static bool IsRegKey(int key) {
        return (key >= 0 && key <= 79) || key == 129 || key == 133 || key == 134 || key == 136 ||
               key == 137;
    }
    Control& REG(int key) { return reg_[static_cast<std::size_t>(key & 0xFF)]; }
    const Control& REG(int key) const { return reg_[static_cast<std::size_t>(key & 0xFF)]; }

    Control REGW, RegPC, INDF;
    std::array<Control, kStackLevels> pila;
    std::array<Control, kEepromCells> EE;
    std::array<Control, 5> PA;
    std::array<Control, 8> PB;
    std::array<Control, 2> RP;
    std::array<Control, 96> dir;   // data-memory address headings
    std::array<Control, 16> dire;  // EEPROM column headings
    Control SENTIM, divtim, ciclos, contawdt;
    Control estsleep, WATCHDOG;
    Control FREC, FR, direc, dato;
    Control por, MCLR, WDT, TOCKI;
    Control aceptar, cancelar;
    Control cargar, salvar, ensamblar, programar, editar, fin;
    Control eje1, ejecutar, break_;
    ListBox prg;

    // ---- module state ----
    std::array<int, kProgramWords> ProgramMemory{};
    std::array<int, kProgramWords> Breakpoints{};
    int ProgramCounter = 0;
    int StatusReg = 0x18;
    // 64-bit so that a long fast run never wraps.
    std::int64_t CycleCount = 0;
    int ExtraCycle = 1;
    std::int64_t PrescalerCount = 0;
    int EepromUnlock = 0;
    bool BreakpointSkip = false;
    int StopRequested = 0;

    // The control that has the keyboard focus in the model (the view follows it).
    const Control* focus() const { return focus_; }
    std::uint32_t focusRevision() const { return focusRevision_; }
    void setFocus(Control& c);

    // Bumped by every change of any control: one comparison tells a view whether to redraw.
    std::uint64_t panelRevision() const { return panelRevision_; }

    // ---- start-up ----
    void Form_Load();

    // ---- register file access ----
    int ReadRegister(int address);
    int ReadFileRegister(int f);
    // `address` is in and out: an indirect write leaves the effective address in it.
    void WriteRegister(int& address, int value, int destination);
    void changeindf();

    // ---- instruction execution ----
    void ExecuteInstruction(int word);
    void PushStack(int address);
    int PopStack();
    static void SetZeroFlag(int& status, int value);

    // ---- register change effects ----
    void REG_Change(int key);
    void selpag();
    static void BitsOf(int value, int bits[8]);
    // Decoded-bit hint text of a value with one of the three templates.
    static std::string DecodedBits(std::string_view templ, int value);
    static constexpr std::string_view kStatusTemplate =
        " IRP=  RP1=  RP0=   T0=   PD=    Z=   DC=    C= ";
    static constexpr std::string_view kIntconTemplate =
        " GIE=  EIE=  TIE=  ITE=  BIE=  TIF=  ITF=  BIF= ";
    static constexpr std::string_view kOptionTemplate =
        " RBP=  IEG=  RTS=  RTE=  PSA=  PS2=  PS1=  PS0= ";

    // ---- Timer0 ----
    void Timer0Update();

    // ---- resets ----
    void por_Click();
    void MCLR_Click();
    void WDT_Click();

    // ---- run control ----
    void eje1_Click();
    void ejecutar_Click();
    void break_Click();
    void Form_QueryUnload();
    bool running() const { return !ejecutar.textIs("&Ejecutar"); }

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
    void aceptar_Click();
    void cancelar_Click();
    void RegPC_Change();

    // ---- external stimuli and clock settings ----
    void PA_Click(int index);
    void PB_Click(int index);
    void TOCKI_Click();
    void FR_Change();
    void WATCHDOG_Click();
    void fin_Click();

    // ---- HEX loader ----
    void cargar_Click();
    void carga(const std::string& nomhex);
    int extlinfic(std::string& cad);

    // ---- external tools ----
    void editar_Click();
    void ensamblar_Click();
    void programar_Click();

  private:
    void wireControls();
    void StoreRegister(int a, int b, int value);
    void PclWrite(int value);
    // Output (disabled) pins take their bit of the port value; inputs keep the user's level.
    static void ShowLatch(Control* pins, int count, int portValue);
    static void SetDirections(Control* pins, int count, int trisValue);
    void RestartCounters();
    void ResetControlRegisters();

    Platform& platform_;
    std::array<Control, 256> reg_;
    const Control* focus_ = nullptr;
    std::uint32_t focusRevision_ = 0;
    std::uint64_t panelRevision_ = 0;
};

// Mnemonic text of a 14-bit program word.
std::string Disassemble(int word);

}  // namespace vintrel
