#include "run/prompt.hpp"

#include <cerrno>
#include <cstring>

#include <unistd.h>

namespace sharp {

InputReader::InputReader(int fd, Channel* tiedConsole) : fd_(fd), tied_(tiedConsole), next_(buffer_), end_(buffer_) {}

InputReader::InputReader(std::string_view bytes)
    : next_(bytes.data()), end_(bytes.data() + bytes.size()), ended_(true) {}

int InputReader::peek() {
    if (next_ == end_ && !refill()) return -1;
    return static_cast<unsigned char>(*next_);
}

int InputReader::get() {
    const int byte = peek();
    if (byte >= 0) ++next_;
    return byte;
}

bool InputReader::refill() {
    if (ended_) return false;
    if (tied_ != nullptr) tied_->flush();
    for (;;) {
        const ssize_t got = ::read(fd_, buffer_, sizeof buffer_);
        if (got > 0) {
            next_ = buffer_;
            end_ = buffer_ + got;
            return true;
        }
        if (got < 0 && errno == EINTR) continue;
        ended_ = true;
        return false;
    }
}

namespace {

// What one attempt to read an unsigned number found.
enum class Entry { number, outOfRange, notANumber, endOfInput };

bool isBlank(int byte) { return byte == ' ' || (byte >= '\t' && byte <= '\r'); }
bool isDigit(int byte) { return byte >= '0' && byte <= '9'; }

// Reads like a stream extraction of an unsigned number: blanks and line ends are
// skipped, an optional sign, then every digit. A negative number or one beyond
// 32 bits is out of range instead of wrapping around.
Entry extractUnsigned(InputReader& input, std::uint32_t& value) {
    while (isBlank(input.peek())) input.get();
    if (input.peek() < 0) return Entry::endOfInput;
    bool negative = false;
    if (input.peek() == '+' || input.peek() == '-') negative = input.get() == '-';
    if (!isDigit(input.peek())) return Entry::notANumber;
    bool tooLarge = false;
    std::uint64_t total = 0;
    while (isDigit(input.peek())) {
        total = total * 10 + static_cast<std::uint64_t>(input.get() - '0');
        if (total > UINT32_MAX) {
            tooLarge = true;
            total = UINT32_MAX;
        }
    }
    value = static_cast<std::uint32_t>(total);
    if (tooLarge || (negative && total != 0)) return Entry::outOfRange;
    return Entry::number;
}

void dropRestOfLine(InputReader& input) {
    for (int byte = input.get(); byte >= 0 && byte != '\n'; byte = input.get()) {
    }
}

bool acceptable(std::uint32_t endCandidate) {
    return endCandidate <= kMaxEndCandidate && endCandidate % 5 != 0 && endCandidate % 3 != 0;
}

}  // namespace

std::optional<std::uint32_t> readEndCandidate(Channel& console, InputReader& input) {
    for (;;) {
        console << "enter (end) candidate  < 100001 " << eol;
        std::uint32_t endCandidate = 0;
        switch (extractUnsigned(input, endCandidate)) {
            case Entry::endOfInput:
                return std::nullopt;
            case Entry::notANumber:
                // Nothing can be read from this line: drop it so the next prompt reads new input.
                dropRestOfLine(input);
                break;
            case Entry::outOfRange:
                input.get();
                break;
            case Entry::number:
                // Normally the line end that closes the entry.
                input.get();
                if (acceptable(endCandidate)) return endCandidate;
                break;
        }
        console << "enter odd, non-multiple of 3/5," << eol;
    }
}

void waitForKey(InputReader& input) { input.get(); }

}  // namespace sharp
