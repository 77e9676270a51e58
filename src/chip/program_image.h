// What a program file holds for the chip, read by the image layer and stored by `Chip`.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "chip/pic16f84.h"

namespace vintrel {

struct ProgramImage {
    // The words and EEPROM bytes the file gives, by address; the others are left as they are.
    std::array<std::optional<std::uint16_t>, kProgramWords> words{};
    std::array<std::optional<std::uint8_t>, kEepromCells> eeprom{};
    // The watchdog-enable bit of each configuration word, in the file's order, without
    // repeats: the switch takes each in turn (each change restarts chip mode's count).
    std::vector<bool> watchdog;
};

}  // namespace vintrel
