// Scratch directories and whole-file reads and writes for tests that run real programs.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace vintrel::testing {

namespace fs = std::filesystem;

// A fresh directory under the system's temporary directory, removed with everything in it.
class TempDir {
  public:
    explicit TempDir(const std::string& prefix = "vintrel-test") {
        std::string t = (fs::temp_directory_path() / (prefix + "-XXXXXX")).string();
        path_ = mkdtemp(t.data()) ? t : throw fs::filesystem_error("mkdtemp", std::error_code());
    }
    ~TempDir() { fs::remove_all(path_, ec_); }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
    std::error_code ec_;
};

inline void WriteFile(const fs::path& p, const std::string& text, bool executable = false) {
    fs::create_directories(p.parent_path());
    std::ofstream(p) << text;
    if (executable) fs::permissions(p, fs::perms::owner_all);
}

inline std::string ReadFile(const fs::path& p) {
    std::stringstream s;
    s << std::ifstream(p).rdbuf();
    return s.str();
}

}  // namespace vintrel::testing
