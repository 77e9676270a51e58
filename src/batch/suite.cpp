#include "batch/suite.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <istream>
#include <ostream>
#include <streambuf>
#include <system_error>

#include "batch/script.h"

namespace vintrel {

namespace {

constexpr std::string_view kUsage =
    "usage: vintrel-batch [--strict] [--chip] [--junit FILE] [SCRIPT...]\n";

// Output kept for the report: the first kCap bytes and a count of the rest, so that a script
// printing without end cannot exhaust memory.
class CappedBuffer : public std::streambuf {
  public:
    static constexpr std::size_t kCap = 1 << 20;
    std::string text() const {
        if (dropped_ == 0) return kept_;
        return kept_ + "\n[... " + std::to_string(dropped_) + " more bytes]\n";
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
    if (path == "-") {
        r.status = runner.run(in);
        r.failure = runner.failure();
    } else if (std::error_code ec; std::filesystem::is_directory(path, ec)) {
        refuse("cannot read " + path + ": it is a folder");
    } else if (std::ifstream script(path, std::ios::binary); !script) {
        // Binary mode: the interpreter itself drops the CR of a CRLF line end.
        refuse("cannot open " + path);
    } else if (WorkingFolder folder(std::filesystem::path(path).parent_path()); !folder.ok()) {
        refuse("cannot enter the folder of " + path);
    } else {
        r.status = runner.run(script);
        r.failure = runner.failure();
    }
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return r;
}

int RunSuite(const SuiteOptions& o, std::istream& in, std::ostream& out, std::ostream& err) {
    std::vector<ScriptResult> results;
    int status = 0, passed = 0;
    for (const std::string& path : o.scripts) {
        CappedBuffer outBuf, errBuf;
        std::ostream scriptOut(&outBuf), scriptErr(&errBuf);
        ScriptResult r = RunScript(path, o, in, scriptOut, scriptErr);
        r.out = outBuf.text();
        r.err = errBuf.text();
        if (r.status == 0) {
            ++passed;
            out << "ok " << r.name << '\n';
        } else {
            out << "FAIL " << r.name << ": " << r.failure << '\n';
        }
        out.flush();
        status = std::max(status, r.status);
        if (!o.junit.empty()) results.push_back(std::move(r));
    }
    out << passed << " passed, " << o.scripts.size() - static_cast<std::size_t>(passed)
        << " failed\n";
    out.flush();
    if (!o.junit.empty()) {
        std::ofstream xml(o.junit, std::ios::binary | std::ios::trunc);
        if (xml) WriteJUnit(xml, results);
        xml.close();
        if (!xml) {
            err << "vintrel-batch: cannot write " << o.junit << '\n';
            return 2;
        }
    }
    return status;
}

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
    const std::string counts = " tests=\"" + std::to_string(results.size()) + "\" failures=\"" +
                               std::to_string(failures) + "\" errors=\"" + std::to_string(errors) +
                               "\" time=\"" + Seconds(total) + "\"";
    xml << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<testsuites name=\"vintrel-batch\"" << counts << ">\n"
        << "  <testsuite name=\"vintrel-batch\"" << counts << " skipped=\"0\">\n";
    for (const ScriptResult& r : results) {
        // The folder groups the scripts (a student's, a module's); the name is the path given.
        const std::filesystem::path parent = std::filesystem::path(r.name).parent_path();
        const std::string folder = parent.empty() ? std::string(".") : parent.string();
        xml << "    <testcase classname=\"" << XmlAttribute(folder) << "\" name=\""
            << XmlAttribute(r.name) << "\" time=\"" << Seconds(r.seconds) << "\">\n";
        if (r.status != 0) {
            const char* tag = r.status == 1 ? "failure" : "error";
            xml << "      <" << tag << " message=\"" << XmlAttribute(r.failure) << "\" type=\""
                << tag << "\">" << XmlText(r.failure) << "</" << tag << ">\n";
        }
        if (!r.out.empty()) xml << "      <system-out>" << XmlText(r.out) << "</system-out>\n";
        if (!r.err.empty()) xml << "      <system-err>" << XmlText(r.err) << "</system-err>\n";
        xml << "    </testcase>\n";
    }
    xml << "  </testsuite>\n</testsuites>\n";
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
        } else if (options && (a == "--help" || a == "-h")) {
            out << kUsage;
            return 0;
        } else if (options && a.size() > 1 && a[0] == '-') {
            err << "vintrel-batch: unknown option " << a << '\n' << kUsage;
            return 2;
        } else {
            o.scripts.push_back(a);
        }
    }
    if (o.scripts.empty()) o.scripts.emplace_back("-");
    // One script without a report: its own output as it happens, as always.
    if (o.scripts.size() == 1 && o.junit.empty())
        return RunScript(o.scripts[0], o, in, out, err).status;
    return RunSuite(o, in, out, err);
}

}  // namespace vintrel
