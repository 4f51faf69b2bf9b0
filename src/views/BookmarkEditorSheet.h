#pragma once

#include "models/Bookmark.h"

#include <QDialog>
#include <QStringList>
#include <functional>

class QAbstractButton;
class QButtonGroup;
class QFormLayout;
class QLineEdit;
class QSpinBox;

// The sheet that edits one bookmark: a working copy that Save hands to
// `onSave` and Cancel drops. It checks nothing; what is stored is decided
// when the screen saves the edit.
class BookmarkEditorSheet : public QDialog {
    Q_OBJECT

public:
    static constexpr int sheetWidth = 460;

    BookmarkEditorSheet(Bookmark bookmark, QStringList knownBuckets,
                        std::function<void(Bookmark)> onSave, QWidget* parent);

    const Bookmark& bookmark() const { return bookmark_; }

private:
    void addTextFields(QFormLayout* form);
    void addQuickBuckets(QFormLayout* form);
    void addColors(QFormLayout* form);
    void addSteppers(QFormLayout* form);
    QSpinBox* stepper(const QString& name, int maximum, int value, QFormLayout* form);
    void save();

    Bookmark bookmark_;
    QStringList knownBuckets;
    std::function<void(Bookmark)> onSave;
    QLineEdit* bucketField = nullptr;
    QSpinBox* verseEndStepper = nullptr;
};
