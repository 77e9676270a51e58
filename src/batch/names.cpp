#include "batch/names.h"

#include <sys/stat.h>

#include <cctype>
#include <charconv>
#include <filesystem>
#include <istream>
#include <sstream>
#include <utility>

#include "chip/pic16f84.h"
#include "image/hex_file.h"

namespace vintrel {

namespace {

bool IsIdentifier(std::string_view w) {
    if (w.empty()) return false;
    const auto first = static_cast<unsigned char>(w[0]);
    if (!std::isalpha(first) && first != '_') return false;
    for (const char ch : w) {
        const auto u = static_cast<unsigned char>(ch);
        if (!std::isalnum(u) && u != '_' && u != '.') return false;
    }
    return true;
}

}  // namespace

// The bank-1 mirrors of bank-0 registers are reached by their bank-0 name.
std::optional<int> ChipRegister(std::string_view name) {
    for (const pic::RegisterName& r : pic::kRegisterNames)
        if (r.name == name) return r.address;
    return std::nullopt;
}

namespace {

// One line of a listing: each page of the symbol table starts with a "SYMBOL TABLE" heading;
// the table ends with the memory map. Page headers and column titles inside it are not
// two-word NAME HEX lines.
void ReadSymbolLine(const std::string& line, bool& inTable, Symbols& symbols) {
    if (line.rfind("SYMBOL TABLE", 0) == 0) {
        inTable = true;
        return;
    }
    if (line.rfind("MEMORY USAGE MAP", 0) == 0) inTable = false;
    if (!inTable) return;
    std::istringstream words(line);
    std::string name, value, extra;
    if (!(words >> name >> value) || (words >> extra)) return;
    if (!IsIdentifier(name) || value.size() != 8) return;
    bool hex = true;
    for (const char ch : value)
        hex = hex && std::isxdigit(static_cast<unsigned char>(ch)) != 0;
    if (!hex) return;
    std::int64_t v = 0;
    const auto r = std::from_chars(value.data(), value.data() + value.size(), v, 16);
    if (r.ec != std::errc() || r.ptr != value.data() + value.size()) return;
    symbols[name] = v;
}

// A listing bigger than this, or with more symbols, is no gpasm listing of a 1K-word program.
constexpr std::size_t kMaxListingBytes = std::size_t{16} << 20;
constexpr std::size_t kMaxSymbols = 1 << 16;
// No symbol line is longer; longer lines (long source lines) are passed over.
constexpr std::size_t kMaxListingLine = 4096;

}  // namespace

std::optional<int> PinBit(std::string_view name, char port) {
    if (name.size() != 3 || name[0] != 'R' || (name[1] != 'A' && name[1] != 'B') ||
        !std::isdigit(static_cast<unsigned char>(name[2])))
        return std::nullopt;
    const int bit = name[2] - '0';
    return name[1] == port && bit < (port == 'A' ? 5 : 8) ? bit : -1;
}

Symbols ReadListingSymbols(std::istream& listing) {
    Symbols symbols;
    bool inTable = false;
    std::string line;
    while (std::getline(listing, line))
        ReadSymbolLine(line, inTable, symbols);
    return symbols;
}

std::string ListingPathFor(const std::string& hexPath) {
    return std::filesystem::path(hexPath).replace_extension(".lst").string();
}

std::optional<Symbols> LoadListingSymbols(const std::string& hexPath, std::string* why) {
    const std::string path = ListingPathFor(hexPath);
    std::string refused;
    Symbols symbols;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;  // no listing, no names
    try {
        if (!S_ISREG(st.st_mode)) {
            refused = "it is not a regular file";
        } else if (LineFile file(path, kMaxListingLine); file.size() > kMaxListingBytes) {
            refused = "it is larger than " + std::to_string(kMaxListingBytes >> 20) + " MiB";
        } else {
            bool inTable = false;
            while (!file.atEnd() && refused.empty()) {
                const std::string line = file.readLine();
                if (file.tooLong()) {
                    file.skipRest();
                } else {
                    ReadSymbolLine(line, inTable, symbols);
                }
                if (symbols.size() > kMaxSymbols)
                    refused = "it has more than " + std::to_string(kMaxSymbols) + " symbols";
            }
        }
    } catch (const ReadFailure&) {
        refused = "it cannot be read";
    }
    if (refused.empty()) return symbols;
    if (why) *why = "the listing " + path + " was not read: " + refused;
    return std::nullopt;
}

}  // namespace vintrel
