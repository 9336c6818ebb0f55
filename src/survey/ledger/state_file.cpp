#include "survey/ledger/state_file.hpp"

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sharp::survey {

namespace {

// Up to here the earlier version's bucket ends, rounded in floating point, were the
// exact ones: its first that differs is 112201845430196343 (exactly, ...344).
constexpr std::uint64_t kFormerBucketEndsAgree = 100'000'000'000'000'000;

// Bytes read from the state file at a time; lines may be longer.
constexpr std::size_t kReadChunk = 1 << 16;

// Characters a first line may run past this survey's header and still be read whole:
// another survey's header with longer numbers or a sharp table's digest.
constexpr std::size_t kOtherHeaderRoom = 64;

// Opens `path` for reading and writing, creating it if missing; `created` says so.
int openState(const std::string& path, bool& created) {
    // Opening a device, even to look, may have effects of its own: what is no regular
    // file is refused unopened (and checked again once open).
    struct stat named {};
    if (::stat(path.c_str(), &named) == 0 && !S_ISREG(named.st_mode)) {
        throw StateError("state file " + path + " is not a regular file; give another file");
    }
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0664);
    created = fd >= 0;
    if (fd < 0 && errno == EEXIST) fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) throw StateError(systemError("cannot open state file " + path));
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        throw StateError("state file " + path + " is not a regular file; give another file");
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool busy = errno == EWOULDBLOCK;
        const std::string failure = systemError("cannot lock state file " + path);
        ::close(fd);
        throw StateError(busy ? "state file " + path + " is in use by another survey" : failure);
    }
    return fd;
}

std::string headerWithChecksum(const std::string& body) { return body + " #" + checksumOf(body); }

std::string headerBody(int version, std::uint64_t from, std::uint64_t to, const SliceLayout& slices,
                       std::size_t buckets) {
    return "sharp-survey state " + std::to_string(version) + " from=" + std::to_string(from) +
           " to=" + std::to_string(to) + " slice-words=" + std::to_string(slices.sliceWords) +
           " slices=" + std::to_string(slices.count) + " buckets=" + std::to_string(buckets);
}

}  // namespace

std::string stateHeader(std::uint64_t from, std::uint64_t to, const SliceLayout& slices,
                        const std::vector<std::uint64_t>& bucketEnds, const std::string& sharpsDigest,
                        TossedKept kept) {
    std::string ends;
    for (const std::uint64_t end : bucketEnds) ends += std::to_string(end) + ',';
    std::string body = headerBody(2, from, to, slices, bucketEnds.size()) + " bucket-ends=" + checksumOf(ends);
    if (!sharpsDigest.empty()) body += " sharps=" + sharpsDigest;
    if (kept == TossedKept::first) body += " tossed=first";
    return headerWithChecksum(body);
}

StateHeaders stateHeadersFor(TossedKept kept, const std::function<std::string(TossedKept)>& header,
                             const std::string& former) {
    StateHeaders headers;
    if (kept == TossedKept::first) headers.accepted.push_back(header(TossedKept::first));
    headers.accepted.push_back(header(TossedKept::all));
    if (!former.empty()) headers.accepted.push_back(former);
    if (kept == TossedKept::all) {
        headers.refused = header(TossedKept::first);
        headers.whyRefused = "was begun without --tossed and keeps no tossed list; leave out --tossed, or give another file";
    }
    return headers;
}

TossedKept keptByHeader(TossedKept kept, std::size_t index) {
    return kept == TossedKept::first && index == 0 ? TossedKept::first : TossedKept::all;
}

std::string formerStateHeader(std::uint64_t from, std::uint64_t to, const SliceLayout& slices, std::size_t buckets) {
    if (to > kFormerBucketEndsAgree) return {};
    return headerWithChecksum(headerBody(1, from, to, slices, buckets));
}

void syncFolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;  // nothing to sync through: the file itself is synced
    ::fsync(fd);
    ::close(fd);
}

StateFile::StateFile(const std::string& path, const StateHeaders& headers, const HeaderFound& found,
                     const Misfit& misfit, const Take& take)
    : path_(path), log_(openState(path, created_), "state file " + path, true) {
    if (created_) syncFolderOf(path);
    load(headers, found, misfit, take);
}

