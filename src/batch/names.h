// Names a script may use for register addresses and program rows: the PIC16F84's special
// function registers by their data-sheet names, and a program's labels and constants read
// from the listing gpasm writes beside its HEX file.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace vintrel {

// The data address of a special function register of either bank (`STATUS` 03h, `TRISB`
// 86h…), or nothing for any other word. Upper case, as in the data sheet.
std::optional<int> ChipRegister(std::string_view name);

// A pin by its data-sheet name, `RA0`–`RA4` for port 'A' and `RB0`–`RB7` for 'B': its bit;
// -1 for a pin name the port does not have (RB0 on port A, RA5); nothing for any other word.
std::optional<int> PinBit(std::string_view name, char port);

// A program's symbols: labels (program word addresses) and constants, by their exact name.
using Symbols = std::map<std::string, std::int64_t, std::less<>>;

// The symbol table of a gpasm listing: the `NAME  VALUE` lines of its SYMBOL TABLE pages.
Symbols ReadListingSymbols(std::istream& listing);

// The listing beside a HEX file: the same path with the extension `.lst`.
std::string ListingPathFor(const std::string& hexPath);

// The symbols of the listing beside hexPath; nothing when there is no readable listing. The
// listing is read as the HEX file is: a regular file only (a FIFO would block, a device never
// end), of bounded size; a listing that is there but refused leaves its reason in `why`.
std::optional<Symbols> LoadListingSymbols(const std::string& hexPath, std::string* why = nullptr);

}  // namespace vintrel
