#include "qt/form1_geometry.h"

#include "chip/pic16f84.h"

namespace vintrel {

namespace {

using F = Frame;

// clang-format off
constexpr GroupPlace kGroups[] = {
    {F::Data,    F::Window, "Frame1",  "Memoria de DATOS",    {120, 0, 7935, 4815}},
    {F::User,    F::Data,   "Frame4",  "Usuario",             {4320, 240, 3495, 4215}},
    {F::Eeprom,  F::Window, "Frame3",  "Memoria EEPROM",      {120, 4800, 6375, 1575}},
    {F::Pic,     F::Window, "Frame7",  "PIC",                 {120, 6360, 3255, 1575}},
    {F::Stack,   F::Window, "Frame9",  "Pila",                {3480, 6360, 3015, 615}},
    {F::Edit,    F::Window, "Frame10", "Modificar",           {3480, 6960, 3015, 975}},
    {F::Files,   F::Window, "Frame8",  "Ficheros",            {6600, 4800, 1455, 3135}},
    {F::Ports,   F::Window, "Frame5",  "Puertos E/S",         {8160, 0, 3375, 1095}},
    {F::Timer,   F::Window, "Frame6",  "RTCC",                {8160, 1080, 3375, 855}},
    {F::Program, F::Window, "Frame2",  "Memoria de PROGRAMA", {8160, 1920, 3375, 6015}},
};
// clang-format on

// The special function registers' rows of "Memoria de DATOS", r = 0 to 15 at top 480 + 240 r,
// headed by the chip's names. A shared cell sits between the bank columns (mirrored in both
// banks); bank 1's own registers have a column of their own.
constexpr bool kSharedColumn[16] = {false, false, true, true, true, false, false, true,
                                    false, false, true, true, true, true,  true,  true};
constexpr std::string_view SfrName(int r) {
    return r == pic::kUnimplemented ? "--" : pic::PanelName(r);
}
constexpr int SfrTop(int r) {
    return 480 + 240 * r;
}

Place CellAt(Frame f, int left, int top) {
    return Place{f, {left, top, 375, 255}, true};
}

template <Frame Fr, int L, int T, int W, int H, bool Bold>
std::optional<Place> Fixed(int) {
    return Place{Fr, {L, T, W, H}, Bold};
}

std::optional<Place> RegAt(int key) {
    if (key >= 0 && key < 16) return CellAt(F::Data, kSharedColumn[key] ? 2040 : 1680, SfrTop(key));
    if (key >= 16 && key < 80) {
        const int k = (key - 16) / 16, r = (key - 16) % 16;
        return CellAt(F::User, 480 + 840 * k, 240 + 240 * r);
    }
    const int r = key - 128;
    if (r >= 0 && r < 16 && pic::OwnInBank1(pic::kBank1 + r))
        return CellAt(F::Data, 2400, SfrTop(r));
    return std::nullopt;
}

std::optional<Place> DirAt(int i) {
    if (i >= 0 && i < 16) return CellAt(F::Data, 240, SfrTop(i));
    if (i >= 16 && i < 80) {
        const int k = (i - 16) / 16, r = (i - 16) % 16;
        return CellAt(F::User, 120 + 840 * k, 240 + 240 * r);
    }
    if (i >= 80 && i < 96) return CellAt(F::Data, 3840, SfrTop(i - 80));
    return std::nullopt;
}

std::optional<Place> EeAt(int i) {
    return CellAt(F::Eeprom, 480 + 360 * (i % 16), 480 + 240 * (i / 16));
}

std::optional<Place> DireAt(int i) {
    return CellAt(F::Eeprom, 480 + 360 * i, 240);
}

std::optional<Place> PilaAt(int i) {
    return Place{F::Stack, {60 + 360 * i, 240, 375, 255}, false};
}

std::optional<Place> RpAt(int i) {
    return i == 0 ? Place{F::Data, {240, 240, 2055, 255}, true}
                  : Place{F::Data, {2280, 240, 1935, 255}, true};
}

// Bit 7 on the left, bit 0 on the right.
template <int Top>
std::optional<Place> PinAt(int bit) {
    return Place{F::Ports, {2880 - 240 * bit, Top, 255, 255}, false, Look::Pin};
}

// clang-format off
constexpr ControlPlaces kPlaces[] = {
    {"REG",       RegAt},
    {"EE",        EeAt},
    {"REGW",      Fixed<F::Data, 1560, 4440, 375, 255, true>},
    {"RegPC",     Fixed<F::Data, 2880, 4440, 495, 255, true>},
    {"pila",      PilaAt},
    {"INDF",      Fixed<F::Data, 2400, 480, 375, 255, true>},
    {"PA",        PinAt<480>},
    {"PB",        PinAt<720>},
    {"RP",        RpAt},
    {"prg",       Fixed<F::Program, 120, 240, 3135, 5130, false>},
    {"direc",     Fixed<F::Edit, 120, 520, 735, 285, false>},
    {"dato",      Fixed<F::Edit, 840, 520, 735, 285, false>},
    {"FR",        Fixed<F::Timer, 1560, 480, 855, 285, false>},
    {"FREC",      Fixed<F::Pic, 960, 240, 615, 285, false>},
    {"estsleep",  Fixed<F::Pic, 120, 600, 855, 255, false>},
    {"WATCHDOG",  Fixed<F::Pic, 1080, 600, 1155, 255, false>},
    {"SENTIM",    Fixed<F::Timer, 720, 480, 735, 255, true>},
    {"divtim",    Fixed<F::Timer, 120, 480, 495, 255, true>},
    {"ciclos",    Fixed<F::Pic, 960, 960, 1095, 255, false>},
    {"eje1",      Fixed<F::Program, 1200, 5520, 975, 375, false>},
    {"ejecutar",  Fixed<F::Program, 2280, 5520, 975, 375, false>},
    {"break",     Fixed<F::Program, 120, 5520, 975, 375, false>},
    {"por",       Fixed<F::Pic, 2280, 240, 855, 375, false>},
    {"MCLR",      Fixed<F::Pic, 2280, 660, 855, 375, false>},
    {"WDT",       Fixed<F::Pic, 2280, 1080, 855, 375, false>},
    {"TOCKI",     Fixed<F::Timer, 2520, 480, 735, 255, false>},
    {"aceptar",   Fixed<F::Edit, 1740, 240, 1095, 315, false>},
    {"cancelar",  Fixed<F::Edit, 1740, 540, 1095, 315, false>},
    {"cargar",    Fixed<F::Files, 240, 240, 975, 375, false>},
    {"salvar",    Fixed<F::Files, 240, 720, 975, 375, false>},
    {"ensamblar", Fixed<F::Files, 240, 1200, 975, 375, false>},
    {"programar", Fixed<F::Files, 240, 1680, 975, 375, false>},
    {"editar",    Fixed<F::Files, 240, 2160, 975, 375, false>},
    {"fin",       Fixed<F::Files, 240, 2640, 975, 375, false>},
    {"dir",       DirAt},
    {"dire",      DireAt},
    {"contawdt",  Fixed<F::Pic, 960, 1200, 1095, 255, false>},
};
// clang-format on

std::vector<StaticLabel> MakeStaticLabels() {
    std::vector<StaticLabel> v;
    auto heading = [&v](Frame f, std::string_view text, TwipRect at) {
        v.push_back({f, text, at, true, true, Align::Center, false});
    };
    auto caption = [&v](Frame f, std::string_view text, TwipRect at, bool hidden = false) {
        v.push_back({f, text, at, false, false, Align::Left, hidden});
    };
    for (int r = 0; r < 16; ++r) {
        if (!SfrName(r).empty()) heading(F::Data, SfrName(r), {600, SfrTop(r), 1065, 255});
        if (pic::OwnInBank1(pic::kBank1 + r))
            heading(F::Data, pic::PanelName(pic::kBank1 + r), {2760, SfrTop(r), 1065, 255});
    }
    v.push_back({F::Data, "->", {2040, SfrTop(0), 375, 255}, true, false, Align::Center, false});
    heading(F::Data, "W", {1200, 4440, 375, 255});
    heading(F::Data, "PC", {2520, 4440, 375, 255});

    static constexpr std::string_view kRowHeads[] = {"0x", "1x", "2x", "3x"};
    for (int r = 0; r < 4; ++r)
        heading(F::Eeprom, kRowHeads[r], {120, 480 + 240 * r, 375, 255});

    caption(F::Pic, "Frecuencia", {120, 270, 855, 255});
    caption(F::Pic, "KHz", {1680, 270, 375, 255});
    caption(F::Pic, "Ciclos", {480, 960, 495, 255});
    // The watchdog countdown and the T0CKI frequency never show: no operation makes them visible.
    caption(F::Pic, "Watchdog", {120, 1230, 855, 255}, true);

    heading(F::Edit, "Dir.", {120, 240, 735, 255});
    heading(F::Edit, "Dato", {840, 240, 735, 255});

    static constexpr std::string_view kBits[] = {"0", "1", "2", "3", "4", "5", "6", "7"};
    for (int bit = 7; bit >= 0; --bit)
        v.push_back({F::Ports,
                     kBits[bit],
                     {1200 + 240 * (7 - bit), 240, 195, 255},
                     true,
                     false,
                     Align::Center,
                     false});
    heading(F::Ports, "PORTA", {240, 480, 735, 255});
    heading(F::Ports, "PORTB", {240, 720, 735, 255});

    caption(F::Timer, "Divisor", {120, 240, 495, 255});
    caption(F::Timer, "Señal", {720, 240, 735, 255});
    caption(F::Timer, "Frec.", {1560, 240, 735, 255}, true);
    return v;
}

}  // namespace

std::span<const GroupPlace> Groups() {
    return kGroups;
}

const ControlPlaces* FindPlaces(std::string_view name) {
    for (const auto& p : kPlaces)
        if (p.name == name) return &p;
    return nullptr;
}

const std::vector<StaticLabel>& StaticLabels() {
    static const std::vector<StaticLabel> labels = MakeStaticLabels();
    return labels;
}

}  // namespace vintrel
