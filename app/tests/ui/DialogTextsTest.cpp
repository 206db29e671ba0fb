// The real file dialogs and message boxes: every file listed under "すべてのファイル (*.*)",
// and Japanese texts whatever the locale (offscreen).
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>

#include "ui/JapaneseTexts.h"
#include "ui/QtPrompts.h"

using namespace quirtle;

namespace {

// Runs `inspect` on the modal dialog once it is open (it must close the dialog).
void WhenModalOpens(std::function<void(QWidget*)> inspect) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, inspect] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) return;
        poll->stop();
        poll->deleteLater();
        inspect(modal);
    });
    poll->start(10);
}

// The names the dialog's list shows, once it has read its folder.
QStringList ListedNames(QFileDialog* dialog, int atLeast) {
    auto* list = dialog->findChild<QListView*>(QStringLiteral("listView"));
    QStringList names;
    (void)QTest::qWaitFor(
        [&] {
            names.clear();
            const QModelIndex root = list->rootIndex();
            for (int row = 0; row < list->model()->rowCount(root); ++row) {
                names.append(list->model()->index(row, 0, root).data().toString());
            }
            return names.size() >= atLeast;
        },
        5000);
    QTest::qWait(100);  // let a late filter change settle
    names.clear();
    const QModelIndex root = list->rootIndex();
    for (int row = 0; row < list->model()->rowCount(root); ++row) {
        names.append(list->model()->index(row, 0, root).data().toString());
    }
    names.sort();
    return names;
}

FileDialogRequest ManuscriptRequest(int selected) {
    FileDialogRequest request;
    request.filters = {{QStringLiteral("テキスト ファイル (*.txt)"), QStringLiteral("*.txt")},
                       {QStringLiteral("すべてのファイル (*.*)"), QStringLiteral("*.*")}};
    request.selectedFilter = selected;
    request.defaultSuffix = QStringLiteral("txt");
    return request;
}

}  // namespace

class DialogTextsTest : public QObject {
    Q_OBJECT
  private slots:
    void initTestCase() { QVERIFY(InstallJapaneseTexts(*QCoreApplication::instance())); }

    void allFilesListsNamesWithoutADot() {
        QTemporaryDir dir;
        for (const char16_t* name : {u"README", u"原稿", u"a.txt", u"b.html"}) {
            QFile file(dir.filePath(QString::fromUtf16(name)));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QStringList withAllFiles;
        QStringList withText;
        QStringList shownFilters;
        WhenModalOpens([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            dialog->setDirectory(dir.path());
            withAllFiles = ListedNames(dialog, 4);
            shownFilters = dialog->nameFilters();
            // The user picks the text filter, then all files again, with the keyboard.
            auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            types->setFocus();
            QTest::keyClick(types, Qt::Key_Up);
            withText = ListedNames(dialog, 1);
            QTest::keyClick(types, Qt::Key_Down);
            const QStringList again = ListedNames(dialog, 4);
            if (again != withAllFiles) withAllFiles = again;
            // Chosen from the list: the name goes into the name field as it is.
            dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
                ->setText(QStringLiteral("原稿"));
            QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
        });
        QtPrompts prompts;
        const std::optional<QString> chosen =
            prompts.GetOpenFileName(nullptr, ManuscriptRequest(1));
        QCOMPARE(shownFilters, QStringList({QStringLiteral("テキスト ファイル (*.txt)"),
                                            QStringLiteral("すべてのファイル (*.*)")}));
        QCOMPARE(withAllFiles, QStringList({"README", "a.txt", "b.html", "原稿"}));
        QCOMPARE(withText, QStringList({"a.txt"}));
        QCOMPARE(chosen, std::optional<QString>(dir.filePath(QStringLiteral("原稿"))));
    }

    void fileDialogsSpeakJapanese() {
        QString accept;
        QString reject;
        QString fileName;
        WhenModalOpens([&](QWidget* modal) {
            auto* dialog = qobject_cast<QFileDialog*>(modal);
            auto* buttons = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
            accept = buttons->button(QDialogButtonBox::Open)
                         ? buttons->button(QDialogButtonBox::Open)->text()
                         : buttons->button(QDialogButtonBox::Save)->text();
            reject = buttons->button(QDialogButtonBox::Cancel)->text();
            fileName = dialog->findChild<QLabel*>(QStringLiteral("fileNameLabel"))->text();
            dialog->reject();
        });
        QtPrompts prompts;
        QCOMPARE(prompts.GetOpenFileName(nullptr, ManuscriptRequest(0)), std::nullopt);
        QCOMPARE(accept, QStringLiteral("開く(&O)"));
        QCOMPARE(reject, QStringLiteral("キャンセル"));
        QCOMPARE(fileName, QStringLiteral("ファイル名(&N):"));

        WhenModalOpens([&](QWidget* modal) {
            auto* buttons = modal->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
            accept = buttons->button(QDialogButtonBox::Save)->text();
            qobject_cast<QDialog*>(modal)->reject();
        });
        QCOMPARE(prompts.GetSaveFileName(nullptr, ManuscriptRequest(0)), std::nullopt);
        QCOMPARE(accept, QStringLiteral("保存(&S)"));
    }

    void messageBoxesSpeakJapanese() {
        QStringList texts;
        WhenModalOpens([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            for (QAbstractButton* button : box->buttons()) texts.append(button->text());
            box->button(QMessageBox::No)->click();
        });
        QtPrompts prompts;
        QCOMPARE(prompts.ShowMessage(nullptr, QStringLiteral("変更を保存しますか?"),
                                     QStringLiteral("確認"), MessageButtons::YesNoCancel,
                                     MessageIcon::None),
                 MessageAnswer::No);
        texts.sort();
        QStringList expected = {QStringLiteral("はい(&Y)"), QStringLiteral("いいえ(&N)"),
                                QStringLiteral("キャンセル")};
        expected.sort();
        QCOMPARE(texts, expected);
    }

    void qtsOwnQuestionsAreJapaneseToo() {
        // A box Qt builds itself (as the save dialog's replace question is) takes its button
        // texts from the installed translations.
        QMessageBox box(QMessageBox::Warning, QStringLiteral("x"), QStringLiteral("y"),
                        QMessageBox::Yes | QMessageBox::No);
        const QString yes = box.button(QMessageBox::Yes)->text();
        QVERIFY2(yes.contains(QStringLiteral("はい")), qPrintable(yes));
    }
};

QTEST_MAIN(DialogTextsTest)
#include "DialogTextsTest.moc"
