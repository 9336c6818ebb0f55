#include "survey/ledger/record_log.hpp"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sharp::survey {

std::string systemError(const std::string& what) { return what + ": " + std::strerror(errno); }

RecordLog::RecordLog(int fd, std::string name, bool durable) : fd_(fd), name_(std::move(name)), durable_(durable) {
    const off_t end = ::lseek(fd_, 0, SEEK_END);
    if (end < 0) throw StateError(systemError("cannot seek " + name_));
    size_ = static_cast<std::uint64_t>(end);
}

RecordLog RecordLog::scratchBeside(const std::string& path) {
    struct stat status {};
    std::string named = path;
    if (::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) named.clear();
    const std::size_t slash = named.rfind('/');
    std::string folder = named.empty() || named == "-" ? "" : slash == std::string::npos ? "." : named.substr(0, slash + 1);
    if (folder.empty()) {
        const char* temporary = std::getenv("TMPDIR");
        folder = temporary == nullptr || *temporary == '\0' ? "/tmp" : temporary;
    }
    int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0) {
        // Filesystems without unnamed files: a named one, unlinked at once.
        std::string name = folder + "/sharp-survey-XXXXXX";
        fd = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd >= 0) ::unlink(name.c_str());
    }
    if (fd < 0) throw StateError(systemError("cannot create a scratch file in " + folder));
    return RecordLog(fd, "the scratch file in " + folder, false);
}

RecordLog::~RecordLog() {
    if (fd_ >= 0) ::close(fd_);
}

RecordLog::RecordLog(RecordLog&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      name_(std::move(other.name_)),
      durable_(other.durable_),
      size_(other.size_),
      broken_(other.broken_) {}

LineSpan RecordLog::append(std::string_view line) {
    if (broken_) throw StateError("cannot write " + name_ + " after an earlier failure");
    const std::uint64_t start = size_;
    for (std::size_t done = 0; done < line.size();) {
        const ssize_t wrote = ::pwrite(fd_, line.data() + done, line.size() - done, static_cast<off_t>(start + done));
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) {
            if (wrote == 0) errno = ENOSPC;
            const std::string failure = systemError("cannot write " + name_);
            broken_ = true;
            // The next run resumes from the complete lines: cut the partial one off.
            if (::ftruncate(fd_, static_cast<off_t>(start)) == 0) ::fsync(fd_);
            throw StateError(failure);
        }
        done += static_cast<std::size_t>(wrote);
    }
    if (durable_ && ::fsync(fd_) != 0) {
        const std::string failure = systemError("cannot sync " + name_);
        broken_ = true;
        if (::ftruncate(fd_, static_cast<off_t>(start)) == 0) ::fsync(fd_);
        throw StateError(failure);
    }
    size_ = start + line.size();
    return {start, line.size() - 1};
}

void RecordLog::truncate(std::uint64_t size) {
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0 || ::fsync(fd_) != 0) {
        throw StateError(systemError("cannot cut " + name_ + " short"));
    }
    size_ = size;
}

std::string RecordLog::read(LineSpan span) const {
    std::string line(span.length, '\0');
    for (std::size_t done = 0; done < line.size();) {
        const ssize_t got = ::pread(fd_, line.data() + done, line.size() - done, static_cast<off_t>(span.offset + done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            if (got == 0) errno = EIO;
            throw StateError(systemError("cannot read " + name_));
        }
        done += static_cast<std::size_t>(got);
    }
    return line;
}

std::pair<std::string, std::uint64_t> RecordLog::readLine(std::uint64_t offset) const {
    std::string line;
    char chunk[1 << 16];
    for (std::uint64_t at = offset;;) {
        const ssize_t got = ::pread(fd_, chunk, sizeof chunk, static_cast<off_t>(at));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) throw StateError(systemError("cannot read " + name_));
        const std::string_view piece(chunk, static_cast<std::size_t>(got));
        const std::size_t end = piece.find('\n');
        if (end != std::string_view::npos) {
            line.append(piece.substr(0, end));
            return {std::move(line), at + end + 1};
        }
        line.append(piece);
        at += static_cast<std::uint64_t>(got);
        if (got == 0) return {std::move(line), at};
    }
}

}  // namespace sharp::survey
