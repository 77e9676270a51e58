// Reading INHX8M files: the file as lines, and one record applied to a chip's program memory,
// EEPROM and watchdog switch.
#pragma once

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>

#include "chip/chip.h"

namespace vintrel {

// Result codes of extlinfic.
constexpr int kAccepted = 0;
constexpr int kBadFormat = 1;
constexpr int kBadChecksum = 2;
constexpr int kBadWord = 3;
constexpr int kBadAddress = 4;
constexpr int kEndOfFile = 5;

// A failure that no result code expresses: the file cannot be opened or read, or a record
// would store outside program memory or the EEPROM. The load ends on it.
class ReadFailure : public std::runtime_error {
  public:
    ReadFailure() : std::runtime_error("Error en lectura") {}
};

// The longest line read: a valid record has at most 521 characters, so anything past this is
// no record, and reading stops there instead of holding an endless line in memory.
constexpr std::size_t kMaxLine = 1024;

// A regular file read byte for byte as lines; a line ends at LF, CR or CRLF, and the terminator
// is not part of it. Closed when it goes out of scope.
class LineFile {
  public:
    // Anything but a regular file (a FIFO, a directory, a device) cannot be opened: it could
    // block the window or never end.
    explicit LineFile(const std::string& path);
    bool atEnd();
    // Reading at the end of the file is a failure, as is any read error. A line longer than
    // kMaxLine is not read to its end: nothing is returned and tooLong() tells.
    std::string readLine();
    bool tooLong() const { return tooLong_; }

  private:
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> file_;
    bool tooLong_ = false;
};

// Applies one record (its leading ':' is removed from `cad`) and returns its result code.
int extlinfic(Chip& chip, std::string& cad);

}  // namespace vintrel
