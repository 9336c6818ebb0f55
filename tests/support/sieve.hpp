// An independent reference for the tests: a plain sieve of Eratosthenes, and the
// report lines it predicts, written from the line formats alone.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sharp::test {

// isPrime[n] for every n below `limit`.
std::vector<bool> sieve(std::uint32_t limit);

// True for an odd composite above 47 with no prime factor up to 47: a false prime.
bool isFalsePrime(const std::vector<bool>& isPrime, std::uint32_t n);

// The report files a run to `endCandidate` (below the capacity stop) must leave:
// "true prime = " lines from 23, "false prime = " lines, and the "slot    prime" dump.
struct ListFiles {
    std::string stp;
    std::string sfp;
    std::string mylist;
};
ListFiles expectedListFiles(std::uint32_t endCandidate);

}  // namespace sharp::test
