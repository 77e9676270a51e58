// The fuzz input as a stream of random choices: its own bytes first, then a generator seeded
// from all of them, so that even a short input gives a full-sized case and every input gives
// the same case each time it runs.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace vintrel::fuzz {

// A scratch file named after `what`, on tmpfs where there is one (on a disk file system every
// rewrite flushes), kept open so that a rewrite costs two calls. Removed at exit.
class ScratchFile {
  public:
    explicit ScratchFile(const char* what) {
        char name[64];
        std::snprintf(name, sizeof name, "/dev/shm/vintrel-fuzz-%s-XXXXXX", what);
        fd_ = mkstemp(name);
        if (fd_ < 0) {
            std::snprintf(name, sizeof name, "/tmp/vintrel-fuzz-%s-XXXXXX", what);
            fd_ = mkstemp(name);
        }
        if (fd_ < 0) std::abort();
        path_ = name;
    }
    ~ScratchFile() {
        close(fd_);
        unlink(path_.c_str());
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    const std::string& path() const { return path_; }
    void write(const std::string& text) {
        const auto n = static_cast<ssize_t>(text.size());
        if (pwrite(fd_, text.data(), text.size(), 0) != n || ftruncate(fd_, n) != 0) std::abort();
    }

  private:
    std::string path_;
    int fd_ = -1;
};

class Source {
  public:
    Source(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {
        std::uint64_t h = 0x9E3779B97F4A7C15ull ^ size;
        for (std::size_t i = 0; i < size; ++i)
            h = (h ^ data[i]) * 0x100000001B3ull;
        state_ = h;
    }

    std::uint8_t byte() {
        if (pos_ < size_) return data_[pos_++];
        return static_cast<std::uint8_t>(Mix() >> 56);
    }
    int u16() { return byte() << 8 | byte(); }
    // Uniform enough in [lo, hi] for these small ranges.
    int range(int lo, int hi) {
        const unsigned span = static_cast<unsigned>(hi - lo) + 1;
        const unsigned v = static_cast<unsigned>(u16()) << 8 | byte();
        return lo + static_cast<int>(v % span);
    }
    bool coin() { return byte() & 1; }
    // True with probability about n/256.
    bool chance(int n) { return byte() < n; }

  private:
    std::uint64_t Mix() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
    std::uint64_t state_;
};

}  // namespace vintrel::fuzz

// Sanitizer settings for the fuzz targets: filling every allocation and a large quarantine
// cost more than the checks; neither finds anything the shadow memory does not.
// Defined here, not inline: each fuzz target includes this header once, and the sanitizer
// runtime looks the function up by name.
extern "C" const char* __asan_default_options() {
    return "max_malloc_fill_size=0:quarantine_size_mb=16";
}
