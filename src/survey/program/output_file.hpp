// The survey's output files: they appear only when complete, or go straight to a
// target that is no file to replace (standard output, a device, a FIFO).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sharp::survey {

// The name that stands for standard output in --csv and --tossed.
inline constexpr std::string_view kStandardOutputName = "-";

class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    // Prepares `path`: "-" is standard output; a target that exists and is no
    // regular file (a device, a FIFO, a link to one) is opened and written as it
    // is; any other is written as PATH.part and renamed by commit (a link to a
    // regular file keeps its place: its target is replaced). False with `error` set
    // when that fails.
    bool open(const std::string& path, std::string& error);
    bool isOpen() const { return fd_ >= 0; }
    bool isStandardOutput() const { return fd_ == 1; }
    void write(std::string_view text);
    // Writes out what is held and completes the file (synced, renamed, its folder
    // synced); false with `error` naming the first failure.
    bool commit(std::string& error);

private:
    void flushHeld();

    std::string shownPath_, finalPath_, partPath_;  // partPath_ empty: written directly
    int fd_ = -1;
    std::string held_;
    int firstError_ = 0;
};

// An output option and the path it names (empty: not given).
struct NamedOutput {
    std::string option, path;
};

// When two of the given paths (empty ones left out) name the same file, or one of
// them names the part file of another, the message that refuses them. The outputs
// are written through part files; the state file is written in place.
std::optional<std::string> sameFileRefusal(const std::vector<NamedOutput>& outputs, const std::string& state);

}  // namespace sharp::survey
