// Command-line splitting and detached program start. The program is started
// through a short-lived intermediate process, so the started program is never
// our child and never becomes a zombie of the calling program; two pipes bring
// back its process id and, when exec fails, the reason.
#include "platform/process/shell.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>

extern char** environ;

namespace platform::process {
namespace fs = std::filesystem;

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::size_t skipBlanks(std::string_view text, std::size_t pos) {
    while (pos < text.size() && isBlank(text[pos])) ++pos;
    return pos;
}

// The platform counts command lines in UTF-16 code units: one per UTF-8
// sequence, two for characters outside the basic plane (4-byte sequences).
std::size_t utf16Length(std::string_view text) {
    std::size_t units = 0;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte & 0xC0) != 0x80) ++units;
        if (byte >= 0xF0) ++units;
    }
    return units;
}

bool isValidWindowStyle(int style) {
    return style >= Hide && style <= MinimizedNoFocus;
}

std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

bool isExecutableFile(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec) && ::access(path.c_str(), X_OK) == 0;
}

// A bare program name: the current directory first, then $PATH.
fs::path findBareProgram(const std::string& name) {
    std::error_code ec;
    const fs::path cwd = fs::current_path(ec);
    if (!ec) {
        if (auto entry = findEntryIgnoringCase(cwd, name)) return *entry;
    }
    if (const char* searchPath = std::getenv("PATH")) {
        std::string_view dirs(searchPath);
        while (!dirs.empty()) {
            const std::size_t end = dirs.find(':');
            const std::string_view dir = dirs.substr(0, end);
            dirs = end == std::string_view::npos ? std::string_view() : dirs.substr(end + 1);
            if (dir.empty()) continue;
            const fs::path candidate = fs::path(std::string(dir)) / name;
            if (isExecutableFile(candidate)) return candidate;
        }
    }
    throw ProcessError(FileNotFound, quoted(name));
}

fs::path locateProgram(const std::string& program) {
    const bool hasDirectory = program.find_first_of("\\/") != std::string::npos ||
                              (program.size() >= 2 && program[1] == ':');
    return hasDirectory ? toLocalPath(program) : findBareProgram(program);
}

// Reports a missing file or directory, a file that may not be run, or
// something that is no file at all, before anything is started.
void checkProgram(const fs::path& path, const std::string& given) {
    std::error_code ec;
    if (!fs::exists(path, ec)) {
        const bool directoryExists = fs::is_directory(path.parent_path(), ec);
        throw ProcessError(directoryExists ? FileNotFound : PathNotFound,
                           quoted(given) + " (" + path.string() + ")");
    }
    if (!fs::is_regular_file(path, ec))
        throw ProcessError(PathFileAccess, quoted(given) + " is not a file");
    if (::access(path.c_str(), X_OK) != 0)
        throw ProcessError(PermissionDenied, quoted(given) + " may not be run");
}

int numberForErrno(int error) {
    switch (error) {
        case ENOENT:
            return FileNotFound;
        case ENOTDIR:
            return PathNotFound;
        case EACCES:
        case EPERM:
            return PermissionDenied;
        case ENOEXEC:
        case ETXTBSY:
        case EISDIR:
        case ELIBBAD:
            return PathFileAccess;
        case ENOMEM:
        case EAGAIN:
            return OutOfMemory;
        default:
            return InvalidCall;
    }
}

[[noreturn]] void throwErrno(int error, const std::string& what) {
    throw ProcessError(numberForErrno(error), what + ": " + std::strerror(error));
}

// Reads exactly size bytes unless the writers are gone; returns the count.
std::size_t readFully(int fd, void* buffer, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, static_cast<char*>(buffer) + done, size - done);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (n == 0 || errno != EINTR)
            break;
    }
    return done;
}

void writeFully(int fd, const void* buffer, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, static_cast<const char*>(buffer) + done, size - done);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (n < 0 && errno != EINTR)
            return;
    }
}

class Pipe {
public:
    Pipe() {
        if (::pipe2(fds_, O_CLOEXEC) != 0) throwErrno(errno, "pipe");
    }
    ~Pipe() {
        closeRead();
        closeWrite();
    }
    Pipe(const Pipe&) = delete;
    Pipe& operator=(const Pipe&) = delete;

    int readEnd() const { return fds_[0]; }
    int writeEnd() const { return fds_[1]; }
    void closeRead() { closeFd(fds_[0]); }
    void closeWrite() { closeFd(fds_[1]); }

private:
    static void closeFd(int& fd) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
    int fds_[2] = {-1, -1};
};

