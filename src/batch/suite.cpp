#include "batch/suite.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ios>
#include <istream>
#include <map>
#include <optional>
#include <ostream>
#include <streambuf>
#include <system_error>

#include "batch/script.h"
#include "batch/waveform.h"

namespace vintrel {

namespace {

constexpr std::string_view kUsage =
    "usage: vintrel-batch [--strict] [--chip] [--junit FILE] [--vcd FILE] [SCRIPT...]\n";
constexpr std::string_view kHelp =
    "Runs the vintrel PIC16F84 simulator's panel from scripts (standard input without SCRIPT,\n"
    "or for -). With several scripts, or --junit, prints a line per script and a summary.\n"
    "\n"
    "  --strict      a message box the script does not check with `expect message` fails it\n"
    "  --chip        run the programs as on the chip: Timer0 by cycles, interrupts, watchdog\n"
    "  --junit FILE  write a JUnit XML report, one test case per script\n"
    "  --vcd FILE    write a waveform (Value Change Dump) of the pins and traced registers\n"
    "  --help        print this help;  --version  print the version\n"
    "  --            what follows are scripts\n"
    "\n"
    "Exit status: 0 every script passed, 1 a script failed, 2 an error.\n"
    "The script language: man vintrel-batch, and the README in /usr/share/doc/vintrel.\n";

// Output kept for the report: the first kCap bytes and a count of the rest, so that a script
// printing without end cannot exhaust memory.
class CappedBuffer : public std::streambuf {
  public:
    static constexpr std::size_t kCap = 1 << 20;
    std::string take() {
        if (dropped_ > 0) kept_ += "\n[... " + std::to_string(dropped_) + " more bytes]\n";
        return std::move(kept_);
    }

  protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        const char ch = traits_type::to_char_type(c);
        xsputn(&ch, 1);
        return c;
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        const auto size = static_cast<std::size_t>(n);
        const std::size_t room = kCap - kept_.size();
        const std::size_t take = std::min(room, size);
        kept_.append(s, take);
        dropped_ += size - take;
        return n;
    }

  private:
    std::string kept_;
    std::size_t dropped_ = 0;
};

// Makes `dir` the working folder until destroyed, then returns to the one before. The file
// handlers open the paths a script names as given, so a script's own folder must be the
// working folder for its relative paths (and the messages keep them as written).
class WorkingFolder {
  public:
    explicit WorkingFolder(const std::filesystem::path& dir) {
        if (dir.empty()) return;
        saved_ = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ok_ = saved_ >= 0 && ::chdir(dir.c_str()) == 0;
    }
    ~WorkingFolder() {
        if (saved_ < 0) return;
        [[maybe_unused]] const int rc = ::fchdir(saved_);
        ::close(saved_);
    }
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;
    bool ok() const { return ok_; }

  private:
    int saved_ = -1;
    bool ok_ = true;
};

// Every report starts so; only a file that does may be replaced by a new report.
constexpr std::string_view kMark =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"vintrel-batch\"";
constexpr std::string_view kJUnitTail = "  </testsuite>\n</testsuites>\n";

std::string Seconds(double s) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.3f", s);
    return buf;
}

// Attribute values also keep their line ends and tabs.
std::string XmlAttribute(std::string_view text) {
    std::string s;
    for (const char c : XmlText(text)) {
        if (c == '\n') {
            s += "&#10;";
        } else if (c == '\r') {
            s += "&#13;";
        } else if (c == '\t') {
            s += "&#9;";
        } else {
            s += c;
        }
    }
    return s;
}

std::string JUnitHead(std::size_t tests, int failures, int errors, double seconds) {
    const std::string counts = " tests=\"" + std::to_string(tests) + "\" failures=\"" +
                               std::to_string(failures) + "\" errors=\"" + std::to_string(errors) +
                               "\" time=\"" + Seconds(seconds) + "\"";
    // Blanks before a start tag's '>' are allowed; they give the head one width for all counts.
    static constexpr std::size_t kTagWidth = 160;
    auto tag = [](std::string t) {
        t.resize(std::max(t.size(), kTagWidth), ' ');
        return t + '>';
    };
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" +
           tag("<testsuites name=\"vintrel-batch\"" + counts) + "\n  " +
           tag("<testsuite name=\"vintrel-batch\"" + counts + " skipped=\"0\"") + "\n";
}

