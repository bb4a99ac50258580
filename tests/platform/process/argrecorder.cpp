// Test program started by the program-start tests: writes what it was
// started with to the file named by $ARGRECORD_FILE. Line 1 is its process
// id, line 2 its open descriptors above 2, then argv, one entry per line. The
// file is written aside and renamed, so a reader sees all of it or nothing.
#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    const char* target = std::getenv("ARGRECORD_FILE");
    if (!target) return 2;

    std::string descriptors;
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        const int own = ::dirfd(dir);
        while (const dirent* entry = ::readdir(dir)) {
            const int fd = std::atoi(entry->d_name);
            if (entry->d_name[0] != '.' && fd > 2 && fd != own)
                descriptors += std::to_string(fd) + " ";
        }
        ::closedir(dir);
    }

    const std::string part = std::string(target) + ".part";
    {
        std::ofstream out(part, std::ios::trunc);
        out << ::getpid() << '\n' << descriptors << '\n';
        for (int i = 0; i < argc; ++i) out << argv[i] << '\n';
        if (!out) return 3;
    }
    return std::rename(part.c_str(), target) == 0 ? 0 : 4;
}