struct StartReport {
    pid_t pid;
    int forkError;
};

// Runs in the forked grandchild: only async-signal-safe calls from here on.
[[noreturn]] void execProgram(const char* path, char* const* argv, char* const* envp, int errorFd) {
    ::setsid();
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction defaultAction {};
    defaultAction.sa_handler = SIG_DFL;
    ::sigaction(SIGPIPE, &defaultAction, nullptr);
    // Descriptors the caller left inheritable (database files, lock files)
    // must not live on in the started program.
    ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
    ::execve(path, argv, envp);
    const int error = errno;
    writeFully(errorFd, &error, sizeof error);
    ::_exit(127);
}

TaskId startDetached(const fs::path& program, const std::vector<std::string>& arguments) {
    // Everything the children need is prepared here: after fork in a
    // threaded program they may not allocate.
    const std::string path = program.string();
    std::vector<char*> argv;
    argv.reserve(arguments.size() + 2);
    argv.push_back(const_cast<char*>(path.c_str()));
    for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    char* const* envp = environ;

    Pipe report;
    Pipe execError;
    const pid_t middle = ::fork();
    if (middle < 0) throwErrno(errno, "fork");
    if (middle == 0) {
        // _Fork: the atfork handlers of the program's libraries ran once
        // already, and the child may only make async-signal-safe calls.
        StartReport message{::_Fork(), 0};
        if (message.pid == 0) execProgram(path.c_str(), argv.data(), envp, execError.writeEnd());
        if (message.pid < 0) message.forkError = errno;
        writeFully(report.writeEnd(), &message, sizeof message);
        ::_exit(0);
    }

    report.closeWrite();
    execError.closeWrite();
    int status = 0;
    while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }

    StartReport message{};
    if (readFully(report.readEnd(), &message, sizeof message) != sizeof message)
        throw ProcessError(InvalidCall, "the start of " + quoted(path) + " was interrupted");
    if (message.forkError != 0) throwErrno(message.forkError, "fork");
    int execErrno = 0;
    if (readFully(execError.readEnd(), &execErrno, sizeof execErrno) == sizeof execErrno)
        throwErrno(execErrno, quoted(path));
    return message.pid;
}

}  // namespace

SplitCommand splitCommandLine(std::string_view line) {
    SplitCommand result;
    std::size_t pos = skipBlanks(line, 0);

    bool inQuote = false;
    for (; pos < line.size() && (inQuote || !isBlank(line[pos])); ++pos) {
        if (line[pos] == '"')
            inQuote = !inQuote;
        else
            result.program += line[pos];
    }

    while ((pos = skipBlanks(line, pos)) < line.size()) {
        std::string argument;
        inQuote = false;
        while (pos < line.size() && (inQuote || !isBlank(line[pos]))) {
            std::size_t backslashes = 0;
            while (pos < line.size() && line[pos] == '\\') {
                ++backslashes;
                ++pos;
            }
            if (pos < line.size() && line[pos] == '"') {
                argument.append(backslashes / 2, '\\');
                if (backslashes % 2 == 1) {
                    argument += '"';
                } else if (inQuote && pos + 1 < line.size() && line[pos + 1] == '"') {
                    argument += '"';
                    ++pos;
                } else {
                    inQuote = !inQuote;
                }
                ++pos;
            } else {
                argument.append(backslashes, '\\');
                if (pos < line.size() && (inQuote || !isBlank(line[pos]))) argument += line[pos++];
            }
        }
        result.arguments.push_back(std::move(argument));
    }
    return result;
}

TaskId Shell(std::string_view commandLine, int windowStyle) {
    if (!isValidWindowStyle(windowStyle))
        throw ProcessError(InvalidCall, "window style " + std::to_string(windowStyle));
    if (commandLine.find('\0') != std::string_view::npos)
        throw ProcessError(InvalidCall, "NUL character in the command line");
    if (utf16Length(commandLine) > kMaxCommandLineLength)
        throw ProcessError(InvalidCall, "command line longer than " +
                                            std::to_string(kMaxCommandLineLength) + " characters");

    const SplitCommand command = splitCommandLine(commandLine);
    if (command.program.empty()) throw ProcessError(InvalidCall, "empty command line");

    const fs::path program = locateProgram(command.program);
    checkProgram(program, command.program);
    return startDetached(program, command.arguments);
}

}  // namespace platform::process
