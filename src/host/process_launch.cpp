#include "host/process_launch.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

extern char** environ;

namespace vintrel {

namespace {

bool IsExecutableFile(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

std::string JoinPath(const std::string& dir, std::string_view name) {
    std::string p = dir;
    if (p.empty() || p.back() != '/') p += '/';
    p += name;
    return p;
}

// Everything the child needs, prepared before the fork: between fork and exec only
// async-signal-safe calls are allowed, so nothing there may allocate.
struct SpawnPlan {
    std::string path;
    std::vector<std::string> words;
    std::vector<char*> argv;
    std::vector<std::string> env;
    std::vector<char*> envp;
    int maxFd = 1024;
};

[[noreturn]] void ReportAndExit(int fd, int err, int status) {
    // A short write to a pipe of an int cannot be partial; nothing to do if it fails anyway.
    ssize_t n = write(fd, &err, sizeof err);
    (void)n;
    _exit(status);
}

[[noreturn]] void RunGrandchild(const SpawnPlan& plan, int reportFd) {
    // Defaults for every signal, then an empty mask: the program must not inherit what the
    // simulator ignores (SIGPIPE, say) or blocks.
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    for (int sig = 1; sig < NSIG; ++sig)
        sigaction(sig, &dfl, nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);

    int devnull = open("/dev/null", O_RDONLY);
    if (devnull < 0) ReportAndExit(reportFd, errno, 127);
    if (devnull != STDIN_FILENO) {
        if (dup2(devnull, STDIN_FILENO) < 0) ReportAndExit(reportFd, errno, 127);
        close(devnull);
    }

    // No descriptor of the simulator (sockets, files, the window system's connection) may
    // stay open in the program. The report pipe closes itself on exec.
    const unsigned lo = STDERR_FILENO + 1;
    const unsigned rep = static_cast<unsigned>(reportFd);
    bool closed = true;
    if (rep > lo && close_range(lo, rep - 1, 0) != 0) closed = false;
    if (closed && close_range(rep + 1, ~0U, 0) != 0) closed = false;
    if (!closed) {
        for (int fd = STDERR_FILENO + 1; fd < plan.maxFd; ++fd)
            if (fd != reportFd) close(fd);
    }

    execve(plan.path.c_str(), plan.argv.data(), plan.envp.data());
    ReportAndExit(reportFd, errno, 127);
}

bool Spawn(SpawnPlan& plan) {
    plan.argv.clear();
    for (auto& w : plan.words)
        plan.argv.push_back(w.data());
    plan.argv.push_back(nullptr);
    plan.envp.clear();
    for (auto& e : plan.env)
        plan.envp.push_back(e.data());
    plan.envp.push_back(nullptr);
    long openMax = sysconf(_SC_OPEN_MAX);
    if (openMax > 0) plan.maxFd = static_cast<int>(openMax < 65536 ? openMax : 65536);

    int report[2];
    if (pipe2(report, O_CLOEXEC) != 0) return false;
    // With a standard descriptor closed in the simulator the pipe could land on 0 to 2, where
    // the child's stdin would overwrite it.
    for (int& fd : report) {
        if (fd > STDERR_FILENO) continue;
        int moved = fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1);
        close(fd);
        fd = moved;
    }
    if (report[0] < 0 || report[1] < 0) {
        for (int fd : report)
            if (fd >= 0) close(fd);
        return false;
    }

    // No signal handler of the simulator may run in a child before the child has reset them.
    sigset_t all, saved;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &saved);

    const pid_t mid = fork();
    if (mid == 0) {
        // The intermediate child: a new session, then the program's own process, then gone,
        // so the program is nobody's child here and can never be left as a zombie.
        close(report[0]);
        setsid();
        const pid_t pid = fork();
        if (pid < 0) ReportAndExit(report[1], errno, 1);
        if (pid == 0) RunGrandchild(plan, report[1]);
        _exit(0);
    }
    pthread_sigmask(SIG_SETMASK, &saved, nullptr);
    close(report[1]);
    if (mid < 0) {
        close(report[0]);
        return false;
    }

    int status = 0;
    while (waitpid(mid, &status, 0) < 0 && errno == EINTR) {
    }
    // End of file without a word: exec succeeded and closed the pipe.
    int err = 0;
    ssize_t n;
    while ((n = read(report[0], &err, sizeof err)) < 0 && errno == EINTR) {
    }
    close(report[0]);
    return n == 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view commandLine) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < commandLine.size()) {
        if (commandLine[i] == ' ') {
            ++i;
            continue;
        }
        std::size_t end = commandLine.find(' ', i);
        if (end == std::string_view::npos) end = commandLine.size();
        words.emplace_back(commandLine.substr(i, end - i));
        i = end;
    }
    return words;
}

std::string FindProgram(const std::string& name, const std::string& appDir) {
    if (name.empty()) return {};
    if (name.find('/') != std::string::npos) return IsExecutableFile(name) ? name : std::string();
    if (!appDir.empty()) {
        std::string p = JoinPath(appDir, name);
        if (IsExecutableFile(p)) return p;
    }
    const char* env = std::getenv("PATH");
    std::string_view path = env ? env : "/usr/local/bin:/usr/bin:/bin";
    while (!path.empty()) {
        std::size_t colon = path.find(':');
        std::string_view dir = path.substr(0, colon);
        path = colon == std::string_view::npos ? std::string_view() : path.substr(colon + 1);
        if (dir.empty()) continue;
        std::string p = JoinPath(std::string(dir), name);
        if (IsExecutableFile(p)) return p;
    }
    return {};
}

std::string_view TextAfterFirstWord(std::string_view commandLine) {
    std::size_t i = commandLine.find_first_not_of(' ');
    if (i == std::string_view::npos) return {};
    i = commandLine.find(' ', i);
    if (i == std::string_view::npos) return {};
    i = commandLine.find_first_not_of(' ', i);
    return i == std::string_view::npos ? std::string_view() : commandLine.substr(i);
}

bool LaunchDetached(std::string_view commandLine, const std::string& appDir) {
    SpawnPlan plan;
    std::string_view rest;
    // The application path is put in front of the helpers' names unquoted; a directory whose
    // name holds spaces must still name one program, not split into several words.
    std::string prefix = appDir.empty() ? std::string() : JoinPath(appDir, "");
    if (!prefix.empty() && prefix.size() > 1 && commandLine.substr(0, prefix.size()) == prefix) {
        rest = TextAfterFirstWord(commandLine.substr(prefix.size()));
        plan.words = SplitCommandLine(commandLine.substr(prefix.size()));
        if (plan.words.empty() || commandLine[prefix.size()] == ' ') return false;
        plan.words[0] = prefix + plan.words[0];
        plan.path = IsExecutableFile(plan.words[0]) ? plan.words[0] : std::string();
    } else {
        rest = TextAfterFirstWord(commandLine);
        plan.words = SplitCommandLine(commandLine);
        if (plan.words.empty()) return false;
        plan.path = FindProgram(plan.words[0], appDir);
    }
    if (plan.path.empty()) return false;
    // A value inherited from whoever started the simulator must not reach the program.
    const std::string var = std::string(kArgumentTextVariable) + "=";
    for (char** e = environ; e != nullptr && *e != nullptr; ++e)
        if (std::string_view(*e).substr(0, var.size()) != var) plan.env.emplace_back(*e);
    plan.env.push_back(var + std::string(rest));
    return Spawn(plan);
}

}  // namespace vintrel