// The folder groups the scripts (a student's, a module's).
std::string FolderOf(const std::string& script) {
    const std::filesystem::path parent = std::filesystem::path(script).parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

void WriteJUnitCase(std::ostream& xml, const ScriptResult& r) {
    const std::string folder = FolderOf(r.name);  // the name is the path given
    xml << "    <testcase classname=\"" << XmlAttribute(folder) << "\" name=\""
        << XmlAttribute(r.name) << "\" time=\"" << Seconds(r.seconds) << "\">\n";
    if (r.status != 0) {
        const char* tag = r.status == 1 ? "failure" : "error";
        xml << "      <" << tag << " message=\"" << XmlAttribute(r.failure) << "\" type=\"" << tag
            << "\">" << XmlText(r.failure) << "</" << tag << ">\n";
    }
    if (!r.out.empty()) xml << "      <system-out>" << XmlText(r.out) << "</system-out>\n";
    if (!r.err.empty()) xml << "      <system-err>" << XmlText(r.err) << "</system-err>\n";
    xml << "    </testcase>\n";
}

// A script file read through its descriptor. It is opened without waiting (a FIFO without a
// writer would hold the whole suite) and refused unless it is a regular file (a device may never
// end). A read error throws, as a file stream's does, and the interpreter reports it.
class ScriptFile : public std::streambuf {
  public:
    // Empty when the file can be read as a script, otherwise why not.
    std::string open(const std::string& path) {
        fd_ = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        struct stat st {};
        if (fd_ < 0 || ::fstat(fd_, &st) != 0) return "cannot open " + path;
        if (S_ISDIR(st.st_mode)) return "cannot read " + path + ": it is a folder";
        if (!S_ISREG(st.st_mode)) return "cannot read " + path + ": it is not a regular file";
        return {};
    }
    ~ScriptFile() override {
        if (fd_ >= 0) ::close(fd_);
    }

  protected:
    int_type underflow() override {
        ssize_t n;
        do {
            n = ::read(fd_, buffer_, sizeof buffer_);
        } while (n < 0 && errno == EINTR);
        if (n < 0) throw std::ios_base::failure("read error");
        if (n == 0) return traits_type::eof();
        setg(buffer_, buffer_, buffer_ + n);
        return traits_type::to_int_type(buffer_[0]);
    }

  private:
    int fd_ = -1;
    char buffer_[4096];
};

ScriptResult RunScript(const std::string& path, const SuiteOptions& o, std::istream& in,
                       std::ostream& out, std::ostream& err) {
    ScriptResult r;
    r.name = path;
    const auto start = std::chrono::steady_clock::now();
    auto refuse = [&](const std::string& why) {
        r.status = 2;
        r.failure = why;
        err << "vintrel-batch: " << why << '\n';
    };
    BatchRunner runner(out, err);
    runner.platform().appPath = o.appPath;
    runner.setStrict(o.strict);
    if (o.chip) runner.setChipMode();
    // Declared after the runner: it leaves the chip before the chip goes.
    std::unique_ptr<Waveform> wave;
    std::string whyNot;
    if (!o.vcd.empty()) {
        wave = Waveform::Open(o.vcd, whyNot);
        runner.setWaveform(wave.get());
    }
    ScriptFile file;
    if (!o.vcd.empty() && !wave) {
        refuse(whyNot);  // nothing runs
    } else if (path == "-") {
        r.status = runner.run(in);
        r.failure = runner.failure();
    } else if (const std::string why = file.open(path); !why.empty()) {
        refuse(why);
    } else if (WorkingFolder folder(std::filesystem::path(path).parent_path()); !folder.ok()) {
        refuse("cannot enter the folder of " + path);
    } else {
        std::istream script(&file);
        r.status = runner.run(script);
        r.failure = runner.failure();
    }
    // A script that ended with an error leaves no waveform.
    if (wave && !wave->Finish(r.status != 2)) refuse("cannot write " + o.vcd);
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return r;
}

// The report is written as the scripts end, to a new file beside it that replaces it at the
// end; its head, written first with blank room, is rewritten with the counts.
class JUnitFile {
  public:
    // Refuses a path that would lose a user's file; empty when the report may go there.
    static std::string refusal(const std::string& path, const std::vector<std::string>& scripts) {
        namespace fs = std::filesystem;
        std::error_code ec;
        for (const std::string& script : scripts)
            if (script == path || (script != "-" && fs::equivalent(script, path, ec)))
                return "it is one of the scripts";
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) return {};
        if (S_ISDIR(st.st_mode)) return "it is a folder";
        // Read without waiting: a FIFO is no report either.
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        std::string head(kMark.size(), '\0');
        const bool report =
            fd >= 0 && S_ISREG(st.st_mode) &&
            ::read(fd, head.data(), head.size()) == static_cast<ssize_t>(head.size()) &&
            head == kMark;
        if (fd >= 0) ::close(fd);
        return report ? std::string() : "it is not a JUnit report of vintrel-batch";
    }

    // The scripts change the working folder while they run: the paths are made absolute.
    explicit JUnitFile(const std::string& path) {
        std::error_code ec;
        path_ = std::filesystem::absolute(path, ec).string();
        if (ec) path_ = path;
        tmp_ = path_ + ".tmp-XXXXXX";
        const int fd = ::mkstemp(tmp_.data());
        if (fd < 0) {
            tmp_.clear();
            return;
        }
        const mode_t mask = ::umask(0);
        ::umask(mask);
        [[maybe_unused]] const int rc = ::fchmod(fd, 0666 & ~mask);
        ::close(fd);
        xml_.open(tmp_, std::ios::binary | std::ios::trunc);
        xml_ << JUnitHead(0, 0, 0, 0);
    }
    ~JUnitFile() {
        if (!tmp_.empty()) ::unlink(tmp_.c_str());
    }
    JUnitFile(const JUnitFile&) = delete;
    JUnitFile& operator=(const JUnitFile&) = delete;

    void add(const ScriptResult& r) {
        WriteJUnitCase(xml_, r);
        xml_.flush();  // on disk as its script ends, whatever follows
        ++tests_;
        failures_ += r.status == 1 ? 1 : 0;
        errors_ += r.status >= 2 ? 1 : 0;
        seconds_ += r.seconds;
    }
    // Puts the report in place; false when it could not be written.
    bool finish() {
        if (tmp_.empty()) return false;
        xml_ << kJUnitTail;
        xml_.seekp(0);
        xml_ << JUnitHead(tests_, failures_, errors_, seconds_);
        xml_.close();
        if (!xml_ || ::rename(tmp_.c_str(), path_.c_str()) != 0) return false;
        tmp_.clear();
        return true;
    }

  private:
    std::string path_, tmp_;
    std::ofstream xml_;
    std::size_t tests_ = 0;
    int failures_ = 0, errors_ = 0;
    double seconds_ = 0;
};

