// The sharp-survey executable: its answers to bad input, its table and its files.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

#include "support/temp_dir.hpp"
#include "survey/survey_run.hpp"

namespace sharp::survey {
namespace {

using test::SurveyRun;

SurveyRun runSurveyProgram(const std::filesystem::path& folder, const std::string& arguments) {
    return test::runSurvey(folder, arguments);
}

TEST(SurveyProgram, BadInputIsOneLineAndStatus2) {
    sharp::test::TempDir dir;
    std::filesystem::create_directory(dir.path() / "locked");
    std::filesystem::permissions(dir.path() / "locked", std::filesystem::perms::owner_read |
                                                            std::filesystem::perms::owner_exec);
    const std::pair<const char*, std::string> tables[] = {
        {"word", "2\n# six\nsix\n"},       {"odd", "2\n2311\n"},  {"zero", "0\n"},
        {"big", "2^128\n"},                  {"twice", "30\n\n2*3*5 # again\n"},
        {"empty", "# nothing\n\n"},         {"many", ""},
        {"nul", std::string("30\n2\0" "10\n", 7)}, {"long", std::string(1 << 20, 'x') + "\n"},
    };
    for (const auto& [name, text] : tables) {
        std::string content = text;
        for (int s = 2; text.empty() && s <= 2 * 4097; s += 2) content += std::to_string(s) + "\n";
        sharp::test::writeFile(dir.path() / name, content);
    }
    ASSERT_EQ(::mkfifo((dir.path() / "fifo").c_str(), 0600), 0);
    const std::pair<const char*, std::string> cases[] = {
        {"ten", "'ten' is not a number"},
        {"2^128", "is past 2^128-1"},
        {"2^64", "starts at --from 2^32 or above"},
        {"--from 1e20 --csv c.csv 1e21", "--csv, --state, --expected and --model-only are for ranges below it"},
        {"--heights h.csv --window 2^64-1 2^64", "starts at 2^32 or above: give a narrower --window"},
        {"--from 1e6 1e5", "is below --from"},
        {"", "TO is required"},
        {"--threads 0 100", "--threads"},
        {"--bogus 100", "bogus"},
        {"--csv no/such/folder/x.csv 100", "cannot write no/such/folder/x.csv: No such file or directory"},
        {"--tossed same --csv same 100", "name the same file"},
        {"--csv out --tossed ./out 100", "name the same file"},
        {"--state ./s --csv s 100", "name the same file"},
        {"--csv - --tossed /dev/stdout 100", "name the same file"},
        {"--expected out.txt --csv - 100", "name the same file"},  // out.txt is standard output
        {"--csv - --tossed - 100", "name the same file"},
        {"--state /dev/null 100", "is not a regular file"},
        {"--expected - --csv - 100", "name the same file"},
        {"--model-only --csv x 100", "--model-only surveys nothing"},
        {"--explain 97 --csv x", "--explain looks at one number: --csv has nothing to do"},
        {"--explain 97 100", "--explain looks at one number: TO has nothing to do"},
        {"--explain 2^128", "--explain: '2^128' is past 2^128-1"},
        {"--explain 97 --sharps odd", "--sharps odd: line 2: 2311 is odd"},
        {"--sharps word 100", "--sharps word: line 3: 'six' is not a number"},
        {"--sharps odd 100", "--sharps odd: line 2: 2311 is odd"},
        {"--sharps zero 100", "--sharps zero: line 1: 0 is no sharp number"},
        {"--sharps big 100", "--sharps big: line 1: '2^128' is past 2^128-1"},
        {"--sharps twice 100", "--sharps twice: line 3: 2*3*5 is on line 1 already"},
        {"--sharps empty 100", "--sharps empty holds no sharp number"},
        {"--sharps many 100", "--sharps many: line 4097: more than 4096 sharp numbers"},
        {"--sharps fifo 100", "--sharps fifo is not a regular file"},
        {"--sharps locked 100", "--sharps locked is not a regular file"},
        {"--sharps none 100", "--sharps none: No such file or directory"},
        {"--sharps odd --csv odd 100", "name the same file"},
        {"--state out.txt 100", "--state out.txt is where standard output goes"},
        {"--state - 100", "--state - is where standard output goes"},
        {"--sharps nul 100", "--sharps nul: line 2: '2\\x0010' is not a number"},
        {"--sharps long 100", "line 1: '" + std::string(60, 'x') + "...' is not a number"},
    };
    for (const auto& [arguments, message] : cases) {
        const SurveyRun run = runSurveyProgram(dir.path(), arguments);
        EXPECT_EQ(run.status, 2) << arguments;
        EXPECT_EQ(run.out, "") << arguments;
        EXPECT_EQ(sharp::test::lineCount(run.err), 1u) << arguments << ": " << run.err;
        EXPECT_LT(run.err.size(), 300u) << arguments;
        EXPECT_NE(run.err.find(message), std::string::npos) << arguments << ": " << run.err;
    }
}

TEST(SurveyProgram, TableCsvAndTossedFile) {
    sharp::test::TempDir dir;
    const SurveyRun run = runSurveyProgram(dir.path(), "--threads 2 --csv s.csv --tossed t.txt 1e9");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");  // not a terminal: no status line
    EXPECT_NE(run.out.find("          1000000000       138704071       138704070        50847526        87856544"
                           "             0                 1   0.633410\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("tossed candidates: 1, 0 of them prime; the first 1:\n  917522737 composite\n"),
              std::string::npos);
    EXPECT_EQ(sharp::test::readFile(dir.path() / "t.txt"), "917522737 composite\n");
    const std::string csv = sharp::test::readFile(dir.path() / "s.csv");
    EXPECT_EQ(csv.substr(0, csv.find('\n')), "n,candidates,hits,true_primes,false_primes,tossed_primes,tossed_composites");
    EXPECT_EQ(sharp::test::lineCount(csv), 1u + 7 * 20 + 1);  // header, 100 .. 10^9 at 20 per decade
    EXPECT_NE(csv.find("\n1000000000,138704071,138704070,50847526,87856544,0,1\n"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "s.csv.part"));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "t.txt.part"));
}

// Standard output, devices, FIFOs and links are written as they are, never replaced
// by a renamed file; a failed write is status 1 with the system's own words.
TEST(SurveyProgram, TargetsThatAreNoFileToReplace) {
    namespace fs = std::filesystem;
    sharp::test::TempDir dir;
    ASSERT_EQ(runSurveyProgram(dir.path(), "--quiet --csv plain.csv 1e6").status, 0);
    const std::string csv = sharp::test::readFile(dir.path() / "plain.csv");

    for (const char* name : {"-", "/dev/stdout", "out.txt"}) {  // standard output, by what it is
        const SurveyRun toStandardOutput = runSurveyProgram(dir.path(), std::string("--quiet --csv ") + name + " 1e6");
        EXPECT_EQ(toStandardOutput.status, 0) << name;
        EXPECT_EQ(toStandardOutput.out, csv) << name;
        EXPECT_NE(toStandardOutput.err.find("tossed candidates: none"), std::string::npos) << name;  // the table moved there
    }
    const SurveyRun closed = test::runSurvey(dir.path(), "--quiet --csv closed.csv 1e6", "", "&-");
    EXPECT_EQ(closed.status, 2);
    EXPECT_EQ(closed.err, "sharp-survey: the table has nowhere to go: standard output is closed\n");
    EXPECT_FALSE(fs::exists(dir.path() / "closed.csv"));

    sharp::test::writeFile(dir.path() / "real.csv", "older\n");
    fs::create_symlink("real.csv", dir.path() / "link.csv");
    EXPECT_EQ(runSurveyProgram(dir.path(), "--quiet --csv link.csv 1e6").status, 0);
    EXPECT_TRUE(fs::is_symlink(dir.path() / "link.csv"));
    EXPECT_EQ(sharp::test::readFile(dir.path() / "real.csv"), csv);

    ASSERT_EQ(::mkfifo((dir.path() / "fifo").c_str(), 0600), 0);
    std::string fromFifo;
    std::thread reader([&] { fromFifo = sharp::test::readFile(dir.path() / "fifo"); });
    EXPECT_EQ(runSurveyProgram(dir.path(), "--quiet --csv fifo 1e6").status, 0);
    reader.join();
    EXPECT_EQ(fromFifo, csv);
    EXPECT_TRUE(fs::is_fifo(dir.path() / "fifo"));

    const SurveyRun full = runSurveyProgram(dir.path(), "--quiet --csv /dev/full 1e6");
    EXPECT_EQ(full.status, 1);
    EXPECT_NE(full.err.find("cannot write /dev/full: No space left on device"), std::string::npos) << full.err;
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
    const SurveyRun tableLost = test::runSurvey(dir.path(), "--quiet 1e6", "", "/dev/full");
    EXPECT_EQ(tableLost.status, 1);
    EXPECT_EQ(tableLost.err, "sharp-survey: cannot write the table to standard output: No space left on device\n");
}

// No output destroys data: a link planted at a scratch name is not followed, two
// surveys of one file each leave a whole one, a lost table loses no file, and a
// replaced file keeps its permission bits.
TEST(SurveyProgram, OutputsNeverDestroyData) {
    namespace fs = std::filesystem;
    using sharp::test::readFile;
    sharp::test::TempDir dir;
    const fs::path& at = dir.path();
    const std::string outputs = "--quiet --csv c.csv --tossed t.txt 1e9";
    ASSERT_EQ(runSurveyProgram(at, outputs).status, 0);
    const std::string csv = readFile(at / "c.csv"), tossed = readFile(at / "t.txt");

    // Links planted at the names the unnamed scratch file is given to be put in place
    // (the survey's process id is the shell's, which execs it).
    sharp::test::writeFile(at / "victim.txt", "mine\n");
    const SurveyRun planted = test::runSurvey(
        at, "--quiet --csv out.csv 1e9", "ln -s victim.txt out.csv.part-$$-0; ln -s victim.txt out.csv.part-$$-1;");
    EXPECT_EQ(planted.status, 0) << planted.err;
    EXPECT_EQ(readFile(at / "victim.txt"), "mine\n");
    EXPECT_FALSE(fs::is_symlink(at / "out.csv"));
    EXPECT_EQ(readFile(at / "out.csv"), csv);
    std::size_t links = 0;
    for (const auto& entry : fs::directory_iterator(at)) {
        if (!fs::is_symlink(entry.symlink_status())) continue;
        EXPECT_EQ(fs::read_symlink(entry.path()), "victim.txt");
        fs::remove(entry.path());
        ++links;
    }
    EXPECT_EQ(links, 2u);

    fs::permissions(at / "c.csv", fs::perms::owner_read | fs::perms::owner_write);
    const SurveyRun tableLost = test::runSurvey(at, outputs, "", "/dev/full");
    EXPECT_EQ(tableLost.status, 1);
    EXPECT_NE(tableLost.err.find("cannot write the table"), std::string::npos) << tableLost.err;
    EXPECT_EQ(readFile(at / "c.csv"), csv);
    EXPECT_EQ(readFile(at / "t.txt"), tossed);
    EXPECT_EQ(fs::status(at / "c.csv").permissions(), fs::perms::owner_read | fs::perms::owner_write);

    // Two at once without a state file: each ends well, and the file is one run's whole.
    const std::string survey = std::string("'") + SHARP_SURVEY_EXE + "' --quiet --csv two.csv 1e9 >/dev/null 2>&1; echo $?";
    ASSERT_EQ(std::system(("cd '" + at.string() + "' && { " + survey + " >s1 & " + survey + " >s2 & wait; }").c_str()), 0);
    EXPECT_EQ(readFile(at / "s1") + readFile(at / "s2"), "0\n0\n");
    EXPECT_EQ(readFile(at / "two.csv"), csv);

    // With a state file in use, the second survey is refused before it touches the outputs.
    sharp::test::writeFile(at / "state", "");
    const int held = ::open((at / "state").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    const SurveyRun busy = runSurveyProgram(at, outputs + " --state state");
    ::close(held);
    EXPECT_EQ(busy.status, 2);
    EXPECT_NE(busy.err.find("in use by another survey"), std::string::npos) << busy.err;
    EXPECT_EQ(readFile(at / "c.csv"), csv);
    for (const auto& entry : fs::directory_iterator(at)) {
        EXPECT_EQ(entry.path().filename().string().find(".part"), std::string::npos) << entry.path();
    }
}

// A survey ended by a signal says so, leaves no scratch file and no half-made output, unnamed
// or named (as on a file system without unnamed files); after SIGKILL the same command
// leaves none either.
TEST(SurveyProgram, ASignalLeavesNoScratchFile) {
    namespace fs = std::filesystem;
    for (const bool named : {false, true})
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGKILL}) {
        if (named && signal == SIGKILL) continue;  // nothing can remove what a kill leaves
        sharp::test::TempDir dir, errors;
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            if (named) ::setenv("SHARP_SURVEY_NAMED_SCRATCH", "1", 1);
            ::signal(signal, SIG_DFL);  // not ignored, whatever this test inherited
            const int quiet = ::open("/dev/null", O_WRONLY);
            ::dup2(quiet, STDOUT_FILENO);
            const int err = ::open((errors.path() / "err.txt").c_str(), O_WRONLY | O_CREAT, 0600);
            ::dup2(err, STDERR_FILENO);
            if (::chdir(dir.path().c_str()) != 0) ::_exit(126);
            ::execl(SHARP_SURVEY_EXE, SHARP_SURVEY_EXE, "--csv", "c.csv", "--tossed", "t.txt", "1e12",
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        // Well inside the survey (10^12 takes minutes) and after its files are opened.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        std::size_t scratch = 0;
        for (const auto& entry : fs::directory_iterator(dir.path())) scratch += entry.path().string().find(".part-") != std::string::npos;
        EXPECT_EQ(scratch, named ? 2u : 0u);  // c.csv.part-XXXXXX and t.txt.part-XXXXXX
        ::kill(pid, signal);
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << signal;
        EXPECT_TRUE(fs::is_empty(dir.path())) << signal;
        if (signal != SIGKILL) {
            // One line says what is kept.
            EXPECT_EQ(sharp::test::readFile(errors.path() / "err.txt"),
                      "sharp-survey: interrupted: no output file was put in place and nothing is kept "
                      "(--state FILE keeps the finished slices to resume)\n");
            continue;
        }
        ASSERT_EQ(runSurveyProgram(dir.path(), "--quiet --csv c.csv --tossed t.txt 1e6").status, 0);
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir.path())) names.push_back(entry.path().filename());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, (std::vector<std::string>{"c.csv", "err.txt", "out.txt", "t.txt"}));
    }
}

