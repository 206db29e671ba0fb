#include <QApplication>
#include <QtTest>

#include "EditingTests.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int failures = 0;
    SearchTest search;
    failures += QTest::qExec(&search, argc, argv);
    AnalysisTest analysis;
    failures += QTest::qExec(&analysis, argc, argv);
    InsertionTest insertion;
    failures += QTest::qExec(&insertion, argc, argv);
    FindBarTest bar;
    failures += QTest::qExec(&bar, argc, argv);
    return failures == 0 ? 0 : 1;
}
