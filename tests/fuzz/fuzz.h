// What every fuzz target shares: the input as a stream of choices, a scratch file, the failure
// report, and the entry point. Built with libFuzzer (VINTREL_FUZZ) a target explores; built
// plainly it is a program that replays the files it is given, its corpus in ctest.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace vintrel::fuzz {

// The input's own bytes first, then a generator seeded from all of them: a short input still
// gives a full-sized case, and every input the same case each time.
class Source {
  public:
    Source(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {
        for (std::size_t i = 0; i < size; ++i)
            state_ = (state_ ^ data[i]) * 0x100000001B3ull;
    }
    std::uint8_t byte() {
        if (pos_ < size_) return data_[pos_++];
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return static_cast<std::uint8_t>((z ^ (z >> 31)) >> 56);
    }
    // Each call is a statement of its own: the operands of | are not sequenced.
    int u16() {
        const int high = byte();
        return high << 8 | byte();
    }
    int range(int lo, int hi) {  // uniform enough in [lo, hi] for these small ranges
        const unsigned high = static_cast<unsigned>(u16());
        const unsigned v = high << 8 | byte();
        return lo + static_cast<int>(v % (static_cast<unsigned>(hi - lo) + 1));
    }
    bool coin() { return byte() & 1; }
    bool chance(int n) { return byte() < n; }  // with probability about n/256

  private:
    const std::uint8_t* data_;
    std::size_t size_, pos_ = 0;
    std::uint64_t state_ = 0x9E3779B97F4A7C15ull;
};

// A file named after `what` on tmpfs where there is one (on a disk every rewrite flushes),
// rewritten in place for each input and removed at exit.
class ScratchFile {
  public:
    explicit ScratchFile(const char* what) {
        for (const char* dir : {"/dev/shm", "/tmp"}) {
            path_ = std::string(dir) + "/vintrel-" + what + "-XXXXXX";
            if ((fd_ = mkstemp(path_.data())) >= 0) return;
        }
        std::abort();
    }
    ~ScratchFile() { unlink(path_.c_str()); }
    const std::string& path() const { return path_; }
    void write(const std::string& text) {
        if (pwrite(fd_, text.data(), text.size(), 0) != ssize_t(text.size()) ||
            ftruncate(fd_, ssize_t(text.size())) != 0)
            std::abort();
    }

  private:
    std::string path_;
    int fd_ = -1;
};

inline const char* replaying = nullptr;  // the corpus file being replayed

// Ends the run with what went wrong: libFuzzer keeps the input, the replay names its file.
[[noreturn]] inline void Fail(const std::string& what, const std::string& context = {}) {
    std::fprintf(stderr, "%s%s\n%s\n", replaying ? replaying : "", replaying ? ": " : "",
                 what.c_str());
    if (!context.empty()) std::fprintf(stderr, "%s\n", context.c_str());
    std::abort();
}

}  // namespace vintrel::fuzz

// Filling every allocation and a large quarantine cost more than they find here. The sanitizer
// runtime looks this up by name; each target includes this header once.
extern "C" const char* __asan_default_options() {
    return "max_malloc_fill_size=0:quarantine_size_mb=16";
}

#ifdef VINTREL_FUZZ_REPLAY
// Every file of the folders (or the files) named, once each; a corpus that gives nothing fails.
int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    int inputs = 0;
    for (int i = 1; i < argc; ++i) {
        for (const auto& e : fs::recursive_directory_iterator(argv[i])) {
            if (!e.is_regular_file()) continue;
            const std::string name = e.path().string();
            std::ifstream in(name, std::ios::binary);
            const std::string data{std::istreambuf_iterator<char>(in), {}};
            vintrel::fuzz::replaying = name.c_str();
            LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
            ++inputs;
        }
    }
    std::printf("%d inputs replayed\n", inputs);
    return inputs > 0 ? 0 : 1;
}
#endif
