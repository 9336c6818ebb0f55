#include "survey/program/standard_streams.hpp"

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "survey/program/output_file.hpp"

namespace sharp::survey {

namespace {

bool closedAtStart[3] = {false, false, false};

}  // namespace

void reserveStandardStreams() {
    for (int fd = 0; fd < 3; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // The lowest free number is taken: this one, since the lower ones are open.
        const int held = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        closedAtStart[fd] = held == fd;
        if (held >= 0 && held != fd) ::close(held);
    }
    ::signal(SIGXFSZ, SIG_IGN);
}

bool standardStreamClosed(int fd) { return fd >= 0 && fd < 3 && closedAtStart[fd]; }

bool namesStandardOutput(const std::string& path) {
    if (path == kStandardOutputName) return true;
    if (standardStreamClosed(STDOUT_FILENO)) return false;
    struct stat named {}, output {};
    return ::stat(path.c_str(), &named) == 0 && ::fstat(STDOUT_FILENO, &output) == 0 &&
           named.st_dev == output.st_dev && named.st_ino == output.st_ino;
}

}  // namespace sharp::survey
