#include "assembly.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>
#include <thread>
#include <utility>

#include "host/process_launch.h"

namespace vintrel::tools {

namespace fs = std::filesystem;

namespace {

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// Applies one maker's option to `o`; false when `word` is no option (it starts the path).
bool ApplyOption(const std::string& word, AssemblerOptions& o) {
    const std::string w = Lower(word);
    if (w == "/a" || w == "/ainhx8m") {
        o.format = "inhx8m";
    } else if (w == "/ainhx8s") {
        o.format = "inhx8s";
    } else if (w == "/ainhx32") {
        o.format = "inhx32";
    } else if (w == "/c" || w == "/c+") {
        o.caseInsensitive = false;
    } else if (w == "/c-") {
        o.caseInsensitive = true;
    } else if (w == "/l" || w == "/l+" || w == "/l-") {
        // The listing is always left beside the HEX file: vintrel-batch reads symbols from it.
    } else if (w == "/rhex" || w == "/rdec" || w == "/roct") {
        o.radix = w.substr(2);
    } else if (w == "/w0" || w == "/w1" || w == "/w2") {
        o.warningLevel = w.substr(2);
    } else if (w.size() > 2 && w.compare(0, 2, "/p") == 0) {
        // /PPIC16F84 or /P16F84; a path such as /pic/x.asm is no option.
        std::string p = w.substr(2);
        if (p.compare(0, 3, "pic") == 0) p = p.substr(3);
        if (p.empty() || p.find('/') != std::string::npos || p[0] < '0' || p[0] > '9') return false;
        o.processor = "p" + p;
    } else {
        return false;
    }
    return true;
}

bool IsExecutableFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

bool OnPath(const std::string& name) {
    const char* env = std::getenv("PATH");
    std::stringstream path(env ? env : "/usr/local/bin:/usr/bin:/bin");
    std::string dir;
    while (std::getline(path, dir, ':'))
        if (!dir.empty() && IsExecutableFile(dir + "/" + name)) return true;
    return false;
}

// Why a file could not be read or written, as the results say it.
std::string Why(int e) {
    switch (e) {
        case EISDIR:
            return "es una carpeta";
        case EACCES:
        case EPERM:
        case EROFS:
            return "no hay permiso";
        case ENOSPC:
        case EDQUOT:
            return "no queda espacio en el disco";
        case ENOENT:
        case ENOTDIR:
            return "la carpeta no existe";
        default:
            return std::strerror(e);
    }
}

// What gpasm may write in all: it is stopped beyond that (SIGXFSZ) rather than fill the disk.
constexpr rlim_t kMaxOutput = rlim_t{64} << 20;

struct GpasmRun {
    bool started = false;
    bool timedOut = false;
    int status = -1;  // its exit status when it exited
    int signal = 0;   // the signal that ended it, if one did
};

// Runs gpasm with `args` (no shell), its output going to `output`, for at most `limit`.
GpasmRun RunGpasm(const std::vector<std::string>& args, const std::string& output,
                  std::chrono::milliseconds limit) {
    std::vector<std::string> words = args;
    words.insert(words.begin(), "gpasm");
    std::vector<char*> argv;
    for (auto& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    GpasmRun run;
    const pid_t pid = fork();
    if (pid < 0) return run;
    if (pid == 0) {
        setpgid(0, 0);  // a group of its own, so that stopping it stops all it started
        const rlimit size{kMaxOutput, kMaxOutput};
        setrlimit(RLIMIT_FSIZE, &size);
        const int in = open("/dev/null", O_RDONLY);
        const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0) _exit(126);
        dup2(in, STDIN_FILENO);
        dup2(out, STDOUT_FILENO);
        dup2(out, STDERR_FILENO);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    setpgid(pid, pid);
    run.started = true;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) break;
        if (done < 0 && errno != EINTR) return run;
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(-pid, SIGKILL);
            kill(pid, SIGKILL);
            while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            run.timedOut = true;
            return run;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
    return run;
}

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Writes `content` to a new file beside `to` and renames it over `to`: a reader never sees
// half a file, and a link at `to` is replaced, never written through. Empty when done,
// otherwise why not.
std::string PutInPlace(const fs::path& to, std::string_view content) {
    std::string tmp = to.string() + ".tmp-XXXXXX";
    const int fd = mkstemp(tmp.data());
    if (fd < 0) return Why(errno);
    const mode_t mask = umask(0);
    umask(mask);
    int e = fchmod(fd, 0666 & ~mask) == 0 ? 0 : errno;
    for (std::size_t done = 0; e == 0 && done < content.size();) {
        const ssize_t n = write(fd, content.data() + done, content.size() - done);
        if (n >= 0) {
            done += static_cast<std::size_t>(n);
        } else if (errno != EINTR) {
            e = errno;
        }
    }
    if (close(fd) != 0 && e == 0) e = errno;
    if (e == 0 && rename(tmp.c_str(), to.c_str()) != 0) e = errno;
    if (e == 0) return {};
    unlink(tmp.c_str());
    return Why(e);
}

// Removes the file or link at `p`, never a folder; true when one was removed.
bool RemoveFile(const fs::path& p) {
    struct stat st {};
    return lstat(p.c_str(), &st) == 0 && !S_ISDIR(st.st_mode) && unlink(p.c_str()) == 0;
}

class ScratchDir {
  public:
    ScratchDir() {
        const char* t = std::getenv("TMPDIR");
        std::string templ = std::string(t && *t ? t : "/tmp") + "/mpasmwin.XXXXXX";
        if (mkdtemp(templ.data()) != nullptr) path_ = templ;
    }
    ~ScratchDir() {
        std::error_code ec;
        if (!path_.empty()) fs::remove_all(path_, ec);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

int Count(const AssemblyOutcome& o, AssemblerMessage::Kind k) {
    int n = 0;
    for (const auto& m : o.messages)
        if (m.kind == k) ++n;
    return n;
}

}  // namespace

AssemblerOptions ParseAssemblerArguments(const std::vector<std::string>& args,
                                         const std::string* exactText) {
    AssemblerOptions o;
    if (exactText != nullptr && vintrel::SplitCommandLine(*exactText) == args) {
        const std::string& t = *exactText;
        std::size_t i = 0;
        while ((i = t.find_first_not_of(' ', i)) != std::string::npos) {
            std::size_t end = t.find(' ', i);
            if (end == std::string::npos) end = t.size();
            if (!ApplyOption(t.substr(i, end - i), o)) {
                o.source = t.substr(i);
                break;
            }
            i = end;
        }
        return o;
    }
    std::size_t i = 0;
    while (i < args.size() && ApplyOption(args[i], o))
        ++i;
    for (; i < args.size(); ++i)
        o.source += (o.source.empty() ? "" : " ") + args[i];
    return o;
}

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// "Kind[NNN] text" at the start of `rest` (blanks may follow the kind and the bracket).
bool ParseKind(std::string_view rest, AssemblerMessage& m) {
    using Kind = AssemblerMessage::Kind;
    static constexpr std::pair<std::string_view, Kind> kKinds[] = {
        {"Error", Kind::Error}, {"Warning", Kind::Warning}, {"Message", Kind::Message}};
    for (const auto& [word, kind] : kKinds) {
        if (rest.substr(0, word.size()) != word) continue;
        const std::size_t open = rest.find_first_not_of(' ', word.size());
        if (open == std::string_view::npos || rest[open] != '[') return false;
        std::size_t close = open + 1;
        while (close < rest.size() && IsDigit(rest[close]))
            ++close;
        if (close == open + 1 || close == rest.size() || rest[close] != ']') return false;
        const std::size_t text = std::min(rest.find_first_not_of(' ', close + 1), rest.size());
        m.kind = kind;
        m.text =
            std::string(rest.substr(open, close + 1 - open)) + " " + std::string(rest.substr(text));
        return true;
    }
    return false;
}

// "FILE:LINE:Kind[NNN] text" at the first colon where ":LINE:Kind[NNN]" follows, or
// "Kind[NNN] text" alone. Each colon is looked at once and only the digits after it are
// scanned, so any length takes linear time.
bool ParseMessageLine(std::string_view line, AssemblerMessage& m) {
    if (ParseKind(line, m)) return true;
    for (std::size_t colon = line.find(':'); colon != std::string_view::npos;
         colon = line.find(':', colon + 1)) {
        std::size_t end = colon + 1;
        while (end < line.size() && IsDigit(line[end]))
            ++end;
        if (end == colon + 1 || end == line.size() || line[end] != ':') continue;
        if (!ParseKind(line.substr(end + 1), m)) continue;
        m.file = std::string(line.substr(0, colon));
        // A number too large for an int names no line.
        if (std::from_chars(line.data() + colon + 1, line.data() + end, m.line).ec != std::errc())
            m.line = 0;
        return true;
    }
    return false;
}

}  // namespace

std::vector<AssemblerMessage> ParseGpasmOutput(std::string_view output) {
    std::vector<AssemblerMessage> out;
    std::size_t start = 0;
    while (start < output.size()) {
        std::size_t end = output.find('\n', start);
        if (end == std::string_view::npos) end = output.size();
        std::string_view line = output.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.find_first_not_of(" \t") == std::string_view::npos) continue;
        AssemblerMessage m;
        if (!ParseMessageLine(line, m)) m.text = std::string(line);
        out.push_back(std::move(m));
    }
    return out;
}

AssemblyOutcome Assemble(const AssemblerOptions& options) {
    AssemblyOutcome o;
    o.source = options.source;
    const std::string& src = options.source;
    const std::size_t slash = src.rfind('/');
    const std::string dir =
        slash == std::string::npos ? "." : (slash == 0 ? "/" : src.substr(0, slash));
    const std::string name = slash == std::string::npos ? src : src.substr(slash + 1);
    std::string stem = name.substr(0, name.rfind('.'));
    if (stem.empty()) stem = name;
    const fs::path base = fs::path(dir) / stem;
    o.hex = base.string() + ".hex";
    const std::string lst = base.string() + ".lst", err = base.string() + ".err";

    // Refused before anything is touched: a source that is not there, or one that could block
    // gpasm or never end (a FIFO, a device).
    struct stat st {};
    if (stat(src.c_str(), &st) != 0) {
        o.problem = errno == ENOENT ? "no existe el fichero fuente"
                                    : "no se puede leer el fichero fuente: " + Why(errno);
        return o;
    }
    if (!S_ISREG(st.st_mode)) {
        o.problem =
            S_ISDIR(st.st_mode) ? "el fuente es una carpeta" : "el fuente no es un fichero normal";
        return o;
    }
    if (access(src.c_str(), R_OK) != 0) {
        o.problem = "no se puede leer el fichero fuente: " + Why(errno);
        return o;
    }
    if (!OnPath("gpasm")) {
        o.problem = "no se encuentra gpasm (instale el paquete gputils)";
        PutInPlace(err, "mpasmwin.exe: " + o.problem + "\n");
        return o;
    }
    ScratchDir scratch;
    if (scratch.path().empty()) {
        o.problem = "no se puede crear un directorio temporal";
        return o;
    }
    // gpasm writes its .cod and .lst beside its output: all of it goes to the scratch directory
    // and only the HEX file and the listing come back.
    std::vector<std::string> args{"-a", options.format, "-I", dir};
    if (options.caseInsensitive) args.push_back("-i");
    if (!options.radix.empty()) args.insert(args.end(), {"-r", options.radix});
    if (!options.warningLevel.empty()) args.insert(args.end(), {"-w", options.warningLevel});
    if (!options.processor.empty()) args.insert(args.end(), {"-p", options.processor});
    const fs::path outHex = scratch.path() / "out.hex", outLst = scratch.path() / "out.lst";
    const fs::path messages = scratch.path() / "messages";
    args.insert(args.end(), {"-o", outHex.string(), src});
    const GpasmRun run = RunGpasm(args, messages.string(), options.timeLimit);
    std::string text = ReadAll(messages);
    o.messages = ParseGpasmOutput(text);

    const bool ran = run.started && (run.timedOut || run.signal != 0 || run.status != 127);
    const bool good = run.status == 0 && !run.timedOut && fs::exists(outHex);
    if (!ran) {
        o.problem = "no se puede ejecutar gpasm";
    } else if (run.timedOut) {
        o.problem = "gpasm no ha terminado en " +
                    std::to_string((options.timeLimit.count() + 999) / 1000) +
                    " s y se ha detenido";
    } else if (run.signal == SIGXFSZ) {
        o.problem =
            "gpasm ha escrito más de " + std::to_string(kMaxOutput >> 20) + " MiB y se ha detenido";
    } else if (run.signal != 0) {
        o.problem = "gpasm ha terminado por la señal " + std::to_string(run.signal);
    } else if (!good && Count(o, AssemblerMessage::Kind::Error) == 0) {
        o.problem = run.status == 0
                        ? "gpasm no ha escrito ningún fichero HEX"
                        : "gpasm ha terminado con el estado " + std::to_string(run.status);
    }
    if (!o.problem.empty()) text += "mpasmwin.exe: " + o.problem + "\n";
    if (!ran) {
        PutInPlace(err, text);
        return o;
    }

    // A listing of an older source would mislead: it goes when no new one takes its place.
    if (!run.timedOut && fs::exists(outLst) && PutInPlace(lst, ReadAll(outLst)).empty()) {
        o.listing = lst;
    } else {
        RemoveFile(lst);
    }
    if (text.empty()) {
        RemoveFile(err);
    } else {
        PutInPlace(err, text);
    }
    if (good) {
        o.hexProblem = PutInPlace(o.hex, ReadAll(outHex));
        o.ok = o.hexProblem.empty();
        return o;
    }
    // gpasm failed on the source: loading the old HEX file would run the previous program as
    // if it were the one just assembled.
    o.staleHexRemoved = RemoveFile(o.hex);
    return o;
}

std::string KindText(AssemblerMessage::Kind kind) {
    switch (kind) {
        case AssemblerMessage::Kind::Error:
            return "Error";
        case AssemblerMessage::Kind::Warning:
            return "Aviso";
        case AssemblerMessage::Kind::Message:
            return "Mensaje";
        case AssemblerMessage::Kind::Other:
            break;
    }
    return "Nota";
}

std::string WhereText(const AssemblerMessage& m, const std::string& source) {
    std::string where;
    if (!m.file.empty() && m.file != source) where = fs::path(m.file).filename().string();
    if (m.line > 0) where += (where.empty() ? "línea " : ", línea ") + std::to_string(m.line);
    return where;
}

std::string VerdictText(const AssemblyOutcome& o) {
    if (o.ok) return "Sin errores";
    if (!o.hexProblem.empty()) return "No se ha podido escribir el fichero HEX";
    return o.problem.empty() ? "Con errores" : "No se ha podido ensamblar: " + o.problem;
}

std::string CountsText(const AssemblyOutcome& o) {
    return "Errores: " + std::to_string(Count(o, AssemblerMessage::Kind::Error)) +
           ", avisos: " + std::to_string(Count(o, AssemblerMessage::Kind::Warning)) +
           ", mensajes: " + std::to_string(Count(o, AssemblerMessage::Kind::Message));
}

std::string HexText(const AssemblyOutcome& o) {
    if (o.ok) return "Fichero HEX escrito: " + o.hex;
    if (!o.hexProblem.empty()) return "No se ha podido escribir " + o.hex + ": " + o.hexProblem;
    if (o.staleHexRemoved)
        return "No se ha escrito ningún fichero HEX; se ha borrado el anterior: " + o.hex;
    return "No se ha escrito ningún fichero HEX.";
}

std::string ReportText(const AssemblyOutcome& o) {
    std::string r = "Fuente: " + o.source + "\n" + VerdictText(o) + "\n" + CountsText(o) + "\n";
    for (const auto& m : o.messages) {
        const std::string where = WhereText(m, o.source);
        r += KindText(m.kind) + (where.empty() ? "" : ", " + where) + ": " + m.text + "\n";
    }
    r += HexText(o) + "\n";
    if (!o.listing.empty()) r += "Listado: " + o.listing + "\n";
    return r;
}

namespace {

constexpr std::string_view kTextMark = "vintrel-ensamblado";
constexpr std::string_view kKindCodes = "EWMO";

// Each field as its length, a colon and its bytes: any byte may appear in gpasm's messages.
void Put(std::string& out, std::string_view field) {
    out += std::to_string(field.size());
    out += ':';
    out += field;
}

bool Take(std::string_view& in, std::string_view& field) {
    std::size_t n = 0;
    const char* end = in.data() + in.size();
    const auto r = std::from_chars(in.data(), end, n);
    if (r.ec != std::errc() || r.ptr == end || *r.ptr != ':') return false;
    const auto used = static_cast<std::size_t>(r.ptr - in.data()) + 1;
    if (n > in.size() - used) return false;
    field = in.substr(used, n);
    in.remove_prefix(used + n);
    return true;
}

}  // namespace

std::string OutcomeToText(const AssemblyOutcome& o) {
    std::string t;
    for (std::string_view f :
         {kTextMark, std::string_view(o.source), std::string_view(o.ok ? "1" : "0"),
          std::string_view(o.hex), std::string_view(o.staleHexRemoved ? "1" : "0"),
          std::string_view(o.listing), std::string_view(o.problem), std::string_view(o.hexProblem)})
        Put(t, f);
    for (const auto& m : o.messages) {
        Put(t, kKindCodes.substr(static_cast<std::size_t>(m.kind), 1));
        Put(t, m.file);
        Put(t, std::to_string(m.line));
        Put(t, m.text);
    }
    return t;
}

bool OutcomeFromText(std::string_view t, AssemblyOutcome& o) {
    std::string_view f[8];
    for (auto& field : f)
        if (!Take(t, field)) return false;
    if (f[0] != kTextMark) return false;
    o = AssemblyOutcome{};
    o.source = f[1];
    o.ok = f[2] == "1";
    o.hex = f[3];
    o.staleHexRemoved = f[4] == "1";
    o.listing = f[5];
    o.problem = f[6];
    o.hexProblem = f[7];
    while (!t.empty()) {
        std::string_view kind, file, line, text;
        if (!Take(t, kind) || !Take(t, file) || !Take(t, line) || !Take(t, text)) return false;
        const std::size_t k = kind.size() == 1 ? kKindCodes.find(kind[0]) : std::string::npos;
        if (k == std::string::npos) return false;
        AssemblerMessage m;
        m.kind = static_cast<AssemblerMessage::Kind>(k);
        m.file = file;
        if (std::from_chars(line.data(), line.data() + line.size(), m.line).ec != std::errc())
            return false;
        m.text = text;
        o.messages.push_back(std::move(m));
    }
    return true;
}

}  // namespace vintrel::tools
