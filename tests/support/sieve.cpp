#include "support/sieve.hpp"

namespace sharp::test {

std::vector<bool> sieve(std::uint32_t limit) {
    std::vector<bool> isPrime(limit, true);
    for (std::uint32_t n = 0; n < 2 && n < limit; ++n) isPrime[n] = false;
    for (std::uint64_t p = 2; p * p < limit; ++p) {
        if (!isPrime[p]) continue;
        for (std::uint64_t m = p * p; m < limit; m += p) isPrime[m] = false;
    }
    return isPrime;
}

bool isFalsePrime(const std::vector<bool>& isPrime, std::uint32_t n) {
    if (n <= 47 || n % 2 == 0 || isPrime[n]) return false;
    for (std::uint32_t p = 3; p <= 47; p += 2) {
        if (isPrime[p] && n % p == 0) return false;
    }
    return true;
}

ListFiles expectedListFiles(std::uint32_t endCandidate) {
    // Every run tests 23; the dump also holds the one prime the last pass may add.
    const std::uint32_t last = endCandidate < 23 ? 23 : endCandidate;
    const auto isPrime = sieve(last + 1);
    ListFiles files;
    std::uint32_t slot = 0;
    for (std::uint32_t n = 2; n <= last; ++n) {
        if (isPrime[n]) {
            files.mylist += std::to_string(++slot) + "    " + std::to_string(n) + "\n";
            if (n >= 23) files.stp += "true prime = " + std::to_string(n) + "\n";
        } else if (isFalsePrime(isPrime, n)) {
            files.sfp += "false prime = " + std::to_string(n) + "\n";
        }
    }
    return files;
}

}  // namespace sharp::test
