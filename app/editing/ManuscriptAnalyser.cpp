#include "editing/ManuscriptAnalyser.h"

#include "text/Utf8ShiftJis.h"

namespace quirtle::editing {

ManuscriptAnalyser::ManuscriptAnalyser(QObject* parent) : QObject(parent) {
    pool.setMaxThreadCount(1);
}

ManuscriptAnalyser::~ManuscriptAnalyser() {
    pool.waitForDone();
}

void ManuscriptAnalyser::Start(QString text, int revision) {
    if (running) {
        waiting = true;
        waitingText = std::move(text);
        waitingRevision = revision;
        return;
    }
    Run(std::move(text), revision);
}

void ManuscriptAnalyser::Run(QString text, int revision) {
    running = true;
    pool.start([this, text = std::move(text), revision] {
        ManuscriptAnalysis analysis = AnalyseManuscript(text::ToUtf8(text));
        QMetaObject::invokeMethod(
            this,
            [this, analysis = std::move(analysis), revision] {
                running = false;
                emit Analysed(analysis, revision);
                if (waiting) {
                    waiting = false;
                    Run(std::move(waitingText), waitingRevision);
                }
            },
            Qt::QueuedConnection);
    });
}

}  // namespace quirtle::editing
