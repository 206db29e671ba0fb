// Editor benchmarks, run under a display (bench_app.sh starts Xvfb when there is none):
//   app_bench startup <program directory>   time from process start to the loaded page
//   app_bench preview <program directory>   UI-thread time of one preview, 1 MB manuscript,
//                                           and the stages of the preview's own thread
//   app_bench typing <program directory> [seconds]
//                                           a novel-like 730 KB manuscript typed into one
//                                           key a second: memory of the whole process tree
//                                           and time until the page holds each key
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QKeyEvent>
#include <QTextBlock>
#include <QTextStream>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/QtDesktop.h"
#include "preview/FragmentFile.h"
#include "preview/PreviewConversion.h"
#include "preview/PreviewJob.h"
#include "preview/PreviewPane.h"
#include "preview/PreviewScript.h"
#include "text/ShiftJis.h"
#include "text/Utf8ShiftJis.h"
#include "ui/EditorPane.h"
#include "ui/MainFrame.h"
#include "ui/ProgramStart.h"
#include "ui/QtPrompts.h"
#include "ui/WindowProbe.h"

namespace {

// Milliseconds since this process was started, from /proc (10 ms resolution).
double MillisecondsSinceProcessStart() {
    std::ifstream statFile("/proc/self/stat");
    std::string stat((std::istreambuf_iterator<char>(statFile)), {});
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    unsigned long long startTicks = 0;
    for (int index = 3; fields >> field; ++index) {
        if (index == 22) {
            startTicks = std::stoull(field);
            break;
        }
    }
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    const double nowMs = now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
    return nowMs - startTicks * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// A mixed manuscript of about `size` characters' worth of Shift_JIS bytes.
QString Manuscript(std::size_t size) {
    const QString block = QStringLiteral(
        "* 第%1章 _吾輩[わがはい]は猫である\n"
        "吾輩は猫である。名前はまだ無い。どこで生れたかとんと見当がつかぬ。_何でも*薄暗い"
        "じめじめした所でニャーニャー泣いていた事だけは記憶している。\n"
        "- 項目の一つ目\n-- 入れ子の項目 _強調*\n- 項目の二つ目\n\n"
        "! 用語:その説明の文\n\n> 引用された文章です。\n\n"
        "|{note(warn)} 注意書きの段落\n\n:hr wide\n"
        "_コード{code(c) \"a b\"}を含む段落と A&B <x> の記号。\n\n");
    QString text;
    for (int i = 1;
         static_cast<std::size_t>(quirtle::text::EncodeShiftJis(text).bytes.size()) < size; ++i) {
        for (int j = 0; j < 50; ++j) text += block.arg(i * 50 + j);
    }
    return text;
}

double ThreadCpuMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
}

double Median(const std::vector<double>& sorted) {
    return sorted[sorted.size() / 2];
}

// Lets the page finish its work on the last preview: a round trip to the page, then a
// short sleep in the event loop (a busy wait would take a processor from the page).
void Settle(QWebEnginePage* page) {
    QEventLoop loop;
    page->runJavaScript(QStringLiteral("document.getElementById('contents').childElementCount"),
                        [&](const QVariant&) { loop.quit(); });
    loop.exec();
    QTimer::singleShot(100, &loop, &QEventLoop::quit);
    loop.exec();
}

// A novel-like manuscript of about `size` Shift_JIS bytes: "**" chapters, paragraphs
// opening with a full-width space, a ruby every 80 characters or so.
QString Novel(std::size_t size) {
    const QString sentence = QStringLiteral(
        "吾輩はここで始めて人間というものを見た。しかもあとで聞くとそれは書生という人間中"
        "で一番_獰悪[どうあく]な種族であったそうだ。この書生というのは時々我々を捕え");
    QString text = QStringLiteral(":title 猫\n");
    std::size_t bytes = 0;
    for (int chapter = 1; bytes < size; ++chapter) {
        QString part = QStringLiteral("** 第%1章\n\n").arg(chapter);
        for (int paragraph = 0; paragraph < 40; ++paragraph) {
            part += u'　';
            for (int s = 0; s < 1 + paragraph % 5; ++s) part += sentence;
            part += QStringLiteral("。%1\n").arg(paragraph);
        }
        bytes += quirtle::text::EncodeShiftJis(part).bytes.size();
        text += part;
    }
    return text;
}

// The processes under `pid`, itself included.
std::vector<int> ProcessTree(int pid) {
    std::vector<int> tree{pid};
    for (std::size_t i = 0; i < tree.size(); ++i) {
        const QDir tasks(QStringLiteral("/proc/%1/task").arg(tree[i]));
        for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile children(tasks.filePath(task) + QStringLiteral("/children"));
            if (!children.open(QIODevice::ReadOnly)) continue;
            for (const QByteArray& child : children.readAll().split(' ')) {
                bool ok = false;
                const int childPid = child.trimmed().toInt(&ok);
                if (ok) tree.push_back(childPid);
            }
        }
    }
    return tree;
}

