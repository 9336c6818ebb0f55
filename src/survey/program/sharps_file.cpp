#include "survey/program/sharps_file.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <optional>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "survey/ledger/slices.hpp"
#include "survey/program/number_expression.hpp"
#include "survey/survey_constants.hpp"

namespace sharp::survey {

namespace {

// The longest table file read: 4096 numbers of 20 digits with a comment each fit.
constexpr std::size_t kMostTableBytes = std::size_t{1} << 22;

// Reads the file into `text`: the refusal, or nothing. Opened without waiting, so that
// a FIFO or a device is refused by its kind instead of blocking or being read.
std::optional<std::string> readText(const std::string& path, std::string& text) {
    const std::string name = "--sharps " + path;
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return name + ": " + std::strerror(errno);
    struct stat info {};
    std::string refusal;
    if (::fstat(fd, &info) != 0) {
        refusal = name + ": " + std::strerror(errno);
    } else if (!S_ISREG(info.st_mode)) {
        refusal = name + " is not a regular file";
    } else if (static_cast<std::uint64_t>(info.st_size) > kMostTableBytes) {
        refusal = name + " is larger than a table of " + std::to_string(kMostSharps) + " numbers can be (4 MiB)";
    } else {
        char buffer[1 << 16];
        for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) != 0;) {
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) {
                refusal = name + ": " + std::strerror(errno);
                break;
            }
            text.append(buffer, static_cast<std::size_t>(got));
            if (text.size() > kMostTableBytes) {
                refusal = name + " grew past 4 MiB while it was read";
                break;
            }
        }
    }
    ::close(fd);
    if (!refusal.empty()) return refusal;
    return std::nullopt;
}

// The line without its comment and the blanks around it.
std::string_view contentOf(std::string_view line) {
    line = line.substr(0, line.find('#'));
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!line.empty() && blank(line.front())) line.remove_prefix(1);
    while (!line.empty() && blank(line.back())) line.remove_suffix(1);
    return line;
}

}  // namespace

std::variant<std::shared_ptr<const SharpSet>, std::string> readSharpsFile(const std::string& path) {
    std::string text;
    if (auto refusal = readText(path, text)) return *refusal;
    const std::string_view all = text;
    std::map<Uint128, std::size_t> lineOf;  // each number and the line it stands on
    std::size_t lineNumber = 0;
    for (std::size_t start = 0; start < all.size();) {
        const std::size_t end = std::min(all.find('\n', start), all.size());
        ++lineNumber;
        const std::string_view content = contentOf(all.substr(start, end - start));
        start = end + 1;
        if (content.empty()) continue;
        const std::string at = "--sharps " + path + ": line " + std::to_string(lineNumber) + ": ";
        const auto parsed = parseSurveyNumber(content);
        if (const auto* message = std::get_if<std::string>(&parsed)) return at + *message;
        const Uint128 s = std::get<Uint128>(parsed);
        // A number that parsed is printable; only its length needs a bound.
        const std::string number = content.size() <= kQuotedChars ? std::string(content) : quotedForMessage(content);
        if (s == 0) return at + "0 is no sharp number: they are even, from 2 to 2^128-2";
        if (s % 2 != 0) return at + number + " is odd: sharp numbers are even";
        const auto [where, added] = lineOf.emplace(s, lineNumber);
        if (!added) return at + number + " is on line " + std::to_string(where->second) + " already";
        if (lineOf.size() > kMostSharps) return at + "more than " + std::to_string(kMostSharps) + " sharp numbers";
    }
    if (lineOf.empty()) return "--sharps " + path + " holds no sharp number";
    std::vector<std::uint64_t> ascending;
    std::vector<Uint128> beyond;
    for (const auto& [s, line] : lineOf) {
        if (s < kTwoTo64) {
            ascending.push_back(static_cast<std::uint64_t>(s));
        } else {
            beyond.push_back(s);
        }
    }
    return std::make_shared<const SharpSet>(std::move(ascending), std::move(beyond));
}

std::string sharpsDigest(const SharpSet& sharps) {
    if (sharps.isBuiltIn()) return {};
    std::string text;
    for (const std::uint64_t s : sharps.ascending()) text += std::to_string(s) + ',';
    for (const Uint128 s : sharps.beyond()) text += decimal(s) + ',';
    return checksumOf(text);
}

}  // namespace sharp::survey
