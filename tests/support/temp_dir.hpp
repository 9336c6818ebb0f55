// Temporary folders and file reading for the tests.
#pragma once

#include <filesystem>
#include <string>

namespace sharp::test {

// A fresh folder under the system's temporary directory, removed with its content.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// The whole content of a file, or an empty text when it cannot be read.
std::string readFile(const std::filesystem::path& file);

void writeFile(const std::filesystem::path& file, const std::string& content);

// The number of complete lines in `text`.
std::size_t lineCount(const std::string& text);

}  // namespace sharp::test
