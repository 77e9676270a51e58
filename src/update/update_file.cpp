#include "update/update_file.h"

#include <cstdint>
#include <limits>

namespace vintrel {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Characters an address may hold: letters, digits, the unreserved and reserved marks of URIs
// and '%'. Blanks, quotes, backslashes and control characters would split or escape the
// updater's command line.
bool IsAddressChar(char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || IsDigit(c)) return true;
    constexpr std::string_view kMarks = "-._~:/?#[]@!$&'()*+,;=%";
    return kMarks.find(c) != std::string_view::npos;
}

bool IsSafeAddress(std::string_view address) {
    std::size_t end = address.size();
    while (end > 0 && IsBlank(address[end - 1]))
        --end;
    for (std::size_t i = 0; i < end; ++i) {
        if (!IsAddressChar(address[i])) return false;
    }
    return true;
}

}  // namespace

std::optional<std::int32_t> VersionNumber(const Version& v) {
    const std::int64_t n =
        std::int64_t{v.major} * 1000000 + std::int64_t{v.minor} * 1000 + std::int64_t{v.revision};
    if (n < std::numeric_limits<std::int32_t>::min() ||
        n > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(n);
}

std::string VersionText(const Version& v) {
    return std::to_string(v.major) + "." + std::to_string(v.minor) + "." +
           std::to_string(v.revision);
}

std::optional<std::int16_t> VersionPiece(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Magnitudes beyond this are out of range whatever follows, so it is where counting stops
    // (leading zeros keep the value at 0 and cost nothing).
    constexpr std::int64_t kCap = 1000000;
    std::int64_t whole = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        whole = whole * 10 + (text[i] - '0');
        if (whole > kCap) whole = kCap;
    }
    // Rounding half to even needs only the first fraction digit and whether any later one is
    // not zero; this keeps it exact, where a binary fraction would not be.
    int first = -1;
    bool rest = false;
    if (i < text.size() && text[i] == '.') {
        ++i;
        if (i < text.size() && IsDigit(text[i])) first = text[i++] - '0';
        for (; i < text.size() && IsDigit(text[i]); ++i)
            rest = rest || text[i] != '0';
    }
    if (first > 5 || (first == 5 && (rest || whole % 2 == 1))) ++whole;
    const std::int64_t value = negative ? -whole : whole;
    if (value < std::numeric_limits<std::int16_t>::min() ||
        value > std::numeric_limits<std::int16_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int16_t>(value);
}

int HttpStatus(std::string_view headers) {
    if (headers.size() < 10) return 0;
    return VersionPiece(headers.substr(9, 3)).value_or(0);
}

std::optional<UpdateFile> ParseUpdateFile(std::string_view body) {
    if (body.size() > kMaxUpdateBody) return std::nullopt;
    const std::size_t http = body.find("http://");
    if (http == std::string_view::npos) return std::nullopt;
    const std::string_view text = body.substr(0, http);
    const std::size_t dot1 = text.find('.');
    if (dot1 == std::string_view::npos) return std::nullopt;
    const std::size_t dot2 = text.find('.', dot1 + 1);
    if (dot2 == std::string_view::npos) return std::nullopt;

    const auto major = VersionPiece(text.substr(0, dot1));
    const auto minor = VersionPiece(text.substr(dot1 + 1, dot2 - dot1 - 1));
    const auto revision = VersionPiece(text.substr(dot2 + 1));
    if (!major || !minor || !revision) return std::nullopt;
    UpdateFile file{{*major, *minor, *revision}, std::string(body.substr(http))};
    if (!VersionNumber(file.version) || !IsSafeAddress(file.address)) return std::nullopt;
    return file;
}

std::optional<UpdateFile> NewerUpdate(std::string_view body, const Version& running) {
    auto file = ParseUpdateFile(body);
    if (!file) return std::nullopt;
    const auto current = VersionNumber(running);
    if (!current || *VersionNumber(file->version) <= *current) return std::nullopt;
    return file;
}

std::optional<UpdateFile> CheckUpdate(std::string_view headers, std::string_view body,
                                      const Version& running) {
    if (HttpStatus(headers) != 200) return std::nullopt;
    return NewerUpdate(body, running);
}

std::string UpdateQuestion(const Version& running, const Version& found) {
    return "Hay actualizaciones disponibles\n(Versión actual: " + VersionText(running) +
           " - Versión nueva: " + VersionText(found) + ")\n¿Desea descargarla ahora?";
}

std::string UpdaterCommandLine(std::string_view appPath, std::string_view address) {
    std::string line(appPath);
    line += "/upd.exe ";
    line += address;
    line += " &";
    return line;
}

}  // namespace vintrel
