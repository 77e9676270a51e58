#include "assembly.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <system_error>

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

// Runs gpasm with `args` (no shell), its output going to `output`; the exit status, or -1.
int RunGpasm(const std::vector<std::string>& args, const std::string& output) {
    std::vector<std::string> words = args;
    words.insert(words.begin(), "gpasm");
    std::vector<char*> argv;
    for (auto& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        const int in = open("/dev/null", O_RDONLY);
        const int out = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0) _exit(126);
        dup2(in, STDIN_FILENO);
        dup2(out, STDOUT_FILENO);
        dup2(out, STDERR_FILENO);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Copies `from` to `to` through a scratch name and a rename, so a reader never sees half a file.
bool PutInPlace(const fs::path& from, const fs::path& to) {
    fs::path tmp = to;
    tmp += ".tmp." + std::to_string(getpid());
    std::error_code ec;
    fs::copy_file(from, tmp, fs::copy_options::overwrite_existing, ec);
    if (!ec) fs::rename(tmp, to, ec);
    if (ec) fs::remove(tmp, ec);
    return !ec;
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

std::vector<AssemblerMessage> ParseGpasmOutput(std::string_view output) {
    static const std::regex kLine(R"(^(.*):([0-9]+):(Error|Warning|Message) *(\[[0-9]+\]) *(.*)$)");
    std::vector<AssemblerMessage> out;
    std::size_t start = 0;
    while (start < output.size()) {
        std::size_t end = output.find('\n', start);
        if (end == std::string_view::npos) end = output.size();
        std::string line(output.substr(start, end - start));
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find_first_not_of(" \t") == std::string::npos) continue;
        AssemblerMessage m;
        std::smatch g;
        if (std::regex_match(line, g, kLine)) {
            m.file = g[1];
            m.line = std::atoi(g[2].str().c_str());
            const std::string kind = g[3];
            m.kind = kind == "Error"     ? AssemblerMessage::Kind::Error
                     : kind == "Warning" ? AssemblerMessage::Kind::Warning
                                         : AssemblerMessage::Kind::Message;
            m.text = g[4].str() + " " + g[5].str();
        } else {
            m.text = line;
        }
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

    std::error_code ec;
    auto fail = [&](const std::string& problem) {
        // A failed assembly leaves no HEX file: loading a stale one would run the previous
        // program as if it were the one just assembled.
        o.staleHexRemoved = fs::remove(o.hex, ec);
        o.problem = problem;
        return o;
    };

    if (!OnPath("gpasm")) {
        const std::string problem = "no se encuentra gpasm (instale el paquete gputils)";
        std::ofstream(err) << "mpasmwin.exe: " << problem << "\n";
        return fail(problem);
    }
    ScratchDir scratch;
    if (scratch.path().empty()) return fail("no se puede crear un directorio temporal");
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
    const int status = RunGpasm(args, messages.string());
    const std::string text = ReadAll(messages);
    o.messages = ParseGpasmOutput(text);

    if (fs::exists(outLst) && PutInPlace(outLst, lst)) {
        o.listing = lst;
    } else {
        fs::remove(lst, ec);  // a listing of an older source would mislead
    }
    if (text.empty()) {
        fs::remove(err, ec);
    } else {
        std::ofstream(err, std::ios::binary) << text;
    }

    if (status == 0 && fs::exists(outHex)) {
        if (!PutInPlace(outHex, o.hex)) return fail("no se puede escribir " + o.hex);
        o.ok = true;
        return o;
    }
    if (status != 0 && o.messages.empty()) {
        const std::string problem =
            status == 127 ? "no se puede ejecutar gpasm"
                          : "gpasm ha terminado con el estado " + std::to_string(status);
        std::ofstream(err) << "mpasmwin.exe: " << problem << "\n";
        return fail(problem);
    }
    return fail("");
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
    return o.problem.empty() ? "Con errores" : "No se ha podido ensamblar: " + o.problem;
}

std::string CountsText(const AssemblyOutcome& o) {
    return "Errores: " + std::to_string(Count(o, AssemblerMessage::Kind::Error)) +
           ", avisos: " + std::to_string(Count(o, AssemblerMessage::Kind::Warning)) +
           ", mensajes: " + std::to_string(Count(o, AssemblerMessage::Kind::Message));
}

std::string HexText(const AssemblyOutcome& o) {
    if (o.ok) return "Fichero HEX escrito: " + o.hex;
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
constexpr const char* kResultsMode = "--ensamblado";
constexpr std::size_t kFixedArguments = 7;
constexpr std::string_view kKindCodes = "EWMO";
}  // namespace

std::vector<std::string> OutcomeToArguments(const AssemblyOutcome& o) {
    std::vector<std::string> a{
        kResultsMode, o.source, o.ok ? "1" : "0", o.hex, o.staleHexRemoved ? "1" : "0",
        o.listing,    o.problem};
    for (const auto& m : o.messages) {
        a.emplace_back(1, kKindCodes[static_cast<std::size_t>(m.kind)]);
        a.push_back(m.file);
        a.push_back(std::to_string(m.line));
        a.push_back(m.text);
    }
    return a;
}

bool OutcomeFromArguments(const std::vector<std::string>& a, AssemblyOutcome& o) {
    if (a.size() < kFixedArguments || a[0] != kResultsMode || (a.size() - kFixedArguments) % 4 != 0)
        return false;
    o = AssemblyOutcome{};
    o.source = a[1];
    o.ok = a[2] == "1";
    o.hex = a[3];
    o.staleHexRemoved = a[4] == "1";
    o.listing = a[5];
    o.problem = a[6];
    for (std::size_t i = kFixedArguments; i < a.size(); i += 4) {
        const std::size_t k = a[i].size() == 1 ? kKindCodes.find(a[i][0]) : std::string::npos;
        if (k == std::string::npos) return false;
        AssemblerMessage m;
        m.kind = static_cast<AssemblerMessage::Kind>(k);
        m.file = a[i + 1];
        m.line = std::atoi(a[i + 2].c_str());
        m.text = a[i + 3];
        o.messages.push_back(std::move(m));
    }
    return true;
}

}  // namespace vintrel::tools
