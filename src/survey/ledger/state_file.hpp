// The state file of a resumable survey: a header naming the survey, then one line
// per finished slice, each synced to disk before the next is written.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "survey/ledger/record_log.hpp"
#include "survey/ledger/slices.hpp"

namespace sharp::survey {

// The first lines a state file may start with to be this survey's.
struct StateHeaders {
    // Each one a form of this survey's header; the first begins a new file.
    std::vector<std::string> accepted;
    // This survey's header in a form it cannot resume, and why (nothing when empty).
    std::string refused, whyRefused;
};

class StateFile {
public:
    // Learns which of the accepted headers the file has, before any record is read.
    using HeaderFound = std::function<void(std::size_t)>;
    // Says why a record cannot be this survey's, or nothing.
    using Misfit = std::function<std::optional<std::string>(const SliceRecord&)>;
    // Takes each good record of the file, in file order, with where its line stands.
    using Take = std::function<void(const SliceRecord&, LineSpan)>;

    // Opens or creates `path`, a regular file (or a link to one), and takes its lock;
    // anything else is refused before it is opened, so that opening it has no effect:
    // a second survey on the same file is refused. A new file gets the first accepted
    // header; an existing one must start with one of them (an earlier version's form
    // among them), and a first line longer than any is refused as soon as that is
    // known, in constant memory. Then each record line goes through `misfit`
    // and on to `take`, read a line at a time. A torn or unreadable last line (a kill
    // mid-write) is cut off with a note; any other damaged or misfit line is refused.
    StateFile(const std::string& path, const StateHeaders& headers, const HeaderFound& found, const Misfit& misfit,
              const Take& take);

    const std::vector<std::string>& notes() const { return notes_; }
    // Removes the file when this run created it; before any slice is recorded, so that
    // a survey refused after taking the lock leaves no trace.
    void removeIfCreated();
    RecordLog& log() { return log_; }

private:
    void load(const StateHeaders& headers, const HeaderFound& found, const Misfit& misfit, const Take& take);
    void cutAt(std::uint64_t size, std::uint64_t lineNumber, const char* how);
    // Refuses a file whose first line is not this survey's header.
    [[noreturn]] void refuseForeign(std::string_view firstLine, const StateHeaders& headers) const;

    std::string path_;
    bool created_ = false;  // before log_, whose opening sets it
    RecordLog log_;
    std::vector<std::string> notes_;
};

// The header line of a survey's state file (without its '\n'): the range, the slice
// size and count, the number of buckets and a digest of their ends, the digest of a
// sharp table other than the 79's (`sharpsDigest`, empty for the 79), " tossed=first"
// when its records keep only their first tossed candidates, with a checksum.
std::string stateHeader(std::uint64_t from, std::uint64_t to, const SliceLayout& slices,
                        const std::vector<std::uint64_t>& bucketEnds, const std::string& sharpsDigest = {},
                        TossedKept kept = TossedKept::all);

// The headers of a survey that asks for its tossed list (`kept` all) or not, made by
// `header` from the kept form: a new file keeps what is asked; a file that keeps the
// list (all of an earlier version's do) serves either; one that does not cannot
// serve a survey that asks for it, and says so. `former` is an earlier version's form.
StateHeaders stateHeadersFor(TossedKept kept, const std::function<std::string(TossedKept)>& header,
                             const std::string& former = {});

// Which tossed list a file with the `index`th of stateHeadersFor(kept, ...)'s headers keeps.
TossedKept keptByHeader(TossedKept kept, std::size_t index);

// The header an earlier version wrote for the same survey, without the digest of the
// bucket ends: its files are still resumed where its bucket ends were the same,
// up to 10^17; above, nothing.
std::string formerStateHeader(std::uint64_t from, std::uint64_t to, const SliceLayout& slices, std::size_t buckets);

// Syncs the folder that holds `path`, so that a file created or renamed there stays.
void syncFolderOf(const std::string& path);

}  // namespace sharp::survey
