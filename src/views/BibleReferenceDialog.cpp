#include "views/BibleReferenceDialog.h"

#include "models/BibleReferenceEntry.h"
#include "views/ScreenStyle.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

BibleReferenceDialog::BibleReferenceDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Add Bible reference"));
    auto* column = new QVBoxLayout(this);
    column->addWidget(ScreenStyle::headline(QStringLiteral("Add Bible reference"), this));
    column->addWidget(ScreenStyle::caption(
        QStringLiteral("Book, chapter, verse start, optional verse end"), this));
    fields = new QVBoxLayout;
    fields->setSpacing(6);
    column->addLayout(fields);
    book = addField(QStringLiteral("John"), QStringLiteral("Book"));
    chapter = addField(QStringLiteral("3"), QStringLiteral("Chapter"));
    verseStart = addField(QStringLiteral("16"), QStringLiteral("Verse start"));
    verseEnd = addField(QStringLiteral("16"), QStringLiteral("Verse end (optional)"));
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("Add"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    column->addWidget(buttons);
    setMinimumWidth(300);
}

QLineEdit* BibleReferenceDialog::addField(const QString& text, const QString& name) {
    auto* field = new QLineEdit(text, this);
    field->setPlaceholderText(name);
    field->setAccessibleName(name);
    field->setFixedWidth(240);
    fields->addWidget(field);
    return field;
}

PlaylistItem BibleReferenceDialog::reference() const {
    return BibleReferenceEntry::parse(book->text(), chapter->text(), verseStart->text(),
                                      verseEnd->text());
}
