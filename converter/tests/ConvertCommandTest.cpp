// quirtle-convert run as a process.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "CommandRun.h"

namespace {

using namespace quirtle::testing;

class ConvertCommand : public CommandTest {
  protected:
    // Runs the program through the shell with the given arguments and standard input.
    Outcome Convert(const std::string& args, const std::string& input = "") {
        return Run(QUIRTLE_CONVERT_EXE, args, input);
    }

    static std::string Quote(const fs::path& path) { return "'" + path.string() + "'"; }

    const fs::path testdata = QUIRTLE_TESTDATA_DIR;
};

TEST_F(ConvertCommand, ConvertsAFileToXmlByDefaultAndToHtml) {
    const fs::path manuscript = testdata / "manuscript.txt";
    Outcome xml = Convert(Quote(manuscript));
    EXPECT_EQ(xml.exitCode, 0);
    EXPECT_EQ(xml.out, ReadFile(testdata / "manuscript.xml"));
    EXPECT_EQ(xml.err, "");

    Outcome html = Convert("--html " + Quote(manuscript));
    EXPECT_EQ(html.exitCode, 0);
    EXPECT_EQ(html.out, ReadFile(testdata / "manuscript.html"));

    // The last mode option wins.
    EXPECT_EQ(Convert("--html --xml " + Quote(manuscript)).out, xml.out);
}

TEST_F(ConvertCommand, ReadsStandardInput) {
    const std::string manuscript = ReadFile(testdata / "manuscript.txt");
    EXPECT_EQ(Convert("--html", manuscript).out, ReadFile(testdata / "manuscript.html"));
    EXPECT_EQ(Convert("--xml -", manuscript).out, ReadFile(testdata / "manuscript.xml"));
    Outcome empty = Convert("", "");
    EXPECT_EQ(empty.exitCode, 0);
    EXPECT_EQ(empty.out, "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><document></document>\r\n");
}

TEST_F(ConvertCommand, Utf8ReadsAndWritesUtf8) {
    // Larger than one read of the input, so that the mark is skipped only at the start.
    std::string manuscript = "\xEF\xBB\xBF* \xF0\xA0\xAE\x9F\r\n";
    std::string expected =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?><document><section>"
        "<heading>\xF0\xA0\xAE\x9F</heading>\r\n";
    while (manuscript.size() < 3 * 1024 * 1024) {
        manuscript += "\xEF\xBB\xBF\xE3\x81<\r\n";
        expected += "<paragraph>\xEF\xBB\xBF\xEF\xBF\xBD&lt;</paragraph>\r\n";
    }
    expected += "</section>\r\n</document>\r\n";
    const Outcome run = Convert("--utf-8", manuscript);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out == expected);
    EXPECT_EQ(run.err, "");
}

TEST_F(ConvertCommand, WritesTheOutputFile) {
    const fs::path output = dir / "out.xml";
    Outcome run = Convert("-o " + Quote(output), "- a\r\n");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(ReadFile(output),
              "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><document><list><litem>a</litem>\r\n"
              "</list>\r\n</document>\r\n");
    // Replacing an existing file leaves no temporary file behind.
    EXPECT_EQ(Convert("--html -o " + Quote(output), "x\r\n").exitCode, 0);
    EXPECT_EQ(ReadFile(output), "<p>x</p>\r\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 4);
}

TEST_F(ConvertCommand, LargeManuscriptsAreReadInPiecesWithoutLosingALineBreak) {
    // The program reads a megabyte at a time: a first line that ends with its CR as the
    // last byte of the first piece (its LF in the next), a line longer than a piece, and
    // lines ended by CR alone must convert as if read whole.
    const std::size_t piece = 1 << 20;
    std::string manuscript(piece - 1, 'a');
    manuscript += "\r\nb\r";
    manuscript += std::string(3 * piece, 'c') + "\rd\r\n\r\n";
    std::string expected = "<p>" + std::string(piece - 1, 'a') + "</p>\r\n<p>b</p>\r\n";
    expected += "<p>" + std::string(3 * piece, 'c') + "</p>\r\n<p>d</p>\r\n";
    const fs::path input = dir / "large.txt";
    WriteFile(input, manuscript);
    const Outcome fromFile = Convert("--html " + Quote(input));
    EXPECT_EQ(fromFile.exitCode, 0);
    EXPECT_TRUE(fromFile.out == expected) << "output of " << fromFile.out.size() << " bytes";
    const Outcome fromStdin = Convert("--html", manuscript);
    EXPECT_TRUE(fromStdin.out == expected) << "output of " << fromStdin.out.size() << " bytes";
    const fs::path output = dir / "large.html";
    EXPECT_EQ(Convert("--html -o " + Quote(output) + " " + Quote(input)).exitCode, 0);
    EXPECT_TRUE(ReadFile(output) == expected);
}

TEST_F(ConvertCommand, HelpPrintsTheUsage) {
    Outcome run = Convert("--help");
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out.rfind(
                  "Usage: quirtle-convert [--xml | --html] [--utf-8] [-o OUTPUT] [FILE | -]", 0),
              0u);
}