int RunSuite(const SuiteOptions& o, std::istream& in, std::ostream& out, std::ostream& err) {
    std::optional<JUnitFile> report;
    if (!o.junit.empty()) {
        if (const std::string why = JUnitFile::refusal(o.junit, o.scripts); !why.empty()) {
            err << "vintrel-batch: not writing the report to " << o.junit << ": " << why << '\n';
            return 2;
        }
        report.emplace(o.junit);
    }
    int status = 0, passed = 0;
    // Passed and failed by folder, and the folders in the order they come.
    std::map<std::string, std::pair<int, int>> byFolder;
    std::vector<std::string> folders;
    for (const std::string& path : o.scripts) {
        CappedBuffer outBuf, errBuf;
        std::ostream scriptOut(&outBuf), scriptErr(&errBuf);
        ScriptResult r = RunScript(path, o, in, scriptOut, scriptErr);
        r.out = outBuf.take();
        r.err = errBuf.take();
        if (r.status == 0) {
            ++passed;
            out << "ok " << r.name << '\n';
        } else {
            out << "FAIL " << r.name << ": " << r.failure << '\n';
        }
        out.flush();
        status = std::max(status, r.status);
        const auto [counts, fresh] = byFolder.try_emplace(FolderOf(r.name));
        if (fresh) folders.push_back(counts->first);
        ++(r.status == 0 ? counts->second.first : counts->second.second);
        if (report) report->add(r);
    }
    out << passed << " passed, " << o.scripts.size() - static_cast<std::size_t>(passed)
        << " failed\n";
    // A class's folders: where the failures are.
    if (folders.size() > 1) {
        for (const std::string& folder : folders) {
            const auto [ok, failed] = byFolder[folder];
            if (failed > 0) out << folder << ": " << ok << " passed, " << failed << " failed\n";
        }
    }
    out.flush();
    if (report && !report->finish()) {
        err << "vintrel-batch: cannot write " << o.junit << '\n';
        return 2;
    }
    return status;
}

}  // namespace

