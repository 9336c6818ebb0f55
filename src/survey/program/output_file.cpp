#include "survey/program/output_file.hpp"

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "survey/ledger/state_file.hpp"
#include "survey/program/ending_signals.hpp"
#include "survey/program/standard_streams.hpp"

namespace sharp::survey {

namespace {

// Bytes held before they are written out.
constexpr std::size_t kHeldBytes = 1 << 16;

// Set in the environment, this makes every scratch file a named one, as on a file
// system without unnamed files: the way tests reach that path and its signal handler.
constexpr const char* kNamedScratchSwitch = "SHARP_SURVEY_NAMED_SCRATCH";

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

// The path with its folder resolved (links, "..", "."); the path itself when its
// folder does not exist.
std::string resolvedPath(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    char resolved[PATH_MAX];
    if (::realpath(folderOf(path).c_str(), resolved) == nullptr) return path;
    return std::string(resolved) + "/" + name;
}

// What a path names: standard output, an existing file by device and inode (through
// links), a new one by its resolved path.
std::string identityOf(const std::string& path) {
    if (namesStandardOutput(path)) return "standard output";
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0) {
        return "file " + std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino);
    }
    return "path " + resolvedPath(path);
}

// Links followed in a chain at most, as the system does: past it, a loop.
constexpr int kMostLinks = 40;

// The file a link leads to, or the path itself; a link to nothing leads to the file it
// names, made there as the shell's > would, so that the link stays.
std::string followedPath(const std::string& path) {
    std::string at = path;
    for (int followed = 0; followed < kMostLinks; ++followed) {
        struct stat status {};
        if (::lstat(at.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) break;
        char target[PATH_MAX];
        const ssize_t length = ::readlink(at.c_str(), target, sizeof target - 1);
        if (length <= 0) break;
        const std::string named(target, static_cast<std::size_t>(length));
        at = named.front() == '/' || at.find('/') == std::string::npos ? named : folderOf(at) + "/" + named;
    }
    return resolvedPath(at);
}

// Why the regular file at `path` may not be replaced, or nothing: nothing the user
// named is lost or changed without a word, and what would fail is refused up front.
std::optional<std::string> replacementRefusal(const std::string& path, const std::string& finalPath,
                                              const struct stat& status) {
    if (status.st_nlink > 1) {
        return path + " has other names (hard links), which a replaced file would no longer share; "
                      "give another file, or remove the other names";
    }
    if ((status.st_mode & 0222) == 0 || ::access(finalPath.c_str(), W_OK) != 0) {
        return path + " is read-only; give another file, or make it writable";
    }
    const std::string folder = folderOf(finalPath);
    struct stat holder {};
    if (::access(folder.c_str(), W_OK | X_OK) != 0 || ::stat(folder.c_str(), &holder) != 0) {
        return "cannot replace " + path + ": its folder " + folder + " is not writable";
    }
    // A sticky folder (/tmp) lets only a file's owner, or the folder's, replace it.
    const uid_t self = ::geteuid();
    if ((holder.st_mode & S_ISVTX) != 0 && self != 0 && status.st_uid != self && holder.st_uid != self) {
        return "cannot replace " + path + ": it belongs to another user in the sticky folder " + folder;
    }
    return std::nullopt;
}

// The bits a new file gets: read-write for all, less the process's umask.
mode_t newFileMode() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// A name beside `path` that no file has yet, for this run's scratch file.
std::string scratchNameFor(const std::string& path, unsigned attempt) {
    return path + ".part-" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
}

}  // namespace

OutputFile::~OutputFile() {
    if (fd_ < 0 || standardOutput_) return;
    ::close(fd_);
    if (!scratchName_.empty()) {
        ::unlink(scratchName_.c_str());
        forgetScratch(scratchName_);
    }
}