// A named file is replaced only when nothing of it is lost: a link to nothing gets its
// target made, and a file with other names (hard links) or without write permission
// is refused before any work, as it was.
TEST(SurveyProgram, ReplacingANamedFileLosesNothing) {
    namespace fs = std::filesystem;
    sharp::test::TempDir dir;
    const fs::path& at = dir.path();
    ASSERT_EQ(runSurveyProgram(at, "--quiet --csv plain.csv 1e6").status, 0);
    fs::create_symlink("made.csv", at / "dangling.csv");
    sharp::test::writeFile(at / "twice.csv", "mine\n");
    fs::create_hard_link(at / "twice.csv", at / "other-name.csv");
    sharp::test::writeFile(at / "read-only.csv", "mine\n");
    fs::permissions(at / "read-only.csv", fs::perms::owner_read | fs::perms::group_read);
    const struct {
        const char* file;
        int status;
        const char* message;
    } cases[] = {
        {"dangling.csv", 0, ""},
        {"twice.csv", 2, "twice.csv has other names (hard links)"},
        {"read-only.csv", 2, "read-only.csv is read-only"},
    };
    for (const auto& c : cases) {
        const SurveyRun run = runSurveyProgram(at, std::string("--quiet --csv ") + c.file + " 1e6");
        EXPECT_EQ(run.status, c.status) << c.file << ": " << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
    EXPECT_TRUE(fs::is_symlink(at / "dangling.csv"));
    EXPECT_EQ(sharp::test::readFile(at / "made.csv"), sharp::test::readFile(at / "plain.csv"));
    EXPECT_EQ(sharp::test::readFile(at / "other-name.csv"), "mine\n");
    EXPECT_EQ(sharp::test::readFile(at / "read-only.csv"), "mine\n");
}

// Whatever fails on the way ends with one line and status 1, never a crash. Workers
// that cannot start, or find no memory for their segment, end the survey at once:
// without that, the threads that did start would finish all of 10^13 first.
TEST(SurveyProgram, FailuresOnTheWayAreOneLine) {
#ifdef SHARP_SANITIZED
    GTEST_SKIP() << "an address-space limit leaves the sanitizer no room";
#endif
    sharp::test::TempDir dir;
    const struct {
        const char *arguments, *limit, *message;
    } cases[] = {
        {"--quiet --threads 4096 1e13", "ulimit -v 1000000;", "give fewer --threads"},
        {"--model-only 1e12", "ulimit -v 12000;", "sharp-survey: "},
    };
    for (const auto& c : cases) {
        const SurveyRun run = test::runSurvey(dir.path(), c.arguments, c.limit);
        EXPECT_EQ(run.status, 1) << c.arguments;
        EXPECT_EQ(run.out, "") << c.arguments;
        // The failure, after the one line of more threads than CPUs where that is said.
        const std::size_t said = run.err.find("the threads share the") != std::string::npos ? 1 : 0;
        EXPECT_EQ(sharp::test::lineCount(run.err), 1u + said) << run.err;
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    }
    // A file-size limit fails a write like a full disk, not with a signal: the file as it was.
    sharp::test::writeFile(dir.path() / "far", "2^64-2\n");
    sharp::test::writeFile(dir.path() / "t.txt", "mine\n");
    const SurveyRun limited = test::runSurvey(dir.path(), "--quiet --sharps far --tossed t.txt 1e6", "ulimit -f 8;");
    EXPECT_EQ(limited.status, 1);
    EXPECT_EQ(limited.err, "sharp-survey: cannot write t.txt: File too large\n");
    EXPECT_EQ(sharp::test::readFile(dir.path() / "t.txt"), "mine\n");
}

// More threads than the CPUs this process may run on: said once, and the survey goes on.
TEST(SurveyProgram, MoreThreadsThanCpusIsSaidOnce) {
    sharp::test::TempDir dir;
    const SurveyRun run = test::runSurvey(dir.path(), "--quiet --threads 2 1e6", "taskset -pc 0 $$ >/dev/null;");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err,
              "sharp-survey: --threads 2: the threads share the 1 CPU this process may run on "
              "(under mpirun, --bind-to none or --map-by node:PE=N gives a rank more)\n");
}

