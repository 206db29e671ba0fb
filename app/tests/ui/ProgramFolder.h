#pragma once

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>
#include <QVariant>
#include <QWebEnginePage>
#include <QtTest>

namespace quirtle::testing {

// A program directory for one test: script.cfg, index.html and whatever else the test
// puts there.
class ProgramFolder {
  public:
    explicit ProgramFolder(const QByteArray& scriptList = QByteArray()) {
        // The user's own settings (an "EDITOR" in the configuration folder) stay out.
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path() + QStringLiteral("/config")));
        WriteFile(QStringLiteral("script.cfg"), scriptList);
        QFile page(QStringLiteral(QUIRTLE_RUNTIME_DIR "/index.html"));
        if (page.open(QIODevice::ReadOnly)) WriteFile(QStringLiteral("index.html"), page.readAll());
    }

    // The directory with its trailing '/', as the program hands it around.
    QString Path() const { return dir.path() + '/'; }

    void WriteFile(const QString& name, const QByteArray& bytes) const {
        QFile file(Path() + name);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            qFatal("cannot write test file");
        file.write(bytes);
    }

    void RemoveFile(const QString& name) const { QFile::remove(Path() + name); }

  private:
    QTemporaryDir dir;
};

// Runs a script in the page's main world and waits for its result.
inline QVariant Evaluate(QWebEnginePage* page, const QString& script, int timeoutMs = 30000) {
    QVariant result;
    bool done = false;
    page->runJavaScript(script, [&](const QVariant& value) {
        result = value;
        done = true;
    });
    if (!QTest::qWaitFor([&] { return done; }, timeoutMs)) qWarning("page script timed out");
    return result;
}

}  // namespace quirtle::testing