bool OutputFile::open(const std::string& path, std::string& error) {
    shownPath_ = path;
    if (namesStandardOutput(path)) {
        if (standardStreamClosed(STDOUT_FILENO)) {
            error = "cannot write " + path + ": standard output is closed";
            return false;
        }
        standardOutput_ = true;
        fd_ = STDOUT_FILENO;
        return true;
    }
    struct stat status {};
    const bool exists = ::stat(path.c_str(), &status) == 0;
    if (exists && !S_ISREG(status.st_mode)) {
        // Renaming over a device or a FIFO would replace it with a file: write to it.
        fd_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd_ < 0) error = "cannot write " + path + ": " + std::strerror(errno);
        return fd_ >= 0;
    }
    replaces_ = true;
    finalPath_ = followedPath(path);
    if (exists) {
        if (auto refusal = replacementRefusal(path, finalPath_, status)) {
            error = *refusal;
            return false;
        }
    }
    // Unnamed, the scratch file is this run's alone and vanishes with it, however it ends.
    if (std::getenv(kNamedScratchSwitch) == nullptr) {
        fd_ = ::open(folderOf(finalPath_).c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    } else {
        errno = EOPNOTSUPP;
    }
    if (fd_ < 0 && (errno == EOPNOTSUPP || errno == EISDIR)) {
        // A file system without unnamed files: a new name, created exclusively.
        std::string name = finalPath_ + ".part-XXXXXX";
        fd_ = ::mkostemp(name.data(), O_CLOEXEC);
        if (fd_ >= 0) {
            scratchName_ = name;
            noteScratch(name);
            ::fchmod(fd_, newFileMode());
        }
    }
    if (fd_ < 0) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    if (exists) ::fchmod(fd_, status.st_mode & 07777);  // a replaced file keeps its bits
    return true;
}

void OutputFile::write(std::string_view text) {
    held_.append(text);
    if (held_.size() >= kHeldBytes) flushHeld();
}

void OutputFile::flushHeld() {
    for (std::size_t done = 0; done < held_.size() && firstError_ == 0;) {
        const ssize_t wrote = ::write(fd_, held_.data() + done, held_.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) {
            firstError_ = wrote == 0 ? ENOSPC : errno;
            break;
        }
        done += static_cast<std::size_t>(wrote);
    }
    held_.clear();
}

bool OutputFile::putInPlace() {
    if (scratchName_.empty()) {
        // An unnamed file gets a name of its own first: rename then replaces the old
        // file in one step, and nothing half-written is ever under the final name.
        const std::string self = "/proc/self/fd/" + std::to_string(fd_);
        for (unsigned attempt = 0; scratchName_.empty(); ++attempt) {
            const std::string name = scratchNameFor(finalPath_, attempt);
            noteScratch(name);
            if (::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
                ::linkat(fd_, "", AT_FDCWD, name.c_str(), AT_EMPTY_PATH) == 0) {
                scratchName_ = name;
                break;
            }
            const int cause = errno;
            forgetScratch(name);
            if (cause != EEXIST) {
                firstError_ = cause;
                return false;
            }
        }
    }
    if (::rename(scratchName_.c_str(), finalPath_.c_str()) != 0) {
        firstError_ = errno;
        return false;
    }
    forgetScratch(scratchName_);
    scratchName_.clear();
    return true;
}

bool OutputFile::commit(std::string& error) {
    flushHeld();
    if (firstError_ == 0 && replaces_ && ::fsync(fd_) != 0) firstError_ = errno;
    if (firstError_ == 0 && replaces_) putInPlace();
    if (!standardOutput_ && ::close(fd_) != 0 && firstError_ == 0) firstError_ = errno;
    fd_ = -1;
    if (!scratchName_.empty()) {
        ::unlink(scratchName_.c_str());
        forgetScratch(scratchName_);
        scratchName_.clear();
    }
    if (firstError_ != 0) {
        error = "cannot write " + shownPath_ + ": " + std::strerror(firstError_);
        return false;
    }
    if (replaces_) syncFolderOf(finalPath_);
    return true;
}

std::optional<std::string> sameFileRefusal(const std::vector<NamedOutput>& outputs, const std::string& state) {
    struct Named {
        std::string option, path, identity;
    };
    std::vector<Named> named;
    for (const auto& [option, path] : outputs) {
        if (!path.empty()) named.push_back({option, path, identityOf(path)});
    }
    if (!state.empty()) {
        named.push_back({"--state", state, identityOf(state)});
        // The table goes to standard output: written over the state file, it would leave
        // a file no resume can read.
        if (named.back().identity == "standard output") {
            return "--state " + state + " is where standard output goes; give the state file another name";
        }
    }
    for (std::size_t i = 0; i < named.size(); ++i) {
        for (std::size_t j = i + 1; j < named.size(); ++j) {
            if (named[i].identity != named[j].identity) continue;
            return named[i].option + " " + named[i].path + " and " + named[j].option + " " + named[j].path +
                   " name the same file; give each its own";
        }
    }
    return std::nullopt;
}

}  // namespace sharp::survey
