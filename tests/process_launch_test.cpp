// The Linux launcher: splitting, program lookup, and starting real programs detached.

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "host/process_launch.h"
#include "temp_files.h"

namespace vintrel {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

using vintrel::testing::ReadFile;
using vintrel::testing::WriteFile;

class TempDir : public vintrel::testing::TempDir {
  public:
    TempDir() : vintrel::testing::TempDir("vintrel-launch") {}
};

// Waits for a file that a launched program renames into place once it is complete.
bool WaitFor(const fs::path& p, milliseconds limit = milliseconds(10000)) {
    const auto end = Clock::now() + limit;
    while (!fs::exists(p)) {
        if (Clock::now() > end) return false;
        std::this_thread::sleep_for(milliseconds(20));
    }
    return true;
}

// A script that writes each of its arguments on a line of its own to `marker`.
std::string RecorderScript(const fs::path& marker, const std::string& before = "") {
    return "#!/bin/sh\n" + before + "for a; do printf '%s\\n' \"$a\"; done > '" + marker.string() +
           ".tmp'\nmv '" + marker.string() + ".tmp' '" + marker.string() + "'\n";
}

// Sets PATH for one test and restores it.
class ScopedPath {
  public:
    explicit ScopedPath(const std::string& value) {
        if (const char* old = std::getenv("PATH")) old_ = old;
        setenv("PATH", value.c_str(), 1);
    }
    ~ScopedPath() { setenv("PATH", old_.c_str(), 1); }

