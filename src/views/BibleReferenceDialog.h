#pragma once

#include "models/PlaylistItem.h"

#include <QDialog>

class QLineEdit;
class QVBoxLayout;

// "Add Bible reference": book, chapter, first and last verse, pre-filled with
// John 3:16. What the fields make is BibleReferenceEntry's rule.
class BibleReferenceDialog : public QDialog {
    Q_OBJECT

public:
    explicit BibleReferenceDialog(QWidget* parent = nullptr);

    PlaylistItem reference() const;

private:
    QLineEdit* addField(const QString& text, const QString& name);

    QVBoxLayout* fields;
    QLineEdit* book;
    QLineEdit* chapter;
    QLineEdit* verseStart;
    QLineEdit* verseEnd;
};
