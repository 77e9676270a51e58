#include <array>
#include <string>

#include "chip/chip.h"

namespace vintrel {

void Chip::ShowLatch(Control* pins, int count, int portValue) {
    for (int i = 0; i < count; ++i)
        if (!pins[i].enabled()) pins[i].setValue((portValue >> i) & 1);
    if (observer_) observer_->Observe();
}

void Chip::SetDirections(Control* pins, int count, int trisValue) {
    for (int i = 0; i < count; ++i)
        pins[i].setEnabled(((trisValue >> i) & 1) != 0);
}

void Chip::selpag() {
    switch (pic::BankOf(StatusReg)) {
        case 0:
            RP[0].setColor(ColorRole::Cell);
            RP[1].setColor(ColorRole::Placeholder);
            break;
        case 1:
            RP[0].setColor(ColorRole::Placeholder);
            RP[1].setColor(ColorRole::Cell);
            break;
        default:
            RP[0].setColor(ColorRole::Placeholder);
            RP[1].setColor(ColorRole::Placeholder);
            break;
    }
}

namespace {

// The registers REG_Change always has work for: those with an effect, STATUS and FSR.
constexpr std::array<bool, 256> BaseWatched() {
    std::array<bool, 256> w{};
    for (int k = 0; k < 256; ++k)
        w[static_cast<std::size_t>(k)] = Chip::HasEffect(k) || k == pic::STATUS || k == pic::FSR;
    return w;
}
constexpr auto kBaseWatched = BaseWatched();

}  // namespace

void Chip::SetIndfKey(int key) {
    const int old = indfKey_;
    // The display is about to read STATUS: it shows the flags of the instructions so far.
    if (key == pic::STATUS) SyncStatus();
    indfKey_ = key;
    indfShowsPcl_ = key == pic::PCL || key == kAnyKey;
    indfShowsStatus_ = key == pic::STATUS;
    indfShowsPclOrStatus_ = indfShowsPcl_ || indfShowsStatus_;
    if (old == kAnyKey || key == kAnyKey) {
        watched_ = kBaseWatched;
        if (key == kAnyKey) watched_.fill(true);
        if (key >= 0) watched_[static_cast<std::size_t>(key & 0xFF)] = true;
        return;
    }
    watched_[static_cast<std::size_t>(old & 0xFF)] =
        kBaseWatched[static_cast<std::size_t>(old & 0xFF)];
    watched_[static_cast<std::size_t>(key & 0xFF)] = true;
}

void Chip::RegisterEffect(int key) {
    switch (key) {
        case pic::STATUS:
            StatusReg = static_cast<int>(REG(pic::STATUS).hexValue());
            selpag();
            REG(pic::STATUS).setDecodedHint(kStatusTemplate, StatusReg);
            break;
        case pic::FSR:
            SetIndfKey(IndfKeyOf(static_cast<int>(REG(pic::FSR).hexValue())));
            break;
        case pic::PORTA:
            ShowLatch(PA.data(), pic::kPortAPins, static_cast<int>(REG(pic::PORTA).hexValue()));
            break;
        case pic::PORTB:
            ShowLatch(PB.data(), pic::kPortBPins, static_cast<int>(REG(pic::PORTB).hexValue()));
            break;
        case pic::INTCON: {
            const int intcon = static_cast<int>(REG(pic::INTCON).hexValue());
            gie_ = (intcon & pic::GIE) != 0;
            REG(pic::INTCON).setDecodedHint(kIntconTemplate, intcon);
            break;
        }
        case pic::OPTION_REG: {
            const int option = static_cast<int>(REG(pic::OPTION_REG).hexValue());
            if (option & pic::T0CS) {
                SENTIM.setText("Ext.");
                internalClock_ = false;
                FR_Change();
                PA[pic::kT0ckiPin].setVisible(false);  // RA4 is the T0CKI pin
            } else {
                SENTIM.setText("Int.");
                internalClock_ = true;
                TOCKI.setEnabled(false);
                PA[pic::kT0ckiPin].setVisible(true);
            }
            const int ps = pic::PrescalerRate(option);
            const bool watchdogs = (option & pic::PSA) != 0;                // the prescaler's owner
            t0Divisor_ = option & pic::T0CS ? 0 : watchdogs ? 1 : 2 << ps;  // chip mode's Timer0
            if (watchdogs) {
                divtim.setNumber(1);
                WATCHDOG.setText("WDT / " + std::to_string(1 << ps));
            } else {
                divtim.setNumber(1 << (ps + 1));
                WATCHDOG.setText("WDT / 1");
            }
            REG(pic::OPTION_REG)
                .setDecodedHint(kOptionTemplate, static_cast<int>(REG(pic::OPTION_REG).hexValue()));
            break;
        }
        case pic::TRISA:
            SetDirections(PA.data(), pic::kPortAPins, static_cast<int>(REG(pic::TRISA).hexValue()));
            ShowLatch(PA.data(), pic::kPortAPins, static_cast<int>(REG(pic::PORTA).hexValue()));
            break;
        case pic::TRISB:
            SetDirections(PB.data(), pic::kPortBPins, static_cast<int>(REG(pic::TRISB).hexValue()));
            ShowLatch(PB.data(), pic::kPortBPins, static_cast<int>(REG(pic::PORTB).hexValue()));
            break;
        case pic::EECON1: {
            // Taken once; the writes below run nested effects with their own.
            const int eecon1 = static_cast<int>(REG(pic::EECON1).hexValue());
            if (eecon1 & pic::RD) {
                // EEADR 40h and above addresses no cell: the read yields 00.
                const auto ee = REG(pic::EEADR).hexValue();
                if (ee < kEepromCells) {
                    REG(pic::EEDATA).copyText(EE[static_cast<std::size_t>(ee)]);
                } else {
                    REG(pic::EEDATA).setHex(0, 2);
                }
                REG(pic::EECON1).setHex(REG(pic::EECON1).hexValue() & ~pic::RD, 2);
            }
            if (eecon1 & pic::WR) {
                if (chipMode_ && eeLeft_ > 0) break;  // the write under way keeps WR set
                const bool enabled = EepromUnlock == 2 && (eecon1 & pic::WREN) != 0;
                if (chipMode_ && enabled) {
                    // On the chip the write takes its time, WR set meanwhile (ChipEeprom).
                    EepromUnlock = 0;
                    eeAddress_ = static_cast<int>(REG(pic::EEADR).hexValue());
                    eeData_ = static_cast<int>(REG(pic::EEDATA).hexValue());
                    eeLeft_ = eeWriteTime_ + 1;  // from the end of this one-cycle write
                    rare_ = true;
                    break;
                }
                if (enabled) {
                    const auto ee = REG(pic::EEADR).hexValue();
                    if (ee < kEepromCells)
                        EE[static_cast<std::size_t>(ee)].copyText(REG(pic::EEDATA));
                    REG(pic::EECON1).setHex(REG(pic::EECON1).hexValue() | pic::EEIF, 2);
                }
                EepromUnlock = 0;
                REG(pic::EECON1).setHex(REG(pic::EECON1).hexValue() & ~pic::WR, 2);
            }
            break;
        }
        case pic::EECON2: {
            // The unlock sequence: 55h, then AAh.
            const auto v = REG(pic::EECON2).hexValue();
            switch (EepromUnlock) {
                case 0:
                    EepromUnlock = v == 0x55 ? 1 : 0;
                    break;
                case 1:
                    if (v == 0xAA) EepromUnlock = 2;
                    break;
                default:
                    EepromUnlock = 0;
                    break;
            }
            break;
        }
        default:
            break;
    }
}

// A program counter typed as text: PCL takes its last two characters.
void Chip::RegPC_ChangeText() {
    const std::string pc = RegPC.text();
    if (pc.size() >= 2) {
        REG(pic::PCL).setText(std::string_view(pc).substr(pc.size() - 2));
    } else {
        REG(pic::PCL).setText(pc);
    }
}

void Chip::FR_Change() {
    TOCKI.setEnabled(DecimalValue(FR.text()) == 0);
}

void Chip::WATCHDOG_Click() {
    WDT.setEnabled(WATCHDOG.value() != 0);
    wdtCycles_ = 0;  // chip mode's count starts when the watchdog is switched on
}

}  // namespace vintrel
