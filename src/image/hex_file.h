// Reading INHX8M files: the file as lines, and a file into a program image.
#pragma once

#include <array>
#include <cstddef>
#include <stdexcept>
#include <string>

#include "chip/program_image.h"

namespace vintrel {

// The file cannot be opened or read, or a record would store outside program memory or the
// EEPROM. The reading ends on it.
class ReadFailure : public std::runtime_error {
  public:
    ReadFailure() : std::runtime_error("Error en lectura") {}
};

// The longest line read: a valid record has at most 521 characters, so anything past this is
// no record, and reading stops there instead of holding an endless line in memory.
constexpr std::size_t kMaxLine = 1024;

// A regular file read as lines; a line ends at LF, CR or CRLF, and the terminator is not part
// of it. Closed when it goes out of scope. The HEX loader and vintrel-batch's listing reader
// share it, and so its rules: a regular file only, lines of bounded length.
class LineFile {
  public:
    // Anything but a regular file (a FIFO, a directory, a device) cannot be opened: it could
    // block the window or never end.
    explicit LineFile(const std::string& path, std::size_t maxLine = kMaxLine);
    ~LineFile();
    LineFile(const LineFile&) = delete;
    LineFile& operator=(const LineFile&) = delete;
    bool atEnd() { return peek() < 0; }
    // Reading at the end of the file is a failure, as is any read error. A line longer than
    // maxLine is not read to its end: nothing is returned and tooLong() tells; skipRest()
    // then passes over the rest of it.
    std::string readLine();
    bool tooLong() const { return tooLong_; }
    void skipRest();
    // The file's size when it was opened.
    std::size_t size() const { return size_; }

  private:
    // The next byte, not taken, or -1 at the end of the file; a read error throws.
    int peek() {
        if (pos_ == end_ && !fill()) return -1;
        return static_cast<unsigned char>(buffer_[pos_]);
    }
    bool fill();
    int fd_ = -1;
    std::size_t maxLine_;
    std::size_t size_ = 0;
    bool ended_ = false;
    bool tooLong_ = false;
    std::size_t pos_ = 0, end_ = 0;
    std::array<char, 4096> buffer_{};
};

// How reading a HEX file ended.
enum class HexEnd {
    EndRecord,    // at its end record
    NoEndRecord,  // the file ended without one
    Unreadable,   // ReadFailure
    BadFormat,    // a line that is no record, or a record of an unknown type
    BadWord,      // a program word above 3FFFh or an EEPROM byte above FFh
    BadAddress,   // a data record outside program memory, the IDs, configuration and EEPROM
};

struct HexRead {
    // What the records stored up to the end; a bad record may have stored its first words.
    ProgramImage image;
    HexEnd end = HexEnd::EndRecord;
    bool badChecksum = false;  // some record read before the end had a wrong checksum
};

// Reads the file record by record up to its end record or the first record that ends it.
HexRead ReadHexFile(const std::string& path);

}  // namespace vintrel