TEST_F(ConvertCommand, UnknownOptionIsRejected) {
    Outcome run = Convert("--pdf");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "quirtle-convert: unknown option '--pdf' (try --help)\n");
    EXPECT_EQ(Convert("-o").exitCode, 2);
    EXPECT_EQ(Convert("a b").exitCode, 2);
}

TEST_F(ConvertCommand, UnreadableInputNamesTheFile) {
    const fs::path missing = dir / "missing.txt";
    Outcome run = Convert(Quote(missing));
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "quirtle-convert: " + missing.string() +
                           ": cannot read: No such file or directory\n");
    Outcome directory = Convert(Quote(dir));
    EXPECT_EQ(directory.exitCode, 2);
    EXPECT_NE(directory.err.find(dir.string() + ": cannot read:"), std::string::npos);
}

TEST_F(ConvertCommand, FailedWriteKeepsTheOldOutput) {
    const fs::path output = dir / "out.xml";
    WriteFile(output, "old result");
    // Another manuscript cannot be read: the output stays as it was.
    EXPECT_EQ(Convert(Quote(dir / "missing.txt") + " -o " + Quote(output)).exitCode, 2);
    EXPECT_EQ(ReadFile(output), "old result");

    // An output in a missing folder fails with a message naming it.
    const fs::path unwritable = dir / "no-such-folder" / "out.xml";
    Outcome run = Convert("-o " + Quote(unwritable), "x\r\n");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err, "quirtle-convert: " + unwritable.string() +
                           ": cannot write: No such file or directory\n");

    // An output that is a folder is refused and left alone.
    Outcome folder = Convert("-o " + Quote(dir), "x\r\n");
    EXPECT_EQ(folder.exitCode, 2);
    EXPECT_TRUE(fs::is_directory(dir));
}

TEST_F(ConvertCommand, FullStandardOutputIsAnError) {
    if (!fs::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full";
    }
    const std::string command = std::string("'") + QUIRTLE_CONVERT_EXE + "' " +
                                Quote(testdata / "manuscript.txt") + " >/dev/full 2>/dev/null";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 2);
}

TEST_F(ConvertCommand, NewOutputFileFollowsTheUmask) {
    const fs::path output = dir / "new.html";
    ASSERT_EQ(Convert("--html -o " + Quote(output), "x\r\n").exitCode, 0);
    struct stat info {};
    ASSERT_EQ(::stat(output.c_str(), &info), 0);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(info.st_mode & 0777, 0666 & ~mask);
}

TEST_F(ConvertCommand, OutputsThatAreNotFilesAreWrittenDirectly) {
    // /dev/null stays the device (a rename over it would make it a plain file as root).
    ASSERT_EQ(Convert("-o /dev/null", "x\r\n").exitCode, 0);
    struct stat null {};
    ASSERT_EQ(::stat("/dev/null", &null), 0);
    EXPECT_TRUE(S_ISCHR(null.st_mode));

    // A FIFO stays a FIFO, and its reader gets the whole document.
    const fs::path fifo = dir / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const fs::path received = dir / "received.xml";
    const std::string reader = "cat " + Quote(fifo) + " > " + Quote(received) + " &";
    ASSERT_EQ(std::system(reader.c_str()), 0);
    ASSERT_EQ(Convert("-o " + Quote(fifo), "- a\r\n").exitCode, 0);
    for (int i = 0; i < 500 && ReadFile(received).find("</document>") == std::string::npos; ++i)
        ::usleep(10000);
    EXPECT_EQ(ReadFile(received),
              "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><document><list><litem>a</litem>\r\n"
              "</list>\r\n</document>\r\n");
    struct stat info {};
    ASSERT_EQ(::lstat(fifo.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

TEST_F(ConvertCommand, AnExistingOutputKeepsItsModeOwnerAndLink) {
    const fs::path output = dir / "out.xml";
    WriteFile(output, "old");
    ASSERT_EQ(::chmod(output.c_str(), 0640), 0);
    // Only root can hand a file to someone else; the output must then stay theirs.
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(output.c_str(), 65534, 65534), 0);
    }
    const fs::path link = dir / "link.xml";
    fs::create_symlink(output, link);

    ASSERT_EQ(Convert("-o " + Quote(link), "x\r\n").exitCode, 0);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_NE(ReadFile(output).find("<paragraph>x</paragraph>"), std::string::npos);
    struct stat info {};
    ASSERT_EQ(::stat(output.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    if (root) {
        EXPECT_EQ(info.st_uid, 65534u);
        EXPECT_EQ(info.st_gid, 65534u);
    }
}

TEST_F(ConvertCommand, ANulByteDoesNotEndTheManuscript) {
    const Outcome run = Convert("", std::string("a\0b\r\nc\r\n", 7));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.out.find(std::string("<paragraph>a\0b</paragraph>", 26)), std::string::npos);
    EXPECT_NE(run.out.find("<paragraph>c</paragraph>"), std::string::npos);
}

}  // namespace
