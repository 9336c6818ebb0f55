#include "survey/ledger/state_file.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sharp::survey {

namespace {

std::string systemError(const std::string& what) { return what + ": " + std::strerror(errno); }

}  // namespace

std::string stateHeader(std::uint64_t from, std::uint64_t to, const SliceLayout& slices, std::size_t buckets) {
    const std::string body = "sharp-survey state 1 from=" + std::to_string(from) + " to=" + std::to_string(to) +
                             " slice-words=" + std::to_string(slices.sliceWords) +
                             " slices=" + std::to_string(slices.count) + " buckets=" + std::to_string(buckets);
    return body + " #" + checksumOf(body);
}

StateFile::StateFile(const std::string& path, const std::string& header, std::uint64_t sliceCount,
                     std::size_t bucketCount)
    : path_(path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0664);
    if (fd_ < 0) throw StateError(systemError("cannot open state file " + path));
    if (flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        const bool busy = errno == EWOULDBLOCK;
        ::close(fd_);
        fd_ = -1;
        throw StateError(busy ? "state file " + path + " is in use by another survey"
                              : systemError("cannot lock state file " + path));
    }
    try {
        load(header, sliceCount, bucketCount);
    } catch (...) {
        ::close(fd_);
        fd_ = -1;
        throw;
    }
}

StateFile::~StateFile() {
    if (fd_ >= 0) ::close(fd_);
}

void StateFile::load(const std::string& header, std::uint64_t sliceCount, std::size_t bucketCount) {
    std::string text;
    char buffer[65536];
    for (ssize_t got; (got = ::read(fd_, buffer, sizeof buffer)) != 0;) {
        if (got < 0) throw StateError(systemError("cannot read state file " + path_));
        text.append(buffer, static_cast<std::size_t>(got));
    }
    std::vector<bool> seen(sliceCount);
    std::size_t start = 0;
    for (std::size_t lineNumber = 1; start < text.size(); ++lineNumber) {
        const std::size_t end = text.find('\n', start);
        const std::string_view line = std::string_view(text).substr(start, end == std::string::npos ? end : end - start);
        if (end == std::string::npos) {
            // Only a kill in the middle of a write leaves a line without its end.
            if (lineNumber == 1 && !header.starts_with(line)) refuseForeign(line);
            notes_.push_back("state file " + path_ + ": dropped a torn last line (line " +
                             std::to_string(lineNumber) + "); its slice is computed again");
            truncateTo(start);
            text.resize(start);
            break;
        }
        if (lineNumber == 1) {
            if (line != header) refuseForeign(line);
        } else {
            std::optional<SliceRecord> record = parseRecord(line);
            // A line can carry a good checksum and still not fit this survey: its
            // counts are summed by bucket, so every index must be one of ours.
            const bool fits = record && record->slice < sliceCount && !seen[record->slice] &&
                              std::all_of(record->bucketCounts.begin(), record->bucketCounts.end(),
                                          [&](const auto& entry) { return entry.first < bucketCount; });
            if (!fits) {
                throw StateError("state file " + path_ + " line " + std::to_string(lineNumber) +
                                 " is damaged; refusing to resume (remove the file to start over)");
            }
            seen[record->slice] = true;
            loaded_.push_back(std::move(*record));
        }
        start = end + 1;
    }
    if (::lseek(fd_, 0, SEEK_END) < 0) throw StateError(systemError("cannot seek state file " + path_));
    if (text.empty()) writeAll(header + "\n");
}

void StateFile::refuseForeign(std::string_view firstLine) const {
    const std::size_t mark = firstLine.rfind(" #");
    if (firstLine.starts_with("sharp-survey state ") && mark != std::string_view::npos &&
        firstLine.substr(mark + 2) == checksumOf(firstLine.substr(0, mark))) {
        throw StateError("state file " + path_ + " belongs to another survey (" +
                         std::string(firstLine.substr(0, mark)) + "); give another file or the same range");
    }
    throw StateError(path_ + " is not a sharp-survey state file (or its first line is damaged); give another file");
}

void StateFile::truncateTo(std::uint64_t size) {
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0 || ::fsync(fd_) != 0) {
        throw StateError(systemError("cannot cut the torn line off state file " + path_));
    }
}

void StateFile::writeAll(const std::string& text) {
    for (std::size_t done = 0; done < text.size();) {
        const ssize_t wrote = ::write(fd_, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) throw StateError(systemError("cannot write state file " + path_));
        done += static_cast<std::size_t>(wrote);
    }
    if (::fsync(fd_) != 0) throw StateError(systemError("cannot sync state file " + path_));
}

void StateFile::append(const SliceRecord& record) { writeAll(formatRecord(record)); }

}  // namespace sharp::survey
