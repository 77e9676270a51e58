#include "form1/form1.h"

namespace vintrel {

// A chosen cell's value goes into Dato, all of it selected also when Dato had the focus
// already (after Aceptar it keeps it): typing then replaces the value instead of adding to it.
void Form1::chooseCell(std::string_view code, const Control& cell) {
    direc.setText(code);
    dato.copyText(cell);
    setFocus(dato);
    SelectDato();
}

void Form1::REG_Click(int index) {
    if (index == pic::kUnimplemented || !Chip::IsRegKey(index)) return;
    chooseCell("D-" + HexPad(index, 2), chip.REG(index));
}

void Form1::EE_Click(int index) {
    if (index < 0 || index >= kEepromCells) return;
    chooseCell("E-" + HexPad(index, 2), chip.EE[static_cast<std::size_t>(index)]);
}

void Form1::REGW_Click() {
    chooseCell("W", chip.REGW);
}

void Form1::RegPC_Click() {
    chooseCell("PC", chip.RegPC);
}

void Form1::dato_GotFocus() {
    SelectDato();
}

void Form1::SelectDato() {
    dato.setSelection(0, static_cast<int>(dato.text().size()));
    ++datoSelections_;
    ++*chip.panelRevisionCounter();
}

void Form1::cancelar_Click() {
    direc.setText("");
    dato.setText("");
}

void Form1::aceptar_Click() {
    const std::int64_t value = HexValue(dato.text());
    const std::string d = direc.text();
    const std::int64_t address = d.size() > 2 ? HexValue(std::string_view(d).substr(2)) : 0;

    bool inRange = true;
    auto within = [&](std::int64_t max) { return inRange = value >= 0 && value <= max; };

    if (d.empty()) {
        // nothing to write
    } else if (d[0] == 'W') {
        if (within(0xFF)) chip.REGW.setHex(value, 2);
    } else if (d[0] == 'D') {
        if (within(0xFF) && Chip::IsRegKey(static_cast<int>(address & 0xFF)) && address <= 0xFF) {
            const int key = static_cast<int>(address);
            chip.REG(key).setHex(value, 2);
            if (key == pic::PCL || key == pic::PCLATH) chip.JumpToPcl();
        }
    } else if (d[0] == 'E') {
        if (within(0xFF) && address < kEepromCells)
            chip.EE[static_cast<std::size_t>(address)].setHex(value, 2);
    } else if (d[0] == 'P' && d.size() > 1 && d[1] == '-') {
        if (within(kWordMask) && address < kProgramWords) {
            chip.ProgramMemory[static_cast<std::size_t>(address)] = static_cast<int>(value);
            RebuildRow(static_cast<int>(address));
        }
    } else if (d[0] == 'P') {
        if (within(kPcMask)) chip.RegPC.setHex(value, 3);
    }

    if (!inRange) {
        platform_.beep();
        setFocus(dato);
        SelectDato();
        return;
    }
    cancelar_Click();
}

}  // namespace vintrel