// One field (in kB) of a /proc file of each process, summed.
double SumField(const std::vector<int>& pids, const char* file, const QByteArray& field) {
    double total = 0;
    for (int pid : pids) {
        QFile status(QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(file)));
        if (!status.open(QIODevice::ReadOnly)) continue;
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith(field)) {
                total += line.mid(field.size()).trimmed().split(' ').value(0).toDouble();
                break;
            }
        }
    }
    return total / 1024.0;
}

int Typing(quirtle::MainFrame& frame, int seconds) {
    quirtle::WindowProbe probe(frame);
    const QString novel = Novel(730 * 1024);
    // As a paste: the whole text at once, then the preview the timer makes of it.
    probe.Editor().ReplaceText(novel);
    const std::size_t bytes = probe.Editor().TextBytes().size();
    QEventLoop wait;
    QTimer::singleShot(3000, &wait, &QEventLoop::quit);
    wait.exec();
    // Typing in the middle of a paragraph near the end.
    QTextCursor cursor(
        probe.Editor().document()->findBlockByNumber(probe.Editor().document()->blockCount() - 3));
    cursor.movePosition(QTextCursor::Right, QTextCursor::MoveAnchor, 10);
    probe.Editor().setTextCursor(cursor);
    probe.Editor().setFocus();

    const int self = static_cast<int>(getpid());
    std::vector<double> waiting;   // keys typed and not yet in a preview that was started
    std::vector<double> inFlight;  // keys in the preview being made or shown
    std::vector<double> latencies;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&probe.PreviewTimer(), &QTimer::timeout, &frame, [&] {
        // Runs after the window's own tick: a preview it started carries the keys so far.
        if (frame.PreviewInProgress() && !waiting.empty()) {
            inFlight.insert(inFlight.end(), waiting.begin(), waiting.end());
            waiting.clear();
        }
    });
    QObject::connect(&frame, &quirtle::MainFrame::PreviewUpdated, &frame, [&] {
        const double now = clock.nsecsElapsed() / 1e6;
        for (double typed : inFlight) latencies.push_back(now - typed);
        inFlight.clear();
    });
    double peakRss = 0;
    double peakPss = 0;
    std::printf("typing into a %zu-byte novel-like manuscript, one key a second for %d s\n", bytes,
                seconds);
    for (int second = 1; second <= seconds; ++second) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
        waiting.push_back(clock.nsecsElapsed() / 1e6);
        QApplication::sendEvent(&probe.Editor(), &press);
        QApplication::sendEvent(&probe.Editor(), &release);
        QEventLoop loop;
        QTimer::singleShot(1000, &loop, &QEventLoop::quit);
        loop.exec();
        const std::vector<int> tree = ProcessTree(self);
        const double rss = SumField(tree, "status", "VmRSS:");
        const double pss = SumField(tree, "smaps_rollup", "Pss:");
        peakRss = std::max(peakRss, rss);
        peakPss = std::max(peakPss, pss);
        if (second % 60 == 0 || second == seconds) {
            std::printf("  at %d s: %.0f MB RSS over %zu processes (%.0f MB PSS)\n", second, rss,
                        tree.size(), pss);
        }
    }
    std::sort(latencies.begin(), latencies.end());
    const bool all = latencies.size() + 2 >= static_cast<std::size_t>(seconds);
    std::printf(
        "preview memory, %d s of typing: peak %.0f MB RSS summed over the process tree, "
        "%.0f MB PSS (target <= 600 MB)\n",
        seconds, peakRss, peakPss);
    if (!latencies.empty()) {
        std::printf(
            "key to the page holding it: median %.0f ms, max %.0f ms over %zu keys%s "
            "(target <= 1200 ms)\n",
            Median(latencies), latencies.back(), latencies.size(),
            all ? "" : " (SOME KEYS NEVER SHOWN)");
    }
    return 0;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: app_bench startup|preview|typing <program directory>\n");
        return 2;
    }
    const std::string mode = argv[1];
    // The program always knows its folder as an absolute path; a relative one would give the
    // preview page a URL it cannot read the fragment file from.
    QString directory = QDir(QString::fromLocal8Bit(argv[2])).absolutePath();
    if (!directory.endsWith('/')) directory += '/';

    quirtle::PrepareWebEngine();
    QApplication application(argc, argv);
    quirtle::QtPrompts prompts;
    quirtle::QtDesktop desktop;
    quirtle::MainFrame frame(prompts, desktop, directory);
    if (!frame.Create()) return 1;
    quirtle::WindowProbe probe(frame);
    frame.show();

    if (mode == "typing") return Typing(frame, argc > 3 ? std::atoi(argv[3]) : 180);

    if (mode == "startup") {
        const bool loaded = probe.Preview().IsPageLoaded();
        std::printf("%.0f %s\n", MillisecondsSinceProcessStart(), loaded ? "loaded" : "NOT LOADED");
        return loaded ? 0 : 1;
    }

    const QString manuscript = Manuscript(1 << 20);
    probe.Editor().ReplaceText(manuscript);
    probe.PreviewTimer().stop();  // the benchmark asks for every preview itself
    const std::size_t bytes = probe.Editor().TextBytes().size();
    QWebEnginePage* page = probe.Preview().page();

    // One preview as the program makes it: the synchronous call (reading the editor's text
    // and handing it to the preview's thread), and the UI thread's processor time for the
    // whole cycle until the page holds the preview, the answer from the page included.
    std::vector<double> calls;
    std::vector<double> cycleCpu;
    std::vector<double> cycleWall;
    bool allShown = true;
    for (int run = 0; run < 22; ++run) {
        // An edit, as an author makes one: a character in a paragraph in the middle.
        QTextCursor edit(probe.Editor().document()->findBlockByNumber(
            probe.Editor().document()->blockCount() / 2 + run));
        edit.insertText(QStringLiteral("字"));
        QEventLoop loop;
        const auto connection =
            QObject::connect(&frame, &quirtle::MainFrame::PreviewUpdated, &loop, &QEventLoop::quit);
        QElapsedTimer timer;
        const double cpuStart = ThreadCpuMilliseconds();
        timer.start();
        frame.UpdatePreview();
        calls.push_back(timer.nsecsElapsed() / 1e6);
        if (frame.PreviewInProgress()) loop.exec();
        cycleCpu.push_back(ThreadCpuMilliseconds() - cpuStart);
        cycleWall.push_back(timer.nsecsElapsed() / 1e6);
        QObject::disconnect(connection);
        allShown = allShown && !frame.PreviewInProgress();
        Settle(page);  // let the page lay the preview out before the next run
    }
    for (auto* runs : {&calls, &cycleCpu, &cycleWall}) {
        runs->erase(runs->begin(), runs->begin() + 2);  // warm-up
        std::sort(runs->begin(), runs->end());
    }
    std::printf(
        "UpdatePreview UI-thread time, %zu-byte manuscript (%s): call median %.1f ms "
        "(min %.1f, max %.1f); UI-thread CPU until the page has it median %.1f ms "
        "(max %.1f) (target <= 20 ms); an edit in the page after median %.1f ms (target <= 150 "
        "ms)%s\n",
        bytes, frame.PreviewsThroughFile() ? "through the file" : "through the script",
        Median(calls), calls.front(), calls.back(), Median(cycleCpu), cycleCpu.back(),
        Median(cycleWall), allShown ? "" : " (SOME PREVIEWS NOT SHOWN)");

    // The preview's thread, stage by stage (medians of 10, run here).
    quirtle::FragmentFile file;
    std::vector<quirtle::PreviewStageTimes> stages;
    for (int run = 0; run < 10; ++run) {
        stages.push_back(
            quirtle::MakePreview(run + 1, manuscript, &quirtle::ConvertForPreviewWithLines).stages);
    }
    // The whole fragment in a file, for the page's stages below.
    if (const auto html = quirtle::ConvertForPreview(quirtle::text::ToUtf8(manuscript))) {
        file.Write(*html);
    }
    auto stageMedian = [&](double quirtle::PreviewStageTimes::*stage) {
        std::vector<double> runs;
        for (const auto& times : stages) runs.push_back(times.*stage);
        std::sort(runs.begin(), runs.end());
        return Median(runs);
    };
    std::printf(
        "  preview thread stages: encode %.1f, convert %.1f, decode %.1f, "
        "cut into blocks %.1f ms\n",
        stageMedian(&quirtle::PreviewStageTimes::encode),
        stageMedian(&quirtle::PreviewStageTimes::convert),
        stageMedian(&quirtle::PreviewStageTimes::decode),
        stageMedian(&quirtle::PreviewStageTimes::split));

    // The page's side, in its own process: reading the file, and parsing the fragment into
    // a detached element (medians of 5).
    std::vector<double> reads;
    std::vector<double> parses;
    for (int run = 0; run < 5; ++run) {
        const QString script =
            QStringLiteral(
                "(function(){var t0=performance.now();var r=new XMLHttpRequest();"
                "r.open('GET','%1?b%2',false);r.overrideMimeType('text/html;charset=utf-8');"
                "r.send();var t1=performance.now();var e=document.createElement('div');"
                "e.innerHTML=r.responseText;return [t1-t0,performance.now()-t1];})()")
                .arg(file.Url().toString(QUrl::FullyEncoded))
                .arg(run);
        QEventLoop loop;
        page->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                            [&](const QVariant& answer) {
                                const QVariantList times = answer.toList();
                                if (times.size() == 2) {
                                    reads.push_back(times[0].toDouble());
                                    parses.push_back(times[1].toDouble());
                                }
                                loop.quit();
                            });
        loop.exec();
    }
    std::sort(reads.begin(), reads.end());
    std::sort(parses.begin(), parses.end());
    if (!reads.empty()) {
        std::printf("  page stages: read the file %.1f, parse the fragment %.1f ms\n",
                    Median(reads), Median(parses));
    }

    // For comparison, everything on the UI thread with the fragment inside the script, as
    // the fallback does it: the UI thread's processor time until the page answers.
    std::vector<double> scriptCpu;
    std::vector<double> scriptCall;
    std::vector<double> scriptWall;
    for (int run = 0; run < 12; ++run) {
        QEventLoop loop;
        QElapsedTimer timer;
        const double cpuStart = ThreadCpuMilliseconds();
        timer.start();
        const std::string encoded = quirtle::text::ToUtf8(probe.Editor().Text());
        const auto html = quirtle::ConvertForPreview(encoded);
        const QString script =
            quirtle::ContentsAssignmentScript(*quirtle::text::FromUtf8WithLf(*html));
        probe.Preview().RunContentsScript(
            script, [&](quirtle::PreviewPane::ContentsResult) { loop.quit(); });
        scriptCall.push_back(timer.nsecsElapsed() / 1e6);
        loop.exec();
        scriptCpu.push_back(ThreadCpuMilliseconds() - cpuStart);
        scriptWall.push_back(timer.nsecsElapsed() / 1e6);
        Settle(page);
    }
    for (auto* runs : {&scriptCall, &scriptCpu, &scriptWall}) {
        runs->erase(runs->begin(), runs->begin() + 2);
        std::sort(runs->begin(), runs->end());
    }
    std::printf(
        "  for comparison, all on the UI thread with the fragment in the script: call median "
        "%.1f ms, UI-thread CPU until the page has it median %.1f ms; ready after median "
        "%.1f ms\n",
        Median(scriptCall), Median(scriptCpu), Median(scriptWall));
    return 0;
}
