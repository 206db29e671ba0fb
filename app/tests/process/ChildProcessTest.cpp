#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>
#include <thread>

#include "ProcessTestSupport.h"
#include "process/ChildPipe.h"
#include "process/ChildProcess.h"

using namespace quirtle::process;
using quirtle::testing::HelperPath;
using quirtle::testing::OpenDescriptorCount;
using quirtle::testing::ReadWholeFile;

namespace {

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// Runs the helper with the given arguments and no standard handles; returns its exit code.
int RunHelper(ChildProcess& child, std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), HelperPath());
    if (Failed(child.SetArguments(std::move(arguments)))) return -1000;
    if (Failed(child.Start(false))) return -1001;
    int32_t exitCode = -1;
    if (Failed(child.Wait(exitCode))) return -1002;
    return exitCode;
}

}  // namespace

class ChildProcessTest : public QObject {
    Q_OBJECT
  private slots:
    void handlesNotGivenAreTheNullDeviceAndNothingElseIsInherited() {
        QTemporaryDir dir;
        // Descriptors of ours that are not close-on-exec must still stay out of the child.
        const int leaked = open("/dev/zero", O_RDONLY);
        int leakedPipe[2];
        QCOMPARE(pipe(leakedPipe), 0);
        ChildProcess child;
        const QString out = dir.filePath("fds");
        QCOMPARE(RunHelper(child, {"fds", out.toStdString()}), 0);
        close(leaked);
        close(leakedPipe[0]);
        close(leakedPipe[1]);
        QCOMPARE(ReadWholeFile(out), QByteArray("0 /dev/null\n1 /dev/null\n2 /dev/null\n"));
    }

