// The floor of a full run's output cost: writes the lines a recorded run left on
// the console and in its five report files, one plain write per line, with no
// computation. Usage: floor RECORDED_DIR OUT_DIR (console lines go to stdout).
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::string load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeLines(int fd, const std::string& text) {
    std::size_t from = 0;
    while (from < text.size()) {
        std::size_t end = text.find('\n', from);
        end = end == std::string::npos ? text.size() : end + 1;
        if (::write(fd, text.data() + from, end - from) < 0) std::perror("write");
        from = end;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: floor RECORDED_DIR OUT_DIR\n");
        return 2;
    }
    const std::string recorded = argv[1];
    const std::string out = argv[2];
    const char* names[] = {"primality.txt", "mylist.txt", "Jun20.txt", "stp.txt", "sfp.txt"};
    std::vector<std::string> texts;
    for (const char* name : names) texts.push_back(load(recorded + "/primes/" + name));
    const std::string console = load(recorded + "/console.txt");

    writeLines(STDOUT_FILENO, console);
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const int fd = ::open((out + "/primes/" + names[i]).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0664);
        writeLines(fd, texts[i]);
        ::close(fd);
    }
    return 0;
}
