#include "run/channel.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace sharp {

Channel::~Channel() { close(); }

void Channel::attach(int fd) {
    close();
    fd_ = fd;
    owned_ = false;
}

int Channel::open(const char* diskPath) {
    close();
    report_ = nullptr;
    writeFailed_ = false;
    const int fd = ::open(diskPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, kReportFileMode);
    if (fd < 0) return errno;
    fd_ = fd;
    owned_ = true;
    return 0;
}

int Channel::open(const ReportPath& path) {
    const int error = open(path.disk);
    report_ = &path;
    if (error != 0) reportFailure("open", error);
    return error;
}

// Names the report file both as the messages show it and as it is on disk.
void Channel::reportFailure(const char* what, int error) const {
    std::fprintf(stderr, "sharp-primes: cannot %s %.*s (%s): %s\n", what, static_cast<int>(report_->shown.size()),
                 report_->shown.data(), report_->disk, std::strerror(error));
}

void Channel::close() {
    if (fd_ < 0) return;
    flush();
    if (owned_) ::close(fd_);
    fd_ = -1;
    owned_ = false;
}

void Channel::flush() {
    if (fd_ < 0 || used_ == 0) return;
    send(buffer_, used_);
    used_ = 0;
}

Channel& Channel::operator<<(std::int32_t value) {
    if (fd_ < 0) return *this;
    if (value < 0) append("-", 1);
    // The magnitude of the most negative value only fits unsigned.
    const std::uint32_t magnitude =
        value < 0 ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
    appendUnsigned(magnitude);
    return *this;
}

Channel& Channel::operator<<(double value) {
    if (fd_ < 0) return *this;
    char text[32];
    const int size = std::snprintf(text, sizeof text, "%g", value);
    if (size > 0) append(text, static_cast<std::size_t>(size));
    return *this;
}

void Channel::appendLong(const char* text, std::size_t size) {
    flush();
    if (size <= sizeof buffer_) {
        std::memcpy(buffer_, text, size);
        used_ = size;
    } else {
        send(text, size);
    }
}

void Channel::endLine() {
    append("\n", 1);
    flush();
}

void Channel::send(const char* data, std::size_t size) {
    // A failing write must not stop the run: the line is dropped, and the first
    // failure of a report file is named on standard error.
    while (size > 0) {
        const ssize_t written = ::write(fd_, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            if (report_ != nullptr && !writeFailed_) {
                writeFailed_ = true;
                reportFailure("write", errno);
            }
            return;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
}

}  // namespace sharp
