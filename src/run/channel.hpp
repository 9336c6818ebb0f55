// The six output channels: the console and the five report files.
//
// A channel collects the pieces of one line in a fixed buffer and hands the
// finished line to the system with a single write when the line ends, so a
// line is in its file the moment it ends and a killed run never leaves half a
// line behind. A channel whose file could not be opened drops every write.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "run/constants.hpp"

namespace sharp {

// Ends a line: a newline, then the finished line goes out to the system.
struct EndLine {};
inline constexpr EndLine eol{};

class Channel {
public:
    Channel() = default;
    ~Channel();
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    // Writes to an already open descriptor that the channel does not own (the console).
    void attach(int fd);

    // Opens a file for output: created or truncated, text, kReportFileMode.
    // Returns 0, or the errno of the failed open; the channel then drops every write.
    int open(const char* diskPath);

    // Opens a report file as open(path.disk) does. A file that cannot be opened,
    // and later the first write that fails, is named on standard error: the run
    // goes on, but the user learns that the file is missing or missing lines.
    int open(const ReportPath& path);

    // Sends what is pending and closes a file the channel owns; later writes are dropped.
    void close();

    bool isOpen() const { return fd_ >= 0; }

    // Sends text that has not yet been sent, even without a line end (a milestone mark).
    void flush();

    Channel& operator<<(std::string_view text) {
        if (fd_ >= 0) append(text.data(), text.size());
        return *this;
    }
    // A terminated text buffer, printed up to its terminator.
    Channel& operator<<(const char* text) { return *this << std::string_view(text, std::strlen(text)); }
    Channel& operator<<(char* text) { return *this << static_cast<const char*>(text); }
    Channel& operator<<(std::uint32_t value) {
        if (fd_ >= 0) appendUnsigned(value);
        return *this;
    }
    Channel& operator<<(std::int32_t value);
    // Rendered as the stream default: 6 significant digits, general notation.
    Channel& operator<<(double value);
    Channel& operator<<(EndLine) {
        if (fd_ >= 0) endLine();
        return *this;
    }
    // Any other type would be rendered by an unintended conversion: refuse it.
    template <class T>
    Channel& operator<<(T) = delete;

private:
    void append(const char* text, std::size_t size) {
        if (size <= sizeof buffer_ - used_) {
            std::memcpy(buffer_ + used_, text, size);
            used_ += size;
        } else {
            appendLong(text, size);
        }
    }
    void appendUnsigned(std::uint32_t value) {
        char digits[10];
        char* first = digits + sizeof digits;
        do {
            *--first = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value != 0);
        append(first, static_cast<std::size_t>(digits + sizeof digits - first));
    }
    void appendLong(const char* text, std::size_t size);
    void endLine();
    void send(const char* data, std::size_t size);
    void reportFailure(const char* what, int error) const;

    int fd_ = -1;
    bool owned_ = false;
    const ReportPath* report_ = nullptr;
    bool writeFailed_ = false;
    std::size_t used_ = 0;
    char buffer_[kChannelBufferSize];
};

}  // namespace sharp