void StateFile::removeIfCreated() {
    if (created_) ::unlink(path_.c_str());
}

void StateFile::load(const StateHeaders& headers, const HeaderFound& found, const Misfit& misfit,
                     const Take& take) {
    const std::vector<std::string>& accepted = headers.accepted;
    std::string line, chunk(kReadChunk, '\0');
    std::uint64_t offset = 0, lineStart = 0, lineNumber = 1;
    // A line that does not read as a record: damage, unless it is the last line.
    std::optional<std::uint64_t> unreadable, unreadableStart;
    std::uint64_t position = 0;
    // Room for another survey's header, its range or its table longer, to be named as such.
    std::size_t longestHeader = headers.refused.size();
    for (const std::string& header : accepted) longestHeader = std::max(longestHeader, header.size());
    longestHeader += kOtherHeaderRoom;
    for (;;) {
        const ssize_t got = ::pread(log_.fd(), chunk.data(), chunk.size(), static_cast<off_t>(position));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) throw StateError(systemError("cannot read state file " + path_));
        if (got == 0) break;
        position += static_cast<std::uint64_t>(got);
        for (std::size_t i = 0; i < static_cast<std::size_t>(got); ++i, ++offset) {
            const char c = chunk[i];
            if (c != '\n') {
                line.push_back(c);
                if (lineNumber == 1 && line.size() > longestHeader) refuseForeign(line, headers);
                continue;
            }
            if (unreadable) {
                throw StateError("state file " + path_ + " line " + std::to_string(*unreadable) +
                                 " is damaged; refusing to resume (remove the file to start over)");
            }
            if (lineNumber == 1) {
                const auto match = std::find(accepted.begin(), accepted.end(), line);
                if (match == accepted.end()) refuseForeign(line, headers);
                found(static_cast<std::size_t>(match - accepted.begin()));
            } else if (std::optional<SliceRecord> record = parseRecord(line)) {
                if (const std::optional<std::string> why = misfit(*record)) {
                    throw StateError("state file " + path_ + " line " + std::to_string(lineNumber) + " is damaged (" +
                                     *why + "); refusing to resume (remove the file to start over)");
                }
                take(*record, {lineStart, line.size()});
            } else {
                unreadable = lineNumber;
                unreadableStart = lineStart;
            }
            line.clear();
            lineStart = offset + 1;
            ++lineNumber;
        }
    }
    if (unreadable) {
        // A complete line that does not read as a record, with nothing after it: the
        // write of it went wrong (a disk that lost its tail); as good as torn.
        cutAt(*unreadableStart, *unreadable, "damaged");
    } else if (!line.empty()) {
        // Only a kill in the middle of a write leaves a line without its end.
        const auto begun = [&](const std::string& header) { return header.starts_with(line); };
        if (lineNumber == 1 && std::none_of(accepted.begin(), accepted.end(), begun)) refuseForeign(line, headers);
        cutAt(lineStart, lineNumber, "torn");
    }
    if (lineStart == 0) {
        found(0);
        log_.append(accepted.front() + "\n");
    }
}

void StateFile::cutAt(std::uint64_t size, std::uint64_t lineNumber, const char* how) {
    notes_.push_back("state file " + path_ + ": dropped a " + how + " last line (line " + std::to_string(lineNumber) +
                     "); its slice is computed again");
    log_.truncate(size);
}

void StateFile::refuseForeign(std::string_view firstLine, const StateHeaders& headers) const {
    if (!headers.refused.empty() && firstLine == headers.refused) {
        throw StateError("state file " + path_ + " " + headers.whyRefused);
    }
    const std::size_t mark = firstLine.rfind(" #");
    if (firstLine.starts_with("sharp-survey ") && mark != std::string_view::npos &&
        firstLine.substr(mark + 2) == checksumOf(firstLine.substr(0, mark))) {
        throw StateError("state file " + path_ + " belongs to another survey (" +
                         std::string(firstLine.substr(0, mark)) + "); give another file, or the same range and sharp table");
    }
    throw StateError(path_ + " is not a sharp-survey state file (or its first line is damaged); give another file");
}

}  // namespace sharp::survey
