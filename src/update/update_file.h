// The update file as the start-up window reads it: the newest version and the address of its
// download, taken apart without any toolkit so the same code runs under a fuzzer.
//
// The body is "major.minor.revision" followed (at once or after blanks) by an address that starts
// with "http://" and runs to the end of the body. Everything here treats the body as bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vintrel {

// Bodies longer than this are not read to their end; such an update file is ignored.
inline constexpr std::size_t kMaxUpdateBody = 64 * 1024;

struct Version {
    std::int16_t major = 0;
    std::int16_t minor = 0;
    std::int16_t revision = 0;

    bool operator==(const Version&) const = default;
};

// major * 1000000 + minor * 1000 + revision, or nothing when that does not fit 32 bits.
std::optional<std::int32_t> VersionNumber(const Version& v);

// "major.minor.revision", each in decimal.
std::string VersionText(const Version& v);

// The status code in characters 10 to 12 of the response headers ("HTTP/1.1 200 OK" gives 200),
// read like a version piece; 0 when there is no number there.
int HttpStatus(std::string_view headers);

// One piece of a version: a decimal number read from the start of the text (leading blanks, tabs
// and line breaks skipped, an optional sign, digits, an optional fraction), stopping at the first
// character that cannot continue it, and rounded half to even. No digits read as 0. Exponents are
// not read ("1e3" is 1). Nothing when the rounded value does not fit 16 bits.
std::optional<std::int16_t> VersionPiece(std::string_view text);

struct UpdateFile {
    Version version;
    // From "http://" to the end of the body, final line break included.
    std::string address;
};

// Takes a body apart. Nothing when it is longer than kMaxUpdateBody, holds no "http://", has
// fewer than two dots before it, has a piece outside 16 bits or a version number outside 32 bits,
// or when the address (trailing blanks and line breaks aside) holds a character that cannot
// appear in an address: it goes onto a command line and must stay one word there.
std::optional<UpdateFile> ParseUpdateFile(std::string_view body);

// The update file of `body` when it names a version strictly newer than `running`.
std::optional<UpdateFile> NewerUpdate(std::string_view body, const Version& running);

// The whole check: status 200 and a newer version in the body.
std::optional<UpdateFile> CheckUpdate(std::string_view headers, std::string_view body,
                                      const Version& running);

// The three-line question shown when a newer version exists.
std::string UpdateQuestion(const Version& running, const Version& found);

// The updater's command line: "<appPath>/upd.exe <address> &".
std::string UpdaterCommandLine(std::string_view appPath, std::string_view address);

}  // namespace vintrel
