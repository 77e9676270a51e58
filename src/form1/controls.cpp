#include "form1/controls.h"

namespace vintrel {

namespace {

using K = ControlKind;
using F = Frame;
constexpr Font kBold = Font::Bold;

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

// The data addresses without storage (INDF and 07h) show their placeholders on the panel's
// background; every other register is a white cell.
ColorRole RegisterColor(int key) {
    return key == 0 || key == 7 ? ColorRole::Placeholder : ColorRole::Cell;
}
std::string_view BankCaption(int bank) {
    return bank == 0 ? "RP=00" : "RP=01";
}
// Of the PORTB pins only RB7 has a hint.
std::string_view PortBHint(int bit) {
    return bit == 7 ? "Activar/desactivar bit" : "";
}

// The rows with a `state` key come first, in the order of the dump. Within a group the
// focusable controls take the keyboard focus in the order of their rows.
// clang-format off
constexpr ControlEntry kControls[] = {
    {.name = "REGW", .kind = K::Cell, .color = ColorRole::Cell,
     .at = {F::Data, 1560, 4440, 375, 255, kBold}, .state = "W",
     .get = OneOfChip<&Chip::REGW>, .click = Run<&Form1::REGW_Click>},
    {.name = "RegPC", .kind = K::Cell, .color = ColorRole::Cell,
     .at = {F::Data, 2880, 4440, 495, 255, kBold}, .state = "PC",
     .get = OneOfChip<&Chip::RegPC>, .click = Run<&Form1::RegPC_Click>},
    {.name = "INDF", .kind = K::Label, .color = ColorRole::Cell,
     .at = {F::Data, 2400, 480, 375, 255, kBold}, .state = "INDF",
     .get = OneOfChip<&Chip::INDF>},
    {.name = "REG", .kind = K::Cell, .size = 256, .has = Chip::IsRegKey, .color = RegisterColor,
     .at = RegisterCells, .state = "REG", .indexNames = IndexNames::Register,
     .get = Reg, .click = RunAt<&Form1::REG_Click>},
    {.name = "pila", .kind = K::Label, .size = kStackLevels, .color = ColorRole::Cell,
     .at = StackLevels, .state = "stack",
     .get = ElementOfChip<&Chip::pila>},
    {.name = "EE", .kind = K::Cell, .size = kEepromCells, .color = ColorRole::Cell,
     .at = EepromCells, .state = "EE",
     .get = ElementOfChip<&Chip::EE>, .click = RunAt<&Form1::EE_Click>},
    {.name = "PA", .kind = K::Check, .size = 5, .hint = "Activar/desactivar bit",
     .at = PortAPins, .state = "PA", .indexNames = IndexNames::PortA,
     .get = ElementOfChip<&Chip::PA>, .click = RunAt<&Form1::PA_Click>},
    {.name = "PB", .kind = K::Check, .size = 8, .hint = PortBHint,
     .at = PortBPins, .state = "PB", .indexNames = IndexNames::PortB,
     .get = ElementOfChip<&Chip::PB>, .click = RunAt<&Form1::PB_Click>},
    {.name = "RP", .kind = K::Label, .size = 2, .text = BankCaption,
     .at = BankHeadings, .showsColor = true,
     .get = ElementOfChip<&Chip::RP>},
    {.name = "prg", .kind = K::List, .size = kProgramWords,
     .at = {F::Program, 120, 240, 3135, 5130}},
    {.name = "direc", .kind = K::TextBox, .start = Start::ReadOnly,
     .at = {F::Edit, 120, 520, 735, 285},
     .get = One<&Form1::direc>},
    {.name = "dato", .kind = K::TextBox,
     .at = {F::Edit, 840, 520, 735, 285},
     .get = One<&Form1::dato>},
    {.name = "FR", .kind = K::TextBox, .hint = "Frecuencia de TOCKI", .start = Start::Hidden,
     .at = {F::Timer, 1560, 480, 855, 285},
     .get = OneOfChip<&Chip::FR>},
    {.name = "FREC", .kind = K::TextBox, .text = "4000", .hint = "Frecuencia del sistema",
     .at = {F::Pic, 960, 240, 615, 285},
     .get = One<&Form1::FREC>},
    {.name = "ciclos", .kind = K::Label, .hint = "Ciclos de Instrucción transcurridos",
     .at = {F::Pic, 960, 960, 1095, 255}, .state = "cycles",
     .get = OneOfChip<&Chip::ciclos>},
    // The switches' change effects are their whole click (WATCHDOG enables WDT); SLEEP is a
    // display only the chip changes.
    {.name = "estsleep", .kind = K::Check, .text = "SLEEP", .hint = "PIC en modo SLEEP",
     .start = Start::Disabled,
     .at = {F::Pic, 120, 600, 855, 255}, .state = "sleep",
     .get = OneOfChip<&Chip::estsleep>},
    {.name = "SENTIM", .kind = K::Label,
     .at = {F::Timer, 720, 480, 735, 255, kBold}, .state = "SENTIM",
     .get = OneOfChip<&Chip::SENTIM>},
    {.name = "divtim", .kind = K::Label,
     .at = {F::Timer, 120, 480, 495, 255, kBold}, .state = "divtim",
     .get = OneOfChip<&Chip::divtim>},
    {.name = "WATCHDOG", .kind = K::Check, .hint = "Activar/desactivar Watchdog",
     .at = {F::Pic, 1080, 600, 1155, 255}, .state = "WATCHDOG",
     .get = OneOfChip<&Chip::WATCHDOG>},
    {.name = "eje1", .kind = K::Button, .text = "Ejec. &1", .hint = "Ejecjutar una instrucción",
     .at = {F::Program, 1200, 5520, 975, 375},
     .get = One<&Form1::eje1>, .click = Run<&Form1::eje1_Click>},
    // Its caption is the run state: "&Parar" while running.
    {.name = "ejecutar", .kind = K::Button, .text = "&Ejecutar",
     .hint = "Ejecutar de forma continua",
     .at = {F::Program, 2280, 5520, 975, 375},
     .get = One<&Form1::ejecutar>, .click = Run<&Form1::ejecutar_Click>},
    {.name = "break", .kind = K::Button, .text = "&Break",
     .at = {F::Program, 120, 5520, 975, 375},
     .get = One<&Form1::break_>, .click = Run<&Form1::break_Click>},
    {.name = "por", .kind = K::Button, .text = "PO&R", .hint = "Power on Reset",
     .at = {F::Pic, 2280, 240, 855, 375},
     .get = One<&Form1::por>, .click = Run<&Form1::por_Click>},
    {.name = "MCLR", .kind = K::Button, .text = "&MCLR", .hint = "Reset por MCLR",
     .at = {F::Pic, 2280, 660, 855, 375},
     .get = One<&Form1::MCLR>, .click = Run<&Form1::MCLR_Click>},
    // Enabled by the watchdog switch.
    {.name = "WDT", .kind = K::Button, .text = "&WDT", .hint = "Desbordamiento del Watchdog",
     .at = {F::Pic, 2280, 1080, 855, 375},
     .get = OneOfChip<&Chip::WDT>, .click = Run<&Form1::WDT_Click>},
    // Enabled while Timer0 counts T0CKI at no set frequency.
    {.name = "TOCKI", .kind = K::Button, .text = "T0C&KI", .hint = "Generar pulso en TOCKI",
     .at = {F::Timer, 2520, 480, 735, 255},
     .get = OneOfChip<&Chip::TOCKI>, .click = Run<&Form1::TOCKI_Click>},
    {.name = "aceptar", .kind = K::Button, .text = "&Aceptar",
     .at = {F::Edit, 1740, 240, 1095, 315}, .refusalShows = "dato",
     .get = One<&Form1::aceptar>, .click = Run<&Form1::aceptar_Click>},
    {.name = "cancelar", .kind = K::Button, .text = "Cance&lar",
     .at = {F::Edit, 1740, 540, 1095, 315},
     .get = One<&Form1::cancelar>, .click = Run<&Form1::cancelar_Click>},
    {.name = "cargar", .kind = K::Button, .text = "&Cargar",
     .at = {F::Files, 240, 240, 975, 375},
     .get = One<&Form1::cargar>, .click = Run<&Form1::cargar_Click>},
    {.name = "salvar", .kind = K::Button, .text = "&Salvar",
     .at = {F::Files, 240, 720, 975, 375},
     .get = One<&Form1::salvar>},
    {.name = "editar", .kind = K::Button, .text = "Edita&r",
     .at = {F::Files, 240, 2160, 975, 375},
     .get = One<&Form1::editar>, .click = Run<&Form1::editar_Click>},
    {.name = "ensamblar", .kind = K::Button, .text = "&Ensamblar",
     .at = {F::Files, 240, 1200, 975, 375},
     .get = One<&Form1::ensamblar>, .click = Run<&Form1::ensamblar_Click>},
    {.name = "programar", .kind = K::Button, .text = "&Programar",
     .at = {F::Files, 240, 1680, 975, 375},
     .get = One<&Form1::programar>, .click = Run<&Form1::programar_Click>},
    {.name = "fin", .kind = K::Button, .text = "&Fin",
     .at = {F::Files, 240, 2640, 975, 375},
     .get = One<&Form1::fin>, .click = Run<&Form1::fin_Click>},
    // Shown but never acted on: the address headings (Form_Load writes them) and the hidden
    // watchdog countdown.
    {.name = "dir", .kind = K::Label, .size = 96,
     .at = AddressHeadings,
     .get = Element<&Form1::dir>},
    {.name = "dire", .kind = K::Label, .size = 16,
     .at = EepromColumns,
     .get = Element<&Form1::dire>},
    {.name = "contawdt", .kind = K::Label, .hint = "Ciclos hasta desbordamiento del Watchdog",
     .start = Start::Hidden,
     .at = {F::Pic, 960, 1200, 1095, 255},
     .get = OneOfChip<&Chip::contawdt>},
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
    return index >= 0 && index < c.size && (!c.has || c.has(index));
}

void DressControls(Form1& f, std::uint64_t* panelRevision) {
    for (const ControlEntry& e : kControls) {
        if (!e.get) continue;  // the listing
        ForEachElement(e, [&](int index) {
            Control& c = e.get(f, index < 0 ? 0 : index);
            c.setPanelRevision(panelRevision);
            // No control given a text here has a change listener: dressing runs no effect.
            if (const std::string_view t = e.text.at(index); !t.empty()) c.setText(t);
            if (const std::string_view h = e.hint.at(index); !h.empty()) c.setHint(h);
            if (const ColorRole r = e.color.at(index); r != ColorRole::Normal) c.setColor(r);
            switch (e.start) {
                case Start::Enabled:
                    break;
                case Start::Disabled:
                    c.setEnabled(false);
                    break;
                case Start::ReadOnly:
                    c.setReadOnly(true);
                    break;
                case Start::Hidden:
                    c.setVisible(false);
                    break;
            }
        });
    }
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
