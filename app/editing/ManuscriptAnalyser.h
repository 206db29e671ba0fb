#pragma once

#include <QObject>
#include <QString>
#include <QThreadPool>

#include "editing/ManuscriptAnalysis.h"

namespace quirtle::editing {

// Analyses the editor's text on a thread of its own, one analysis at a time: a text handed
// in while one runs waits, and only the newest waiting text is analysed next.
class ManuscriptAnalyser : public QObject {
    Q_OBJECT
  public:
    explicit ManuscriptAnalyser(QObject* parent = nullptr);
    ~ManuscriptAnalyser() override;

    // `revision` names the text (the document's revision); it comes back with the result.
    void Start(QString text, int revision);
    bool Running() const { return running; }

  signals:
    void Analysed(const quirtle::editing::ManuscriptAnalysis& analysis, int revision);

  private:
    void Run(QString text, int revision);

    bool running = false;
    bool waiting = false;
    QString waitingText;
    int waitingRevision = 0;
    // Last member: its destruction waits for the analysis that runs.
    QThreadPool pool;
};

}  // namespace quirtle::editing
