// The survey's output files: they appear only when complete, or go straight to a
// target that is no file to replace (standard output, a device, a FIFO).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace sharp::survey {

// The name that stands for standard output in --csv, --tossed and --expected.
inline constexpr std::string_view kStandardOutputName = "-";

class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    // Prepares `path`. Standard output (by what it is: "-", /dev/stdout, the file it
    // goes to) and a target that exists and is no regular file (a device, a FIFO, a
    // link to one) are written as they are. Any other is written to a scratch file of
    // this run alone (unnamed where the file system allows), which commit puts in
    // place with the replaced file's permission bits; a link to a regular file keeps
    // its place and its target is replaced. False with `error` set when that fails.
    bool open(const std::string& path, std::string& error);
    bool isOpen() const { return fd_ >= 0; }
    bool isStandardOutput() const { return standardOutput_; }
    void write(std::string_view text);
    // Writes out what is held and completes the file (synced, put in place, its
    // folder synced); false with `error` naming the first failure.
    bool commit(std::string& error);

private:
    void flushHeld();
    bool putInPlace();

    std::string shownPath_, finalPath_;
    std::string scratchName_;  // a named scratch file of this run, to remove; empty when unnamed
    bool replaces_ = false;    // written to a scratch file that commit puts in place
    bool standardOutput_ = false;
    int fd_ = -1;
    std::string held_;
    int firstError_ = 0;
};

// An output option and the path it names (empty: not given).
struct NamedOutput {
    std::string option, path;
};

// When two of the given paths (empty ones left out) name the same file, the message
// that refuses them.
std::optional<std::string> sameFileRefusal(const std::vector<NamedOutput>& outputs, const std::string& state);

}  // namespace sharp::survey
