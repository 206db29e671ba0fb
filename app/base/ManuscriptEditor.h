#pragma once

#include <QString>

namespace quirtle {

// What the document, export and external-editor commands need of the editor pane.
// The pane is the only holder of the manuscript text and of its unsaved-changes flag.
class ManuscriptEditor {
  public:
    virtual ~ManuscriptEditor() = default;
    virtual bool IsModified() const = 0;
    virtual void SetModified(bool modified) = 0;
    virtual void EmptyUndoBuffer() = 0;
    // The whole text, '\n' line breaks.
    virtual QString Text() const = 0;
    // Replaces the whole text (as one undoable edit; EmptyUndoBuffer forgets it).
    virtual void ReplaceText(const QString& text) = 0;
};

}  // namespace quirtle