// Finished slices wait in a scratch file, not in memory: it must be creatable.
// A table that tosses almost every candidate: its list goes only where the user named
// it, straight into the tossed file or in parts into the state file (which resumes from
// any cut), and a state file begun without --tossed keeps counts, not the list.
TEST(SurveyProgram, ListsOfAnyLengthGoOnlyWhereNamed) {
    namespace fs = std::filesystem;
    sharp::test::TempDir dir;
    std::string evens;  // 2, 4, .., 80: a tenth of a percent of the candidates tossed, 4 parts a slice
    for (int s = 2; s <= 80; s += 2) evens += std::to_string(s) + "\n";
    sharp::test::writeFile(dir.path() / "evens", evens);
    const auto run = [&](const std::string& arguments) {
        return test::runSurvey(dir.path(), "--quiet --threads 2 --sharps evens " + arguments + " 2^29",
                               "export TMPDIR=no/such/folder;");
    };
    const SurveyRun streamed = run("--tossed a.txt");
    ASSERT_EQ(streamed.status, 0) << streamed.err;
    EXPECT_EQ(sharp::test::lineCount(sharp::test::readFile(dir.path() / "a.txt")), 575074u);
    const SurveyRun counted = run("--state counts.state");
    EXPECT_EQ(counted.table(), streamed.table());
    EXPECT_LT(fs::file_size(dir.path() / "counts.state"), 16384u);  // 6.8 MB when it kept the list
    const SurveyRun refused = run("--state counts.state --tossed b.txt");
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("keeps no tossed list; leave out --tossed"), std::string::npos) << refused.err;

    ASSERT_EQ(run("--state list.state --tossed b.txt").status, 0);
    EXPECT_EQ(sharp::test::readFile(dir.path() / "b.txt"), sharp::test::readFile(dir.path() / "a.txt"));
    const std::string state = sharp::test::readFile(dir.path() / "list.state");
    EXPECT_NE(state.find("\nS0 P2 T"), std::string::npos);  // parts ahead of the records of both slices
    EXPECT_NE(state.find("\nS1 P4 T"), std::string::npos);
    for (const std::size_t cut : {state.size() / 3, state.size() - 30}) {
        sharp::test::writeFile(dir.path() / "cut.state", state.substr(0, cut));
        const SurveyRun resumed = run("--state cut.state --tossed c.txt");
        EXPECT_EQ(resumed.table(), streamed.table()) << resumed.err;
        EXPECT_EQ(sharp::test::readFile(dir.path() / "c.txt"), sharp::test::readFile(dir.path() / "a.txt")) << cut;
    }
}

