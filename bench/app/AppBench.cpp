// Editor benchmarks, run under a display (bench_app.sh starts Xvfb when there is none):
//   app_bench startup <program directory>   time from process start to the loaded page
//   app_bench preview <program directory>   UI-thread time of one preview, 1 MB manuscript
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTextStream>
#include <QWebEnginePage>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/QtDesktop.h"
#include "text/ShiftJis.h"
#include "ui/EditorPane.h"
#include "ui/MainFrame.h"
#include "ui/PreviewConversion.h"
#include "ui/PreviewPane.h"
#include "ui/PreviewScript.h"
#include "ui/ProgramStart.h"
#include "ui/QtPrompts.h"

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

void WaitForPage(QWebEnginePage* page) {
    // Sleeps in an event loop until the answer comes: a busy wait would take a processor
    // from the page's own process while it lays out the previous preview.
    QEventLoop loop;
    page->runJavaScript(QStringLiteral("document.getElementById('contents').childElementCount"),
                        [&](const QVariant&) { loop.quit(); });
    loop.exec();
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: app_bench startup|preview <program directory>\n");
        return 2;
    }
    const std::string mode = argv[1];
    QString directory = QString::fromLocal8Bit(argv[2]);
    if (!directory.endsWith('/')) directory += '/';

    quirtle::PrepareWebEngine();
    QApplication application(argc, argv);
    quirtle::QtPrompts prompts;
    quirtle::QtDesktop desktop;
    quirtle::MainFrame frame(prompts, desktop, directory);
    if (!frame.Create()) return 1;
    frame.show();

    if (mode == "startup") {
        const bool loaded = frame.Preview().IsPageLoaded();
        std::printf("%.0f %s\n", MillisecondsSinceProcessStart(), loaded ? "loaded" : "NOT LOADED");
        return loaded ? 0 : 1;
    }

    const QString manuscript = Manuscript(1 << 20);
    frame.Editor().ReplaceText(manuscript);
    const std::size_t bytes = frame.Editor().TextBytes().size();
    std::vector<double> times;
    std::vector<double> cpuTimes;  // the processor time of the UI thread, blind to other load
    for (int run = 0; run < 22; ++run) {
        QElapsedTimer timer;
        const double cpuStart = ThreadCpuMilliseconds();
        timer.start();
        frame.UpdatePreview();
        times.push_back(timer.nsecsElapsed() / 1e6);
        cpuTimes.push_back(ThreadCpuMilliseconds() - cpuStart);
        WaitForPage(frame.Preview().page());  // let the page take it before the next run
    }
    for (auto* runs : {&times, &cpuTimes}) {
        runs->erase(runs->begin(), runs->begin() + 2);  // warm-up
        std::sort(runs->begin(), runs->end());
    }
    std::printf(
        "UpdatePreview UI-thread time, %zu-byte manuscript: median %.1f ms, min %.1f ms, "
        "max %.1f ms; thread CPU time median %.1f ms (target <= 20 ms)\n",
        bytes, times[times.size() / 2], times.front(), times.back(), cpuTimes[cpuTimes.size() / 2]);

    // Where the time goes, stage by stage (medians of 10).
    auto median = [](auto&& stage) {
        std::vector<double> runs;
        for (int run = 0; run < 10; ++run) {
            QElapsedTimer timer;
            timer.start();
            stage();
            runs.push_back(timer.nsecsElapsed() / 1e6);
        }
        std::sort(runs.begin(), runs.end());
        return runs[runs.size() / 2];
    };
    QString plain;
    std::string encoded;
    std::optional<std::string> html;
    const double read = median([&] { plain = frame.Editor().Text(); });
    const double encode = median([&] { encoded = quirtle::text::EncodeShiftJis(plain).bytes; });
    const double convert = median([&] { html = quirtle::ConvertForPreview(encoded); });
    // Decoding the fragment and making the page's script of it, one pass.
    QString script;
    const double decodeScript =
        median([&] { script = *quirtle::ContentsAssignmentScriptFromShiftJis(*html); });
    // Handing the script to the page, which then runs it in its own process.
    std::vector<double> sends;
    for (int run = 0; run < 10; ++run) {
        QElapsedTimer timer;
        timer.start();
        frame.Preview().RunContentsScript(script);
        sends.push_back(timer.nsecsElapsed() / 1e6);
        WaitForPage(frame.Preview().page());
    }
    std::sort(sends.begin(), sends.end());
    const double send = sends[sends.size() / 2];
    std::printf(
        "  stages: read %.1f, encode %.1f, convert %.1f, decode+script %.1f, send %.1f ms\n", read,
        encode, convert, decodeScript, send);
    return 0;
}
