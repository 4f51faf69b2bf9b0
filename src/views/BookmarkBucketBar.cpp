#include "views/BookmarkBucketBar.h"

#include "views/BrandColors.h"
#include "views/SemanticColors.h"

#include <QButtonGroup>
#include <QEvent>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScrollBar>
#include <QWheelEvent>

namespace {

// The chosen bucket in gold, the others plain; the same shape either way, so
// that choosing one moves nothing.
QString bucketStyle(bool chosen, const QPalette& palette) {
    const QString shape = QStringLiteral("border-radius: 6px; padding: 3px 12px;");
    if (chosen) {
        const QColor gold = BrandColors::gold();
        return QStringLiteral("QPushButton { %1 background-color: %2; color: #1f1a08;"
                              " border: 1px solid %3; }")
            .arg(shape, gold.name(), gold.darker(120).name());
    }
    QColor hover = palette.color(QPalette::ButtonText);
    hover.setAlphaF(0.08f);
    return QStringLiteral("QPushButton { %1 background-color: transparent; border: 1px solid %2; }"
                          " QPushButton:hover { background-color: %3; }")
        .arg(shape, SemanticColors::separator(palette).name(QColor::HexArgb),
             hover.name(QColor::HexArgb));
}

} // namespace

BookmarkBucketBar::BookmarkBucketBar(QWidget* parent) : QScrollArea(parent) {
    setObjectName(QStringLiteral("bucketBar"));
    setAccessibleName(QStringLiteral("Buckets"));
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWidgetResizable(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    auto* content = new QWidget(this);
    row = new QHBoxLayout(content);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    row->addStretch(1);
    setWidget(content);
    group = new QButtonGroup(this);
    group->setExclusive(true);
    // toggled, not clicked: a screen reader's "Toggle" selects too.
    connect(group, &QButtonGroup::buttonToggled, this, [this](QAbstractButton* button, bool on) {
        if (on)
            Q_EMIT selected(button->text());
    });
}

void BookmarkBucketBar::setBuckets(const QStringList& names, const QString& selected) {
    if (names != names_)
        rebuild(names);
    for (QAbstractButton* button : group->buttons()) {
        const bool chosen = button->text() == selected;
        if (button->isChecked() != chosen) {
            const QSignalBlocker quiet(group);
            button->setChecked(chosen);
        }
    }
    restyle();
    setFixedHeight(widget()->sizeHint().height());
}

void BookmarkBucketBar::restyle() {
    for (QAbstractButton* button : group->buttons()) {
        const QString style = bucketStyle(button->isChecked(), palette());
        if (button->styleSheet() != style)
            button->setStyleSheet(style);
    }
}

// A style sheet keeps the colours of the theme it was made in; a switch
// between light and dark while the program runs needs new ones.
void BookmarkBucketBar::changeEvent(QEvent* event) {
    QScrollArea::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        restyle();
}

QPushButton* BookmarkBucketBar::button(const QString& name) const {
    for (QAbstractButton* button : group->buttons())
        if (button->text() == name)
            return static_cast<QPushButton*>(button);
    return nullptr;
}

void BookmarkBucketBar::rebuild(const QStringList& names) {
    names_ = names;
    for (QAbstractButton* button : group->buttons()) {
        group->removeButton(button);
        delete button;
    }
    for (const QString& name : names) {
        auto* button = new QPushButton(name, widget());
        button->setCheckable(true);
        button->setAutoDefault(false);
        group->addButton(button);
        row->insertWidget(row->count() - 1, button);
    }
}

void BookmarkBucketBar::wheelEvent(QWheelEvent* event) {
    const QPoint delta = event->angleDelta();
    QScrollBar* bar = horizontalScrollBar();
    bar->setValue(bar->value() - (delta.x() != 0 ? delta.x() : delta.y()) / 2);
    event->accept();
}
