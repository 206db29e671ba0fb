// Vertical view benchmarks, offscreen, with the markup colours on, on the real 730 KB novel
// (read from the shared folder beside the repository when it is there) and a generated
// 1 MB manuscript:
// each as typed and on manuscript paper (which reads the whole text again at each edit):
//  - switching from the editor into the vertical view, painted (target: 200 ms);
//  - a keystroke in the middle of the text, key to repainted view: median and worst of 200
//    (target: 16 ms);
//  - a screen of scrolling, repainted (target: 16 ms);
//  - Ctrl+End, repainted (target: 50 ms);
//  - the process's memory after switching and typing, against the editor alone (target:
//    within 20 MB).
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTextBlock>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "ManuscriptGenerator.h"
#include "editing/MarkupHighlighter.h"
#include "text/ShiftJis.h"
#include "ui/EditorPane.h"
#include "vertical/VerticalView.h"

namespace {

double Milliseconds(const QElapsedTimer& clock) {
    return static_cast<double>(clock.nsecsElapsed()) / 1e6;
}

void Report(const char* what, std::vector<double> times, double target) {
    std::sort(times.begin(), times.end());
    std::printf("  %s: median %.2f ms, worst %.2f ms of %zu (target <= %.0f ms)\n", what,
                times[times.size() / 2], times.back(), times.size(), target);
}

// Resident memory of the process in MB.
double ResidentMegabytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    }
    return 0;
}

void Measure(const char* name, const QString& text, bool paper) {
    std::printf("%s (%lld characters)%s:\n", name, static_cast<long long>(text.size()),
                paper ? ", on manuscript paper" : "");
    QStackedWidget place;
    auto* editor = new quirtle::EditorPane(&place);
    quirtle::editing::MarkupHighlighter highlighter(editor->document());
    auto* view = new quirtle::vertical::VerticalView(*editor, &place);
    place.addWidget(editor);
    place.addWidget(view);
    place.resize(800, 900);
    place.show();
    editor->ReplaceText(text);
    QTextCursor middle(editor->document()->findBlockByNumber(editor->document()->blockCount() / 2));
    middle.movePosition(QTextCursor::EndOfBlock);
    editor->setTextCursor(middle);
    editor->centerCursor();
    QApplication::processEvents();
    editor->repaint();
    const double horizontalMemory = ResidentMegabytes();

    QElapsedTimer clock;
    clock.start();
    place.setCurrentWidget(view);
    view->SetActive(true);
    view->SetManuscriptPaper(paper);
    view->setFocus();
    view->viewport()->repaint();
    std::printf("  switching into the vertical view, painted: %.1f ms (target <= 200 ms)\n",
                Milliseconds(clock));

    std::vector<double> times;
    std::vector<double> paints;
    const QString keys = QStringLiteral("吾輩は猫である_名前*は");
    for (int i = 0; i < 200; ++i) {
        const QString key = keys.mid(i % keys.size(), 1);
        clock.restart();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, key);
        QApplication::sendEvent(view, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, key);
        QApplication::sendEvent(view, &release);
        const double edited = Milliseconds(clock);
        view->viewport()->repaint();
        times.push_back(Milliseconds(clock));
        paints.push_back(times.back() - edited);
    }
    Report("keystroke, key to repainted view", times, 16);
    Report("  of which the painting", paints, 16);

    times.clear();
    for (int i = 0; i < 100; ++i) {
        clock.restart();
        QScrollBar* bar = view->horizontalScrollBar();
        bar->setValue(bar->value() + (i < 50 ? bar->pageStep() : -bar->pageStep()));
        view->viewport()->repaint();
        times.push_back(Milliseconds(clock));
    }
    Report("a screen of scrolling, repainted", times, 16);

    clock.restart();
    QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
    QApplication::sendEvent(view, &end);
    view->viewport()->repaint();
    std::printf("  Ctrl+End, repainted: %.1f ms (target <= 50 ms)\n", Milliseconds(clock));
    QApplication::processEvents();
    std::printf(
        "  memory: %.1f MB with the editor, %.1f MB after switching and typing "
        "(target: within 20 MB)\n",
        horizontalMemory, ResidentMegabytes());
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QFile novel(QStringLiteral(QUIRTLE_REALTEXT_DIR "/wagahaiwa_nekodearu.txt"));
    if (novel.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = novel.readAll();
        if (const auto text = quirtle::text::DecodeShiftJis(
                std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))))
            for (const bool paper : {false, true}) Measure("the real 730 KB novel", *text, paper);
    } else {
        std::printf("the real novel is not there (%s): skipped\n", QUIRTLE_REALTEXT_DIR);
    }
    const auto generated =
        quirtle::text::DecodeShiftJis(quirtle::GenerateManuscript(1024 * 1024)).value_or(QString());
    for (const bool paper : {false, true}) Measure("a generated 1 MB manuscript", generated, paper);
    return 0;
}
