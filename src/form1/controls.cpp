#include "form1/controls.h"

namespace vintrel {

namespace {

using K = ControlKind;

template <auto Member>
Control& One(Form1& f, int) {
    return f.*Member;
}
template <auto Member>
Control& OneOfChip(Form1& f, int) {
    return f.chip.*Member;
}
template <auto Member>
Control& Element(Form1& f, int i) {
    return (f.*Member)[static_cast<std::size_t>(i)];
}
template <auto Member>
Control& ElementOfChip(Form1& f, int i) {
    return (f.chip.*Member)[static_cast<std::size_t>(i)];
}
Control& Reg(Form1& f, int key) {
    return f.chip.REG(key);
}

template <void (Form1::*Handler)()>
void Run(Form1& f, int) {
    (f.*Handler)();
}
template <void (Form1::*Handler)(int)>
void RunAt(Form1& f, int i) {
    (f.*Handler)(i);
}

// clang-format off
constexpr ControlEntry kControls[] = {
    {"REG",       K::Cell,    256,            Reg,                               RunAt<&Form1::REG_Click>},
    {"EE",        K::Cell,    kEepromCells,   ElementOfChip<&Chip::EE>,          RunAt<&Form1::EE_Click>},
    {"REGW",      K::Cell,    0,              OneOfChip<&Chip::REGW>,            Run<&Form1::REGW_Click>},
    {"RegPC",     K::Cell,    0,              OneOfChip<&Chip::RegPC>,           Run<&Form1::RegPC_Click>},
    {"pila",      K::Label,   kStackLevels,   ElementOfChip<&Chip::pila>,        nullptr},
    {"INDF",      K::Label,   0,              OneOfChip<&Chip::INDF>,            nullptr},
    {"PA",        K::Check,   5,              ElementOfChip<&Chip::PA>,          RunAt<&Form1::PA_Click>},
    {"PB",        K::Check,   8,              ElementOfChip<&Chip::PB>,          RunAt<&Form1::PB_Click>},
    {"RP",        K::Label,   2,              ElementOfChip<&Chip::RP>,          nullptr},
    {"prg",       K::List,    kProgramWords,  nullptr,                           nullptr},
    {"direc",     K::TextBox, 0,              One<&Form1::direc>,                nullptr},
    {"dato",      K::TextBox, 0,              One<&Form1::dato>,                 nullptr},
    {"FR",        K::TextBox, 0,              OneOfChip<&Chip::FR>,              nullptr},
    {"FREC",      K::TextBox, 0,              One<&Form1::FREC>,                 nullptr},
    // The switches' change effects are their whole click (WATCHDOG enables WDT).
    {"estsleep",  K::Check,   0,              OneOfChip<&Chip::estsleep>,        nullptr},
    {"WATCHDOG",  K::Check,   0,              OneOfChip<&Chip::WATCHDOG>,        nullptr},
    {"SENTIM",    K::Label,   0,              OneOfChip<&Chip::SENTIM>,          nullptr},
    {"divtim",    K::Label,   0,              OneOfChip<&Chip::divtim>,          nullptr},
    {"ciclos",    K::Label,   0,              OneOfChip<&Chip::ciclos>,          nullptr},
    {"eje1",      K::Button,  0,              One<&Form1::eje1>,                 Run<&Form1::eje1_Click>},
    {"ejecutar",  K::Button,  0,              One<&Form1::ejecutar>,             Run<&Form1::ejecutar_Click>},
    {"break",     K::Button,  0,              One<&Form1::break_>,               Run<&Form1::break_Click>},
    {"por",       K::Button,  0,              One<&Form1::por>,                  Run<&Form1::por_Click>},
    {"MCLR",      K::Button,  0,              One<&Form1::MCLR>,                 Run<&Form1::MCLR_Click>},
    {"WDT",       K::Button,  0,              OneOfChip<&Chip::WDT>,             Run<&Form1::WDT_Click>},
    {"TOCKI",     K::Button,  0,              OneOfChip<&Chip::TOCKI>,           Run<&Form1::TOCKI_Click>},
    {"aceptar",   K::Button,  0,              One<&Form1::aceptar>,              Run<&Form1::aceptar_Click>},
    {"cancelar",  K::Button,  0,              One<&Form1::cancelar>,             Run<&Form1::cancelar_Click>},
    {"cargar",    K::Button,  0,              One<&Form1::cargar>,               Run<&Form1::cargar_Click>},
    {"salvar",    K::Button,  0,              One<&Form1::salvar>,               nullptr},
    {"editar",    K::Button,  0,              One<&Form1::editar>,               Run<&Form1::editar_Click>},
    {"ensamblar", K::Button,  0,              One<&Form1::ensamblar>,            Run<&Form1::ensamblar_Click>},
    {"programar", K::Button,  0,              One<&Form1::programar>,            Run<&Form1::programar_Click>},
    {"fin",       K::Button,  0,              One<&Form1::fin>,                  Run<&Form1::fin_Click>},
    // Shown but never acted on: the address headings and the hidden watchdog countdown.
    {"dir",       K::Label,   96,             Element<&Form1::dir>,              nullptr},
    {"dire",      K::Label,   16,             Element<&Form1::dire>,             nullptr},
    {"contawdt",  K::Label,   0,              OneOfChip<&Chip::contawdt>,        nullptr},
};
// clang-format on

}  // namespace

std::span<const ControlEntry> Controls() {
    return kControls;
}

const ControlEntry* FindControl(std::string_view name) {
    for (const auto& c : kControls)
        if (c.name == name) return &c;
    return nullptr;
}

bool ValidIndex(const ControlEntry& c, int index) {
    if (c.get == &Reg) return index >= 0 && index < 256 && Chip::IsRegKey(index);
    return index >= 0 && index < c.size;
}

bool Clickable(Form1& f, const ControlEntry& c, int index) {
    if (!c.get) return true;
    const Control& control = c.get(f, index < 0 ? 0 : index);
    return control.enabled() && control.visible();
}

void Click(Form1& f, const ControlEntry& c, int index) {
    if (c.kind == ControlKind::Check) {
        Control& box = c.get(f, index < 0 ? 0 : index);
        box.setValue(box.value() != 0 ? 0 : 1);
    }
    if (c.click) c.click(f, index);
}

}  // namespace vintrel
