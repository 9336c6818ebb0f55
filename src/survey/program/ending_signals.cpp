#include "survey/program/ending_signals.hpp"

#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>
#include <mutex>

#include <unistd.h>

namespace sharp::survey {

namespace {

// Named scratch files at once: one per output, with room to spare.
constexpr std::size_t kScratchSlots = 8;

// The longest note a signal writes: room for a state file's whole path.
constexpr std::size_t kNoteBytes = PATH_MAX + 256;

// A handler may only touch memory that is there already: a fixed table of names and
// a fixed buffer for the note.
struct ScratchSlot {
    std::atomic<bool> used = false;
    char path[PATH_MAX] = {};
};
ScratchSlot scratchSlots[kScratchSlots];

char note[kNoteBytes] = {};
std::atomic<std::size_t> noteLength = 0;

void removeScratchAndEnd(int signal) {
    for (ScratchSlot& slot : scratchSlots) {
        if (slot.used.load()) ::unlink(slot.path);
    }
    if (const std::size_t length = noteLength.load(); length != 0) {
        [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, note, length);
    }
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

}  // namespace

void catchEndingSignals() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
            struct sigaction now {};
            // A signal ignored by whoever started the survey (nohup) stays ignored.
            if (::sigaction(signal, nullptr, &now) == 0 && now.sa_handler == SIG_IGN) continue;
            struct sigaction removing {};
            removing.sa_handler = removeScratchAndEnd;
            sigemptyset(&removing.sa_mask);
            ::sigaction(signal, &removing, nullptr);
        }
    });
}

bool noteScratch(const std::string& path) {
    catchEndingSignals();
    if (path.size() >= PATH_MAX) return false;
    for (ScratchSlot& slot : scratchSlots) {
        if (slot.used.load()) continue;
        std::memcpy(slot.path, path.c_str(), path.size() + 1);
        slot.used.store(true);
        return true;
    }
    return false;
}

void forgetScratch(const std::string& path) {
    for (ScratchSlot& slot : scratchSlots) {
        if (slot.used.load() && path == slot.path) slot.used.store(false);
    }
}

void setEndingNote(std::string_view line) {
    catchEndingSignals();
    // On a terminal the note starts a line of its own, after the status line and ^C.
    std::string text = (::isatty(STDERR_FILENO) ? "\nsharp-survey: " : "sharp-survey: ") + std::string(line) + "\n";
    if (text.size() > kNoteBytes) text = text.substr(0, kNoteBytes - 1) + "\n";
    noteLength.store(0);
    std::memcpy(note, text.data(), text.size());
    noteLength.store(text.size());
}

std::string interruptedNote(const std::string& statePath, const char* parts) {
    std::string line = "interrupted: no output file was put in place";
    if (parts == nullptr) return line;
    if (statePath.empty()) return line + " and nothing is kept (--state FILE keeps the finished " + parts + " to resume)";
    return line + "; the finished " + parts + " are kept in " + statePath + ": the same command goes on from there";
}

}  // namespace sharp::survey