    void givenHandlesReachTheChildAsItsStandardHandles() {
        QTemporaryDir dir;
        ChildPipe input;
        ChildPipe errors;
        QCOMPARE(input.Create(PipeDirection::ChildReads), kStatusOk);
        QCOMPARE(errors.Create(PipeDirection::ChildWrites), kStatusOk);
        ChildProcess child;
        child.SetStandardInput(input.childEnd());
        child.SetStandardError(errors.childEnd());
        const QString out = dir.filePath("fds");
        QCOMPARE(child.SetArguments({HelperPath(), "fds", out.toStdString()}), kStatusOk);
        QCOMPARE(child.Start(false), kStatusOk);
        input.CloseChildEnd();
        errors.CloseChildEnd();
        int32_t exitCode = -1;
        QCOMPARE(child.Wait(exitCode), kStatusOk);
        QCOMPARE(exitCode, 0);
        const QList<QByteArray> lines = ReadWholeFile(out).trimmed().split('\n');
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines[0].startsWith("0 pipe:["));
        QCOMPARE(lines[1], QByteArray("1 /dev/null"));
        QVERIFY(lines[2].startsWith("2 pipe:["));
        QVERIFY(lines[0].mid(2) != lines[2].mid(2));  // two different pipes
    }

    void standardHandlesNumberedBelowThreeStillLandRight() {
        // A pipe end that happens to be descriptor 0 is given as standard error: setting up
        // the child's standard input must not clobber it first.
        QTemporaryDir dir;
        const int savedStdin = dup(0);
        close(0);
        ChildPipe errors;
        QCOMPARE(errors.Create(PipeDirection::ChildReads), kStatusOk);
        const bool childEndIsZero = errors.childEnd() == 0;
        ChildProcess child;
        child.SetStandardError(errors.childEnd());
        const QString out = dir.filePath("fds");
        child.SetArguments({HelperPath(), "fds", out.toStdString()});
        const Status started = child.Start(false);
        errors.CloseChildEnd();
        int32_t exitCode = -1;
        if (!Failed(started)) child.Wait(exitCode);
        dup2(savedStdin, 0);
        close(savedStdin);
        QVERIFY(childEndIsZero);
        QCOMPARE(started, kStatusOk);
        QCOMPARE(exitCode, 0);
        const QList<QByteArray> lines = ReadWholeFile(out).trimmed().split('\n');
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0], QByteArray("0 /dev/null"));
        QVERIFY(lines[2].startsWith("2 pipe:["));
    }

    void missingProgramFailsWithFileNotFoundAndLeavesNothingOpen() {
        const int before = OpenDescriptorCount();
        {
            ChildProcess child;
            QCOMPARE(child.SetCommandLine("/nonexistent/quirtle-no-such-program a b"), kStatusOk);
            QCOMPARE(child.Start(false), kStatusFileNotFound);
            QCOMPARE(child.processId(), 0);
            int32_t exitCode = 0;
            QVERIFY(Failed(child.Wait(exitCode)));
        }
        {
            ChildProcess child;
            QCOMPARE(child.SetCommandLine("quirtle-no-such-program-on-path"), kStatusOk);
            QCOMPARE(child.Start(false), kStatusFileNotFound);
        }
        QCOMPARE(OpenDescriptorCount(), before);
    }

    void nullCommandLineFailsAndKeepsNothing() {
        ChildProcess child;
        QCOMPARE(child.SetCommandLine(nullptr), kStatusInvalidData);
        QVERIFY(child.arguments().empty());
        QCOMPARE(child.SetCommandLine("a \"b c\""), kStatusOk);
        QCOMPARE(child.SetCommandLine(nullptr), kStatusInvalidData);
        QCOMPARE(child.arguments(), (std::vector<std::string>{"a", "b c"}));
        QCOMPARE(child.SetArguments({}), kStatusInvalidParameter);
        QCOMPARE(child.SetArguments({std::string("a\0b", 3)}), kStatusInvalidParameter);
    }

    void commandLineIsSplitAndArgumentsArePassedWhole() {
        QTemporaryDir dir;
        const QString out = dir.filePath("args");
        ChildProcess child;
        const std::string line =
            Quoted(HelperPath()) + " args " + Quoted(out.toStdString()) + " \"two words\" a\\\"b";
        QCOMPARE(child.SetCommandLine(line.c_str()), kStatusOk);
        QCOMPARE(child.Start(false), kStatusOk);
        int32_t exitCode = -1;
        QCOMPARE(child.Wait(exitCode), kStatusOk);
        QCOMPARE(exitCode, 0);
        QCOMPARE(ReadWholeFile(out),
                 QByteArray::fromStdString(HelperPath() + "\nargs\n" + out.toStdString() +
                                           "\ntwo words\na\"b\n"));

        ChildProcess whole;
        QCOMPARE(RunHelper(whole, {"args", out.toStdString(), "\"quoted\" stays"}), 0);
        QVERIFY(ReadWholeFile(out).endsWith("\n\"quoted\" stays\n"));
    }

    void environmentBlockReplacesOursOnlyWhenSet() {
        ChildProcess child;
        QCOMPARE(child.SetEnvironment(nullptr), kStatusOk);
        QVERIFY(!child.environment().has_value());
        QCOMPARE(child.SetEnvironment("A=1\nB=two"), kStatusOk);
        QCOMPARE(*child.environment(), std::string("A=1\0B=two\0\0", 11));
        QCOMPARE(child.SetEnvironment("A=1\n"), kStatusOk);
        QCOMPARE(*child.environment(), std::string("A=1\0\0", 5));

        QTemporaryDir dir;
        const QString out = dir.filePath("env");
        ChildProcess own;
        QCOMPARE(own.SetEnvironment("QRT_ONE=1\nQRT_TWO=two words\n"), kStatusOk);
        QCOMPARE(RunHelper(own, {"env", out.toStdString()}), 0);
        QCOMPARE(ReadWholeFile(out), QByteArray("QRT_ONE=1\nQRT_TWO=two words\n"));

        qputenv("QRT_INHERITED", "yes");
        ChildProcess inherited;
        QCOMPARE(RunHelper(inherited, {"env", out.toStdString()}), 0);
        QVERIFY(ReadWholeFile(out).contains("\nQRT_INHERITED=yes\n"));
    }

    void workingDirectoryIsTheChildsButProgramPathsAreOurs() {
        QTemporaryDir dir;
        const QString out = dir.filePath("cwd");
        // A relative program path is resolved against our working directory.
        const QString relative =
            "./" + QDir::current().relativeFilePath(QString::fromStdString(HelperPath()));
        QVERIFY(!relative.startsWith('/'));
        ChildProcess child;
        QCOMPARE(child.SetWorkingDirectory(dir.path().toLocal8Bit().constData()), kStatusOk);
        QCOMPARE(child.SetArguments({relative.toStdString(), "cwd", out.toStdString()}), kStatusOk);
        QCOMPARE(child.Start(false), kStatusOk);
        int32_t exitCode = -1;
        QCOMPARE(child.Wait(exitCode), kStatusOk);
        QCOMPARE(exitCode, 0);
        QCOMPARE(ReadWholeFile(out), QDir(dir.path()).canonicalPath().toLocal8Bit());

        ChildProcess missingDirectory;
        missingDirectory.SetWorkingDirectory("/nonexistent/quirtle-dir");
        missingDirectory.SetArguments({HelperPath(), "exit", "0"});
        QVERIFY(Failed(missingDirectory.Start(false)));
    }

    void exitCodesAndSignalsAreReported() {
        ChildProcess seven;
        QCOMPARE(RunHelper(seven, {"exit", "7"}), 7);
        ChildProcess zero;
        QCOMPARE(RunHelper(zero, {"exit", "0"}), 0);

        ChildProcess sleeper;
        sleeper.SetArguments({HelperPath(), "sleep", "10000"});
        QCOMPARE(sleeper.Start(false), kStatusOk);
        kill(sleeper.processId(), SIGTERM);
        int32_t exitCode = 0;
        QCOMPARE(sleeper.Wait(exitCode), kStatusOk);
        QCOMPARE(exitCode, 128 + SIGTERM);
        QVERIFY(Failed(sleeper.Wait(exitCode)));
    }

    void inputArrivesWholeThroughThePipe() {
        QTemporaryDir dir;
        const QString out = dir.filePath("stdin");
        std::string data;
        for (int i = 0; data.size() < 1'000'000; ++i) data += "line " + std::to_string(i) + "\r\n";
        ChildPipe input;
        QCOMPARE(input.Create(PipeDirection::ChildReads), kStatusOk);
        ChildProcess child;
        child.SetStandardInput(input.childEnd());
        child.SetArguments({HelperPath(), "echo-stdin", out.toStdString()});
        QCOMPARE(child.Start(false), kStatusOk);
        input.CloseChildEnd();
        QCOMPARE(input.Write(data), kStatusOk);
        input.CloseOwnEnd();
        int32_t exitCode = -1;
        QCOMPARE(child.Wait(exitCode), kStatusOk);
        QCOMPARE(exitCode, 0);
        QCOMPARE(ReadWholeFile(out), QByteArray::fromStdString(data));
    }

    void writingToAChildThatExitedFailsWithoutKillingUs() {
        ChildPipe input;
        QCOMPARE(input.Create(PipeDirection::ChildReads), kStatusOk);
        ChildProcess child;
        child.SetStandardInput(input.childEnd());
        child.SetArguments({HelperPath(), "exit-early", "3"});
        QCOMPARE(child.Start(false), kStatusOk);
        input.CloseChildEnd();
        int32_t exitCode = -1;
        QCOMPARE(child.Wait(exitCode), kStatusOk);
        QCOMPARE(exitCode, 3);
        QCOMPARE(input.Write(std::string(200'000, 'x')), StatusFromError(EPIPE));
        // The SIGPIPE was taken away: none is left pending for this thread.
        sigset_t pending;
        sigpending(&pending);
        QCOMPARE(sigismember(&pending, SIGPIPE), 0);
    }

    void childOutlivesItsObjectAndIsNotKilled() {
        pid_t pid = 0;
        {
            ChildProcess child;
            child.SetArguments({HelperPath(), "sleep", "300"});
            QCOMPARE(child.Start(false), kStatusOk);
            pid = child.processId();
        }
        QCOMPARE(kill(pid, 0), 0);  // still running (or at least not reaped yet)
        // Reaped once it ends: the pid disappears instead of staying a zombie.
        bool gone = false;
        for (int i = 0; i < 500 && !gone; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            gone = kill(pid, 0) != 0 && errno == ESRCH;
        }
        QVERIFY(gone);
    }
};

QTEST_GUILESS_MAIN(ChildProcessTest)
#include "ChildProcessTest.moc"
