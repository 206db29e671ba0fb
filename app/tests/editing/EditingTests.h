#pragma once

#include <QObject>

// The test classes of the editor's features, run one after another by EditingTestMain.
class SearchTest : public QObject {
    Q_OBJECT
  private slots:
    void PlainSearchHonoursCaseAndWidth();
    void FoldingMapsPositionsBack();
    void RegularExpressionsWithGroups();
    void InvalidExpressionIsReported();
    void CatastrophicExpressionEnds();
    void SearchWithinARange();
};

class AnalysisTest : public QObject {
    Q_OBJECT
  private slots:
    void HeadingsNestAsSectionsNest();
    void RejectedHeadingsAreListedAndMarked();
    void HeadingsCountTheirCharacters();
    void LexerKnowsTheTokenKinds();
    void HighlighterMarksExactlyTheConvertersRejections();
};

class InsertionTest : public QObject {
    Q_OBJECT
  private slots:
    void AnySelectedTextRoundTrips();
    void InsertionsAreOneUndoStep();
    void WithoutSelectionTheCursorWaitsInside();
};

class FindBarTest : public QObject {
    Q_OBJECT
  private slots:
    void IncrementalSearchAndWrapping();
    void ReplaceOneAndAllAsOneUndoStep();
    void ReplaceAllWithinTheSelection();
    void RegularReplacementAndInvalidPattern();
    void KeysOfTheBar();
    void OutlineListsAndJumps();
};
