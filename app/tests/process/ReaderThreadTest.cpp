#include <unistd.h>

#include <QTest>

#include "ProcessTestSupport.h"
#include "process/ChildPipe.h"
#include "process/ChildProcess.h"

using namespace quirtle::process;
using quirtle::testing::HelperPath;
using quirtle::testing::IsOpen;

namespace {

struct Collected {
    int32_t readerExit = -2;
    std::string text;
    int32_t childExit = -2;
};

// Runs the helper with its standard error collected by a reader, as the export does.
Collected CollectStandardError(std::vector<std::string> arguments) {
    Collected result;
    ChildPipe errors;
    if (Failed(errors.Create(PipeDirection::ChildWrites))) return result;
    ChildProcess child;
    child.SetStandardError(errors.childEnd());
    arguments.insert(arguments.begin(), HelperPath());
    child.SetArguments(std::move(arguments));
    if (Failed(child.Start(false))) return result;
    errors.CloseChildEnd();
    if (!errors.StartReader()) return result;
    result.readerExit = errors.reader()->Wait();
    result.text = errors.reader()->text();
    child.Wait(result.childExit);
    return result;
}

}  // namespace

class ReaderThreadTest : public QObject {
    Q_OBJECT
  private slots:
    void collectsWhatTheChildWritesUntilTheEnd() {
        const Collected hello = CollectStandardError({"stderr", "hello\nworld"});
        QCOMPARE(hello.readerExit, 0);
        QCOMPARE(hello.childExit, 0);
        QCOMPARE(hello.text, std::string("hello\nworld"));

        // Far more than one read: every read is appended in order.
        std::string longText;
        for (int i = 0; longText.size() < 100'000; ++i) longText += std::to_string(i) + ",";
        const Collected lots = CollectStandardError({"stderr", longText});
        QCOMPARE(lots.readerExit, 0);
        QCOMPARE(lots.text, longText);
    }

    void nothingOrOnlyNulBytesCollectNothing() {
        const Collected silent = CollectStandardError({"exit", "4"});
        QCOMPARE(silent.readerExit, 0);
        QCOMPARE(silent.childExit, 4);
        QVERIFY(silent.text.empty());

        const Collected nuls = CollectStandardError({"stderr-nul-only"});
        QCOMPARE(nuls.readerExit, 0);
        QVERIFY(nuls.text.empty());
    }

    void eachReadIsCutAtItsFirstNul() {
        // 100 'x', NUL, 300 'y' in one write: the first 260-byte read keeps the 'x's and
        // loses 159 'y's after the NUL; the next read's 141 'y's are kept.
        const Collected split = CollectStandardError({"stderr-nul-split"});
        QCOMPARE(split.readerExit, 0);
        QCOMPARE(split.text, std::string(100, 'x') + std::string(141, 'y'));
    }

    void endOfStreamClosesTheDescriptor() {
        int ends[2];
        QCOMPARE(pipe(ends), 0);
        ReaderThread reader(ends[0]);
        QVERIFY(reader.Start());
        QVERIFY(!reader.Start());
        QCOMPARE(write(ends[1], "abc", 3), ssize_t(3));
        close(ends[1]);
        QCOMPARE(reader.Wait(), 0);
        QCOMPARE(reader.text(), std::string("abc"));
        QVERIFY(!IsOpen(ends[0]));
    }

    void otherReadErrorsEndWithMinusOneAndKeepTheDescriptor() {
        int ends[2];
        QCOMPARE(pipe(ends), 0);
        {
            // Reading the write end fails with EBADF: not an end of stream.
            ReaderThread reader(ends[1]);
            QVERIFY(reader.Start());
            QCOMPARE(reader.Wait(), -1);
            QVERIFY(IsOpen(ends[1]));
        }
        QVERIFY(!IsOpen(ends[1]));  // closed by the destructor
        close(ends[0]);
    }

    void readerOnlyForPipesTheChildWrites() {
        ChildPipe input;
        QCOMPARE(input.Create(PipeDirection::ChildReads), kStatusOk);
        QVERIFY(!input.StartReader());
        QVERIFY(Failed(input.Create(PipeDirection::ChildReads)));  // already created

        ChildPipe errors;
        QCOMPARE(errors.Create(PipeDirection::ChildWrites), kStatusOk);
        QVERIFY(Failed(errors.Write("x")));
        // The child's end is the write end, ours the read end; both close-on-exec.
        QCOMPARE(write(errors.childEnd(), "z", 1), ssize_t(1));
        char c = 0;
        QCOMPARE(read(errors.ownEnd(), &c, 1), ssize_t(1));
        QCOMPARE(c, 'z');
        QVERIFY(fcntl(errors.childEnd(), F_GETFD) & FD_CLOEXEC);
        QVERIFY(fcntl(errors.ownEnd(), F_GETFD) & FD_CLOEXEC);
    }
};

QTEST_GUILESS_MAIN(ReaderThreadTest)
#include "ReaderThreadTest.moc"
