// What every document test works on: a document manager on a scripted editor and scripted
// prompts, and a scratch folder, made afresh for each test function (Reset, from init()).
#pragma once

#include <QObject>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "documents/DocumentFiles.h"
#include "support/PlainTextEditor.h"
#include "support/ScriptedPrompts.h"

class DocumentFixture : public QObject {
  protected:
    void Reset() {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        editor_ = std::make_unique<quirtle::testing::PlainTextEditor>();
        prompts_ = std::make_unique<quirtle::testing::ScriptedPrompts>();
        files_ = std::make_unique<quirtle::DocumentFiles>(*editor_, *prompts_, nullptr);
    }

    QString Path(const QString& name) const { return dir_->filePath(name); }

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<quirtle::testing::PlainTextEditor> editor_;
    std::unique_ptr<quirtle::testing::ScriptedPrompts> prompts_;
    std::unique_ptr<quirtle::DocumentFiles> files_;
};
