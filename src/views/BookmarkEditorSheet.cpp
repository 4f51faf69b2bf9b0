#include "views/BookmarkEditorSheet.h"

#include "models/BookmarkEdits.h"
#include "views/BookmarkAccent.h"
#include "views/ScreenStyle.h"
#include "views/SemanticColors.h"

#include <QButtonGroup>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

constexpr int quickBucketLimit = 6;
constexpr int swatchButtonSize = 22;

QLineEdit* textField(const QString& name, const QString& text, QWidget* parent) {
    auto* field = new QLineEdit(text, parent);
    field->setObjectName(name.toLower());
    field->setAccessibleName(name);
    field->setPlaceholderText(name);
    return field;
}

// A round button filled with the swatch, ringed in the text colour when
// chosen.
QPushButton* swatchButton(const QString& color, QWidget* parent) {
    auto* button = new QPushButton(parent);
    const QString label = BookmarkAccent::label(color);
    button->setObjectName(QStringLiteral("color-") + color);
    button->setAccessibleName(label);
    button->setToolTip(label);
    button->setCheckable(true);
    button->setAutoDefault(false);
    button->setFixedSize(swatchButtonSize, swatchButtonSize);
    const QPalette& palette = parent->palette();
    const QColor ring = palette.color(QPalette::WindowText);
    // A hairline keeps the darkest swatches visible on a dark theme.
    button->setStyleSheet(
        QStringLiteral("QPushButton { background-color: %1; border: 1px solid %4;"
                       " border-radius: %2px; }"
                       " QPushButton:checked { border: 2px solid %3; }"
                       " QPushButton:focus { border: 2px dotted %3; }")
            .arg(BookmarkAccent::swatch(color).name())
            .arg(swatchButtonSize / 2)
            .arg(ring.name(), SemanticColors::separator(palette).name(QColor::HexArgb)));
    return button;
}

} // namespace

BookmarkEditorSheet::BookmarkEditorSheet(Bookmark bookmark, QStringList knownBuckets,
                                         std::function<void(Bookmark)> onSave, QWidget* parent)
    : QDialog(parent), bookmark_(std::move(bookmark)), knownBuckets(std::move(knownBuckets)),
      onSave(std::move(onSave)) {
    setObjectName(QStringLiteral("bookmarkEditor"));
    const QString title =
        bookmark_.id.isEmpty() ? QStringLiteral("New bookmark") : QStringLiteral("Edit bookmark");
    setWindowTitle(title);
    setWindowModality(Qt::WindowModal);
    setFixedWidth(sheetWidth);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(16);
    auto* heading = new QLabel(title, this);
    heading->setFont(ScreenStyle::scaled(heading->font(), 1.4, QFont::Bold));
    column->addWidget(heading);

    auto* form = new QFormLayout;
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form->setLabelAlignment(Qt::AlignRight | Qt::AlignVCenter);
    form->setVerticalSpacing(10);
    addTextFields(form);
    addSteppers(form);
    column->addLayout(form);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setAutoDefault(false);
    auto* saveButton = new QPushButton(QStringLiteral("Save"), this);
    saveButton->setObjectName(QStringLiteral("save"));
    saveButton->setDefault(true);
    ScreenStyle::makeProminent(saveButton);
    buttons->addWidget(cancel);
    buttons->addWidget(saveButton);
    column->addLayout(buttons);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(saveButton, &QPushButton::clicked, this, &BookmarkEditorSheet::save);
}

void BookmarkEditorSheet::addTextFields(QFormLayout* form) {
    auto* label = textField(QStringLiteral("Label"), bookmark_.label, this);
    connect(label, &QLineEdit::textEdited, this,
            [this](const QString& text) { bookmark_.label = text; });
    form->addRow(QStringLiteral("Label"), label);

    bucketField = textField(QStringLiteral("Bucket"), bookmark_.bucket.value_or(QString()), this);
    bucketField->setToolTip(
        QStringLiteral("e.g. Baptism, Communion, Invitation — leave blank for General"));
    // Whatever is typed is kept, an empty text too; saving trims it.
    connect(bucketField, &QLineEdit::textChanged, this,
            [this](const QString& text) { bookmark_.bucket = text; });
    form->addRow(QStringLiteral("Bucket"), bucketField);
    addQuickBuckets(form);
    addColors(form);

    auto* book = textField(QStringLiteral("Book"), bookmark_.book, this);
    connect(book, &QLineEdit::textEdited, this,
            [this](const QString& text) { bookmark_.book = text; });
    form->addRow(QStringLiteral("Book"), book);
}

void BookmarkEditorSheet::addQuickBuckets(QFormLayout* form) {
    if (knownBuckets.isEmpty())
        return;
    auto* row = new QHBoxLayout;
    row->setSpacing(6);
    for (const QString& name : knownBuckets.mid(0, quickBucketLimit)) {
        auto* button = new QPushButton(name, this);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, name] { bucketField->setText(name); });
        row->addWidget(button);
    }
    row->addStretch(1);
    form->addRow(ScreenStyle::caption(QStringLiteral("Quick buckets"), this), row);
}

void BookmarkEditorSheet::addColors(QFormLayout* form) {
    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    auto* group = new QButtonGroup(this);
    const QStringList& colors = BookmarkEdits::allowedColors();
    const qsizetype current =
        qMax<qsizetype>(0, colors.indexOf(bookmark_.color.value_or(QString())));
    for (qsizetype i = 0; i < colors.size(); ++i) {
        QPushButton* button = swatchButton(colors[i], this);
        button->setChecked(i == current);
        group->addButton(button);
        row->addWidget(button);
        connect(button, &QPushButton::toggled, this, [this, color = colors[i]](bool on) {
            if (on)
                bookmark_.color = color;
        });
    }
    row->addStretch(1);
    form->addRow(ScreenStyle::caption(QStringLiteral("Color"), this), row);
}

QSpinBox* BookmarkEditorSheet::stepper(const QString& name, int maximum, int value,
                                       QFormLayout* form) {
    auto* box = new QSpinBox(this);
    box->setObjectName(QString(name).remove(u' ').toLower());
    box->setAccessibleName(name);
    box->setPrefix(name + QStringLiteral(": "));
    box->setRange(1, maximum);
    box->setValue(value);
    form->addRow(QString(), box);
    return box;
}

void BookmarkEditorSheet::addSteppers(QFormLayout* form) {
    auto* chapter = stepper(QStringLiteral("Chapter"), 150, bookmark_.chapter, form);
    connect(chapter, &QSpinBox::valueChanged, this,
            [this](int value) { bookmark_.chapter = value; });
    auto* verseStart = stepper(QStringLiteral("Verse start"), 176, bookmark_.verseStart, form);
    verseEndStepper = stepper(QStringLiteral("Verse end"), 176,
                              bookmark_.verseEnd.value_or(bookmark_.verseStart), form);
    connect(verseStart, &QSpinBox::valueChanged, this, [this](int value) {
        bookmark_.verseStart = value;
        // Without an end of its own the range ends where it starts.
        if (!bookmark_.verseEnd) {
            const QSignalBlocker quiet(verseEndStepper);
            verseEndStepper->setValue(value);
        }
    });
    connect(verseEndStepper, &QSpinBox::valueChanged, this,
            [this](int value) { bookmark_.verseEnd = value; });
}

void BookmarkEditorSheet::save() {
    onSave(bookmark_);
    accept();
}
