#include "form1/form1.h"

namespace vintrel {

// A pin's level is only sampled when the program reads its port (in chip mode an RB pin's
// change may also set INTF or RBIF).
void Form1::PA_Click(int /*index*/) {}
void Form1::PB_Click(int index) {
    chip.PB_Click(index);
}

void Form1::TOCKI_Click() {
    chip.TOCKI_Click();
}

void Form1::fin_Click() {
    platform_.endProgram();
}

}  // namespace vintrel
