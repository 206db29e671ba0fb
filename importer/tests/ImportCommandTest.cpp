// quirtle-import run as a process: arguments, encodings, messages, exit codes, -o.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "CommandRun.h"

namespace {

using namespace quirtle::testing;

class ImportCommand : public CommandTest {
  protected:
    Outcome Import(const std::string& args, const std::string& input = "") {
        return Run(QUIRTLE_IMPORT_EXE, args, input);
    }
};

TEST_F(ImportCommand, WritesShiftJisOrUtf8) {
    // Shift_JIS in (漢字《かんじ》), Shift_JIS out with CR LF.
    const std::string sjis = "\x8a\xbf\x8e\x9a\x81\x73\x82\xa9\x82\xf1\x82\xb6\x81\x74\n";
    const std::string sjisRuby = "_\x8a\xbf\x8e\x9a[\x82\xa9\x82\xf1\x82\xb6]\r\n";
    for (const char* notation : {"aozora", "kakuyomu", "narou"}) {
        Outcome run = Import(std::string("--from ") + notation, sjis);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out, sjisRuby);
    }
    // UTF-8 with a byte-order mark in, UTF-8 out; "-" is standard input.
    Outcome utf8 = Import("--from=kakuyomu --utf-8 -", "\xEF\xBB\xBF《《強調》》\r\n𠮟る\n");
    EXPECT_EQ(utf8.exitCode, 0);
    EXPECT_EQ(utf8.out, "_強調*\r\n𠮟る\r\n");
}

TEST_F(ImportCommand, RefusesWhatItCannotDo) {
    const fs::path output = dir / "out.txt";
    WriteFile(output, "old");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"",
         "quirtle-import: option --from is required (aozora, kakuyomu or narou) (try --help)\n"},
        {"--from shosetsu",
         "quirtle-import: unknown notation 'shosetsu' (aozora, kakuyomu or narou) "
         "(try --help)\n"},
        {"--from narou --bogus", "quirtle-import: unknown option '--bogus' (try --help)\n"},
        {"--from narou a b",
         "quirtle-import: more than one input file ('a' and 'b') (try --help)\n"},
        {"--from narou " + (dir / "missing.txt").string(),
         "quirtle-import: " + (dir / "missing.txt").string() +
             ": cannot read: No such file or directory\n"},
        // A character Shift_JIS cannot hold: nothing written, OUTPUT kept.
        {"--from kakuyomu -o '" + output.string() + "'",
         "quirtle-import: standard input: line 2 of the manuscript: '𠮟' (U+20B9F) cannot be "
         "written in Shift_JIS (use --utf-8)\n"},
    };
    for (const auto& [args, message] : cases) {
        Outcome run = Import(args, "一行\n𠮟る\n");
        EXPECT_EQ(run.exitCode, 2) << args;
        EXPECT_EQ(run.out, "") << args;
        EXPECT_EQ(run.err, message) << args;
    }
    EXPECT_EQ(ReadFile(output), "old");
    Outcome bad = Import("--from aozora", "ok\n\x81\x20\n");
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_EQ(bad.err, "quirtle-import: standard input: line 2: not UTF-8 or Shift_JIS text\n");

    Outcome written = Import("--from kakuyomu --utf-8 -o '" + output.string() + "'", "𠮟る\n");
    EXPECT_EQ(written.exitCode, 0);
    EXPECT_EQ(ReadFile(output), "𠮟る\r\n");
    Outcome help = Import("--help");
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("Usage: quirtle-import --from aozora|kakuyomu|narou"),
              std::string::npos);
}

}  // namespace
