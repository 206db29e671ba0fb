#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>

namespace quirtle {

// SIGTERM, SIGHUP and SIGINT (the system ending the program, a closed terminal, Ctrl+C)
// turned into a Qt signal on the user-interface thread, so that the program can keep
// the author's text before it ends. The handler only writes the signal's number into a
// pipe; after the first signal the default action is back, so a second one ends the
// program at once even if the first could not be handled.
class TerminationSignals : public QObject {
    Q_OBJECT
  public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;  // the default actions are back
    // False when the signals could not be caught (their default actions then stay).
    bool Install();

  signals:
    void Received(int signalNumber);

  private:
    void Read();

    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace quirtle
