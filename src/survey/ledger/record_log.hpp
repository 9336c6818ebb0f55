// A file of slice records, one line each, appended and read back by offset: the
// state file of a resumable survey, or an unnamed scratch file, so that finished
// slices' tossed candidates wait on disk instead of in memory.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace sharp::survey {

// A record file that cannot be used; the message is the one line the user sees.
class StateError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// `what`: the message, and the system's own words for errno.
std::string systemError(const std::string& what);

// Where a line stands in its file.
struct LineSpan {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;  // without the '\n'
};

class RecordLog {
public:
    // Takes `fd` (open for reading and writing, at its end); `name` names it in messages;
    // `durable`: each line is synced to disk before append returns.
    RecordLog(int fd, std::string name, bool durable);
    // An unnamed file in the folder of `path`, gone when closed; in the temporary
    // folder when `path` is standard output or no file ("-", a device).
    static RecordLog scratchBeside(const std::string& path);
    ~RecordLog();
    RecordLog(RecordLog&& other) noexcept;
    RecordLog(const RecordLog&) = delete;
    RecordLog& operator=(const RecordLog&) = delete;
    RecordLog& operator=(RecordLog&&) = delete;

    int fd() const { return fd_; }
    const std::string& name() const { return name_; }

    // Appends `line` (ending in '\n') and returns where it stands. When the write
    // fails (a full disk), the file is cut back to its last complete line, nothing is
    // appended after it any more, and StateError says why.
    LineSpan append(std::string_view line);
    // Cuts the file to its first `size` bytes, synced; StateError when that fails.
    void truncate(std::uint64_t size);
    // The line at `span`, without its '\n'.
    std::string read(LineSpan span) const;
    // The line that starts at `offset`, without its '\n', and where the next one starts
    // (`offset` itself at the end of the file).
    std::pair<std::string, std::uint64_t> readLine(std::uint64_t offset) const;

private:
    int fd_;
    std::string name_;
    bool durable_;
    std::uint64_t size_ = 0;
    bool broken_ = false;
};

}  // namespace sharp::survey