  private:
    std::string old_;
};

TEST(SplitCommandLine, SplitsAtRunsOfSpacesOnly) {
    using V = std::vector<std::string>;
    const struct {
        const char* line;
        V words;
    } cases[] = {
        {"", {}},
        {"    ", {}},
        {"notepad", {"notepad"}},
        {"notepad /a/b.asm", {"notepad", "/a/b.asm"}},
        {"  a   b  c ", {"a", "b", "c"}},
        {"a\tb", {"a\tb"}},
        {"say \"two words\" 'q'", {"say", "\"two", "words\"", "'q'"}},
        {"x $(touch y) ;rm `z` a|b >o", {"x", "$(touch", "y)", ";rm", "`z`", "a|b", ">o"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SplitCommandLine(c.line), c.words) << c.line;
}

TEST(FindProgram, ApplicationDirectoryComesBeforePath) {
    TempDir t;
    const fs::path app = t.path() / "app", bin = t.path() / "bin", other = t.path() / "other";
    WriteFile(app / "tool", "#!/bin/sh\n", true);
    WriteFile(bin / "tool", "#!/bin/sh\n", true);
    WriteFile(app / "plain", "#!/bin/sh\n", false);  // not executable: skipped
    WriteFile(bin / "plain", "#!/bin/sh\n", true);
    fs::create_directories(app / "dir");  // a directory is no program
    WriteFile(bin / "dir", "#!/bin/sh\n", true);
    WriteFile(t.path() / "cwdonly", "#!/bin/sh\n", true);
    fs::create_directories(other);
    // The empty entry must not mean the current directory.
    ScopedPath path(":" + other.string() + "::" + bin.string());
    const fs::path cwd = fs::current_path();
    fs::current_path(t.path());

    EXPECT_EQ(FindProgram("tool", app.string()), (app / "tool").string());
    EXPECT_EQ(FindProgram("tool", app.string() + "/"), (app / "tool").string());
    EXPECT_EQ(FindProgram("tool", ""), (bin / "tool").string());
    EXPECT_EQ(FindProgram("plain", app.string()), (bin / "plain").string());
    EXPECT_EQ(FindProgram("dir", app.string()), (bin / "dir").string());
    EXPECT_EQ(FindProgram("missing", app.string()), "");
    EXPECT_EQ(FindProgram("cwdonly", app.string()), "");
    EXPECT_EQ(FindProgram("", app.string()), "");
    // A name with a slash is taken as it stands, never searched.
    EXPECT_EQ(FindProgram((bin / "tool").string(), app.string()), (bin / "tool").string());
    EXPECT_EQ(FindProgram("./cwdonly", app.string()), "./cwdonly");
    EXPECT_EQ(FindProgram("./tool", app.string()), "");
    fs::current_path(cwd);
}

TEST(LaunchDetached, ReturnsAtOnceAndLeavesNoChild) {
    TempDir t;
    const fs::path marker = t.path() / "marker";
    WriteFile(t.path() / "slow", RecorderScript(marker, "sleep 2\n"), true);

    const auto start = Clock::now();
    ASSERT_TRUE(LaunchDetached("slow one  two", t.path().string()));
    const auto took = Clock::now() - start;
    EXPECT_FALSE(fs::exists(marker)) << "the launch waited for the program";
    EXPECT_LT(took, milliseconds(1500));
    // The intermediate child is reaped and the program is not our child.
    errno = 0;
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);

    ASSERT_TRUE(WaitFor(marker));
    EXPECT_EQ(ReadFile(marker), "one\ntwo\n");
}

TEST(LaunchDetached, ArgumentsArriveLiterally) {
    TempDir t;
    const fs::path marker = t.path() / "marker";
    WriteFile(t.path() / "rec", RecorderScript(marker), true);
    const fs::path cwd = fs::current_path();
    fs::current_path(t.path());  // where `touch x` or `>out` would land
    const bool ok = LaunchDetached("rec $(touch x) `touch y` ;rm -rf z && >out '*' \"$HOME\" a|b",
                                   t.path().string());
    fs::current_path(cwd);
    ASSERT_TRUE(ok);
    ASSERT_TRUE(WaitFor(marker));
    EXPECT_EQ(ReadFile(marker),
              "$(touch\nx)\n`touch\ny`\n;rm\n-rf\nz\n&&\n>out\n'*'\n\"$HOME\"\na|b\n");
    for (const char* f : {"x", "y", "out"})
        EXPECT_FALSE(fs::exists(t.path() / f)) << f;
}

TEST(LaunchDetached, ApplicationDirectoryWithSpaces) {
    TempDir t;
    const fs::path app = t.path() / "Mis programas" / "vintrel  2";
    const fs::path marker = t.path() / "marker";
    WriteFile(app / "quemador", RecorderScript(marker), true);
    ASSERT_TRUE(LaunchDetached(app.string() + "/quemador /x/motor", app.string()));
    ASSERT_TRUE(WaitFor(marker));
    EXPECT_EQ(ReadFile(marker), "/x/motor\n");
    EXPECT_FALSE(LaunchDetached(app.string() + "/missing /x/motor", app.string()));
    EXPECT_FALSE(LaunchDetached(app.string() + "/", app.string()));
}

TEST(LaunchDetached, TheExactTextAfterTheNameReachesTheProgram) {
    TempDir t;
    const fs::path app = t.path() / "Mis programas" / "vintrel  2";
    const fs::path marker = t.path() / "marker";
    // The text between brackets, how often the variable is set, then the words.
    WriteFile(app / "rec",
              "#!/bin/sh\n{ printf '[%s]\\n' \"$VINTREL_ARGUMENT_TEXT\"\n"
              "  tr '\\0' '\\n' </proc/$$/environ | grep -c '^VINTREL_ARGUMENT_TEXT='\n"
              "  for a; do printf '%s\\n' \"$a\"; done; } > '" +
                  marker.string() + ".tmp'\nmv '" + marker.string() + ".tmp' '" + marker.string() +
                  "'\n",
              true);
    // Whatever the simulator itself was started with is replaced.
    setenv(kArgumentTextVariable, "stale", 1);
    const struct {
        std::string line;
        const char* expected;
    } cases[] = {
        {"rec /x/a  b.asm", "[/x/a  b.asm]\n1\n/x/a\nb.asm\n"},
        {"rec   /x/a.asm  ", "[/x/a.asm  ]\n1\n/x/a.asm\n"},
        {"rec", "[]\n1\n"},
        {app.string() + "/rec /c-  /x/a   b", "[/c-  /x/a   b]\n1\n/c-\n/x/a\nb\n"},
    };
    for (const auto& c : cases) {
        fs::remove(marker);
        ASSERT_TRUE(LaunchDetached(c.line, app.string())) << c.line;
        ASSERT_TRUE(WaitFor(marker)) << c.line;
        EXPECT_EQ(ReadFile(marker), c.expected) << c.line;
    }
    unsetenv(kArgumentTextVariable);
}

TEST(LaunchDetached, OwnSessionStdinFromDevNullNoInheritedState) {
    TempDir t;
    const fs::path marker = t.path() / "marker";
    // Session id (field 6 of stat), parent, stdin, an inherited descriptor, signal state.
    WriteFile(t.path() / "probe",
              "#!/bin/sh\n"
              "{ cut -d' ' -f6 /proc/$$/stat\n"
              "  grep '^PPid:' /proc/$$/status | tr -dc 0-9; echo\n"
              "  readlink /proc/$$/fd/0\n"
              "  if [ -e /proc/$$/fd/200 ]; then echo open; else echo closed; fi\n"
              "  grep '^SigBlk:' /proc/$$/status | tr -d ' \\t'\n"
              "  grep '^SigIgn:' /proc/$$/status | tr -d ' \\t'\n"
              "} > '" +
                  marker.string() +
                  ".tmp'\n"
                  "mv '" +
                  marker.string() + ".tmp' '" + marker.string() + "'\n",
              true);
    // A descriptor without close-on-exec, an ignored and a blocked signal.
    int fd = open("/dev/null", O_RDONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(dup2(fd, 200), 200);
    close(fd);
    struct sigaction ign {
    }, old{};
    ign.sa_handler = SIG_IGN;
    sigaction(SIGUSR1, &ign, &old);
    sigset_t block, saved;
    sigemptyset(&block);
    sigaddset(&block, SIGUSR2);
    sigprocmask(SIG_BLOCK, &block, &saved);

    const bool ok = LaunchDetached("probe", t.path().string());
    sigprocmask(SIG_SETMASK, &saved, nullptr);
    sigaction(SIGUSR1, &old, nullptr);
    close(200);
    ASSERT_TRUE(ok);
    ASSERT_TRUE(WaitFor(marker));

    std::istringstream in(ReadFile(marker));
    std::string sid, ppid, stdinTarget, fd200, blk, ignored;
    std::getline(in, sid);
    std::getline(in, ppid);
    std::getline(in, stdinTarget);
    std::getline(in, fd200);
    std::getline(in, blk);
    std::getline(in, ignored);
    EXPECT_NE(std::atol(sid.c_str()), static_cast<long>(getsid(0)));
    EXPECT_NE(std::atol(ppid.c_str()), static_cast<long>(getpid()));
    EXPECT_EQ(stdinTarget, "/dev/null");
    EXPECT_EQ(fd200, "closed");
    EXPECT_EQ(blk, "SigBlk:0000000000000000");
    const unsigned long long ignMask = std::stoull(ignored.substr(ignored.find(':') + 1), 0, 16);
    EXPECT_EQ(ignMask & (1ULL << (SIGUSR1 - 1)), 0u) << ignored;
}

TEST(LaunchDetached, ReportsWhatCannotBeStarted) {
    TempDir t;
    WriteFile(t.path() / "notexec", "#!/bin/sh\ntouch '" + (t.path() / "ran").string() + "'\n",
              false);
    // Executable but no interpreter line: a shell would run it, exec refuses it.
    WriteFile(t.path() / "noshebang", "touch '" + (t.path() / "ran").string() + "'\n", true);
    WriteFile(t.path() / "badinterp", "#!/nonexistent/interpreter\n", true);
    ScopedPath path("/usr/bin:/bin");
    for (const std::string line : {"", "   ", "no-such-program-here x", "notexec", "noshebang",
                                   "badinterp", "/no/such/dir/prog"}) {
        EXPECT_FALSE(LaunchDetached(line, t.path().string())) << line;
    }
    std::this_thread::sleep_for(milliseconds(200));
    EXPECT_FALSE(fs::exists(t.path() / "ran"));
    errno = 0;
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
}

}  // namespace
}  // namespace vintrel