// Memory bounded by the threads whatever a table tosses: 2^28 numbers whose candidates
// are nearly all tossed, listed and kept in a state file (1.5 GB before lists streamed).
TEST(SurveyFull, ListsOfAnyLengthInBoundedMemory) {
    sharp::test::TempDir dir;
    sharp::test::writeFile(dir.path() / "far", "2^64-2\n");
    const SurveyRun run =
        test::runSurvey(dir.path(), "--quiet --threads 2 --sharps far --state s.state --tossed t.txt 2^28");
    ASSERT_EQ(run.status, 0) << run.err;
    rusage usage{};
    ASSERT_EQ(::getrusage(RUSAGE_CHILDREN, &usage), 0);
    EXPECT_LT(usage.ru_maxrss, 256 * 1024);  // KiB
}

// The counts chance alone would give: beside a survey in their own file, or alone.
TEST(SurveyProgram, ExpectedTossedCounts) {
    sharp::test::TempDir dir;
    const SurveyRun alone = runSurveyProgram(dir.path(), "--model-only --expected e.csv 1e9");
    ASSERT_EQ(alone.status, 0) << alone.err;
    EXPECT_NE(alone.out.find("expected tossed primes"), std::string::npos);
    EXPECT_EQ(sharp::test::lineCount(alone.out), 1u + 8);  // heading, 100 .. 10^9
    const std::string expected = sharp::test::readFile(dir.path() / "e.csv");
    EXPECT_TRUE(expected.starts_with("n,expected_tossed_primes,expected_tossed_composites,"));
    EXPECT_EQ(sharp::test::lineCount(expected), 1u + 7 * 20 + 1);  // the CSV's rows
    ASSERT_EQ(runSurveyProgram(dir.path(), "--quiet --expected beside.csv 1e9").status, 0);
    EXPECT_EQ(sharp::test::readFile(dir.path() / "beside.csv"), expected);  // the same figures every time
}