std::string XmlText(std::string_view text) {
    static constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
    std::string s;
    s.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            ++i;
            switch (c) {
                case '&':
                    s += "&amp;";
                    break;
                case '<':
                    s += "&lt;";
                    break;
                case '>':
                    s += "&gt;";
                    break;
                case '"':
                    s += "&quot;";
                    break;
                case '\'':
                    s += "&apos;";
                    break;
                case '\t':
                case '\n':
                case '\r':
                    s += static_cast<char>(c);
                    break;
                default:
                    if (c < 0x20 || c == 0x7F) {
                        s += kReplacement;
                    } else {
                        s += static_cast<char>(c);
                    }
            }
            continue;
        }
        // A multi-byte UTF-8 sequence: its length from the lead byte, then a check of the
        // continuation bytes and of the code point (no overlong forms, surrogates, U+FFFE/F).
        const std::size_t len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
        bool valid = len > 0 && c < 0xF5 && i + len <= text.size();
        char32_t cp = len == 2 ? c & 0x1F : len == 3 ? c & 0x0F : c & 0x07;
        for (std::size_t k = 1; valid && k < len; ++k) {
            const auto cc = static_cast<unsigned char>(text[i + k]);
            valid = (cc & 0xC0) == 0x80;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (valid) {
            valid = !(len == 3 && cp < 0x800) && !(len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) &&
                    !(cp >= 0xD800 && cp <= 0xDFFF) && cp != 0xFFFE && cp != 0xFFFF;
        }
        if (valid) {
            s.append(text.substr(i, len));
            i += len;
        } else {
            s += kReplacement;
            ++i;
        }
    }
    return s;
}

void WriteJUnit(std::ostream& xml, const std::vector<ScriptResult>& results) {
    int failures = 0, errors = 0;
    double total = 0;
    for (const ScriptResult& r : results) {
        failures += r.status == 1 ? 1 : 0;
        errors += r.status >= 2 ? 1 : 0;
        total += r.seconds;
    }
    xml << JUnitHead(results.size(), failures, errors, total);
    for (const ScriptResult& r : results)
        WriteJUnitCase(xml, r);
    xml << kJUnitTail;
}

int BatchMain(const std::vector<std::string>& args, const std::string& appPath, std::istream& in,
              std::ostream& out, std::ostream& err) {
    SuiteOptions o;
    o.appPath = appPath;
    bool options = true;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (options && a == "--") {
            options = false;
        } else if (options && a == "--strict") {
            o.strict = true;
        } else if (options && a == "--chip") {
            if (o.chip) {
                err << "vintrel-batch: --chip given twice\n";
                return 2;
            }
            o.chip = true;
        } else if (options && a == "--junit" && i + 1 < args.size() && !args[i + 1].empty()) {
            o.junit = args[++i];
        } else if (options && a.rfind("--junit=", 0) == 0 && a.size() > 8) {
            o.junit = a.substr(8);
        } else if (options && ((a == "--vcd" && i + 1 < args.size() && !args[i + 1].empty()) ||
                               (a.rfind("--vcd=", 0) == 0 && a.size() > 6))) {
            if (!o.vcd.empty()) {
                err << "vintrel-batch: --vcd given twice\n";
                return 2;
            }
            o.vcd = a == "--vcd" ? args[++i] : a.substr(6);
        } else if (options && (a == "--help" || a == "-h")) {
            out << kUsage << kHelp;
            return 0;
        } else if (options && a == "--version") {
            out << "vintrel-batch " << VINTREL_VERSION << '\n';
            return 0;
        } else if (options && a.size() > 1 && a[0] == '-') {
            err << "vintrel-batch: unknown option " << a << '\n' << kUsage;
            return 2;
        } else {
            o.scripts.push_back(a);
        }
    }
    if (o.scripts.empty()) o.scripts.emplace_back("-");
    if (!o.vcd.empty() && o.scripts.size() > 1) {
        err << "vintrel-batch: --vcd takes one script\n";
        return 2;
    }
    // One script without a report: its own output as it happens, as always.
    if (o.scripts.size() == 1 && o.junit.empty())
        return RunScript(o.scripts[0], o, in, out, err).status;
    return RunSuite(o, in, out, err);
}

}  // namespace vintrel
