#include "survey/program/output_file.hpp"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "survey/ledger/state_file.hpp"

namespace sharp::survey {

namespace {

// Bytes held before they are written out.
constexpr std::size_t kHeldBytes = 1 << 16;

// The path with its folder resolved (links, "..", "."); the path itself when its
// folder does not exist.
std::string resolvedPath(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    char resolved[PATH_MAX];
    if (::realpath(folder.c_str(), resolved) == nullptr) return path;
    return std::string(resolved) + "/" + name;
}

// What a path names: an existing file by device and inode (through links), a new
// one by its resolved path.
std::string identityOf(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0) {
        return "file " + std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino);
    }
    return "path " + resolvedPath(path);
}

// The file a link leads to, or the path itself.
std::string followedPath(const std::string& path) {
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

}  // namespace

OutputFile::~OutputFile() {
    if (fd_ < 0 || isStandardOutput()) return;
    ::close(fd_);
    if (!partPath_.empty()) ::unlink(partPath_.c_str());
}

bool OutputFile::open(const std::string& path, std::string& error) {
    shownPath_ = path;
    if (path == kStandardOutputName) {
        fd_ = 1;
        return true;
    }
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0 && !S_ISREG(status.st_mode)) {
        // Renaming over a device or a FIFO would replace it with a file: write to it.
        fd_ = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd_ < 0) error = "cannot write " + path + ": " + std::strerror(errno);
        return fd_ >= 0;
    }
    finalPath_ = followedPath(path);
    partPath_ = finalPath_ + ".part";
    fd_ = ::open(partPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0664);
    if (fd_ < 0) {
        error = "cannot write " + (finalPath_ == path ? path : finalPath_) + ".part: " + std::strerror(errno);
        partPath_.clear();
    }
    return fd_ >= 0;
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

bool OutputFile::commit(std::string& error) {
    flushHeld();
    const bool regular = !partPath_.empty();
    if (firstError_ == 0 && regular && ::fsync(fd_) != 0) firstError_ = errno;
    if (!isStandardOutput() && ::close(fd_) != 0 && firstError_ == 0) firstError_ = errno;
    fd_ = -1;
    if (firstError_ == 0 && regular && ::rename(partPath_.c_str(), finalPath_.c_str()) != 0) firstError_ = errno;
    if (regular && firstError_ != 0) ::unlink(partPath_.c_str());
    partPath_.clear();
    if (firstError_ != 0) {
        error = "cannot write " + shownPath_ + ": " + std::strerror(firstError_);
        return false;
    }
    if (regular) syncFolderOf(finalPath_);
    return true;
}

std::optional<std::string> sameFileRefusal(const std::vector<NamedOutput>& outputs, const std::string& state) {
    struct Named {
        std::size_t owner;  // which option
        std::string option, path, identity;
    };
    std::vector<Named> named;
    for (std::size_t k = 0; k < outputs.size(); ++k) {
        const auto& [option, path] = outputs[k];
        if (path.empty()) continue;
        if (path == kStandardOutputName) {
            named.push_back({k, option, path, "standard output"});
            continue;
        }
        named.push_back({k, option, path, identityOf(path)});
        named.push_back({k, option + "'s part file", path + ".part", identityOf(followedPath(path) + ".part")});
    }
    if (!state.empty()) named.push_back({outputs.size(), "--state", state, identityOf(state)});
    for (std::size_t i = 0; i < named.size(); ++i) {
        for (std::size_t j = i + 1; j < named.size(); ++j) {
            if (named[i].identity != named[j].identity || named[i].owner == named[j].owner) continue;
            return named[i].option + " " + named[i].path + " and " + named[j].option + " " + named[j].path +
                   " name the same file; give each its own";
        }
    }
    return std::nullopt;
}

}  // namespace sharp::survey