// A table of the user's: the 79 from a file are the 79, and a state file belongs to its table.
TEST(SurveyProgram, OwnSharpTable) {
    sharp::test::TempDir dir;
    const SurveyRun builtIn = runSurveyProgram(dir.path(), "--quiet --csv a.csv --tossed a.txt 1e9");
    const SurveyRun fromFile =
        runSurveyProgram(dir.path(), "--quiet --sharps " SHARP_DOCS_DIR "/sharps-79.txt --csv b.csv --tossed b.txt 1e9");
    ASSERT_EQ(fromFile.status, 0) << fromFile.err;
    EXPECT_EQ(fromFile.table(), builtIn.table());
    EXPECT_EQ(sharp::test::readFile(dir.path() / "b.csv"), sharp::test::readFile(dir.path() / "a.csv"));
    EXPECT_EQ(sharp::test::readFile(dir.path() / "b.txt"), sharp::test::readFile(dir.path() / "a.txt"));
    // Another table whose filter is the 79's, and a sharp number that counts from 2^63 on only.
    sharp::test::writeFile(dir.path() / "more", sharp::test::readFile(SHARP_DOCS_DIR "/sharps-79.txt") + "2^64-2\n");
    const SurveyRun more = runSurveyProgram(dir.path(), "--quiet --sharps more --csv c.csv 1e9");
    EXPECT_EQ(more.table(), builtIn.table());
    EXPECT_EQ(sharp::test::readFile(dir.path() / "c.csv"), sharp::test::readFile(dir.path() / "a.csv"));

    sharp::test::writeFile(dir.path() / "small", "2310\n210\n30\n6\n2\n");
    sharp::test::writeFile(dir.path() / "other", "2\n6\n30\n210\n");
    const SurveyRun small = runSurveyProgram(dir.path(), "--quiet --sharps small --state s 1e6");
    ASSERT_EQ(small.status, 0) << small.err;
    EXPECT_NE(small.table(), runSurveyProgram(dir.path(), "--quiet 1e6").table());
    for (const char* other : {"--sharps other", "", "--sharps " SHARP_DOCS_DIR "/sharps-79.txt"}) {
        const SurveyRun refused = runSurveyProgram(dir.path(), std::string("--quiet --state s ") + other + " 1e6");
        EXPECT_EQ(refused.status, 2) << other;
        EXPECT_NE(refused.err.find("state file s belongs to another survey"), std::string::npos) << other << ": " << refused.err;
    }
    EXPECT_EQ(runSurveyProgram(dir.path(), "--quiet --sharps small --state s 1e6").table(), small.table());
    const std::string heights = "--quiet --from 1e6 --heights h.csv --window 2^16 --state hs 1e7";
    ASSERT_EQ(runSurveyProgram(dir.path(), "--sharps small " + heights).status, 0);
    const SurveyRun refused = runSurveyProgram(dir.path(), heights);
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("state file hs belongs to another survey"), std::string::npos) << refused.err;
}

TEST(SurveyProgram, VersionAndHelp) {
    sharp::test::TempDir dir;
    const SurveyRun version = runSurveyProgram(dir.path(), "--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.out.starts_with("sharp-survey 1.")) << version.out;
    const SurveyRun help = runSurveyProgram(dir.path(), "--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Examples:"), std::string::npos);
}

}  // namespace
}  // namespace sharp::survey
