#include "views/BookmarkBucketBar.h"

#include "views/ScreenStyle.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScrollBar>
#include <QWheelEvent>

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
        auto* push = static_cast<QPushButton*>(button);
        if (chosen)
            ScreenStyle::makeProminent(push);
        else
            push->setStyleSheet(QString());
    }
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
    setFixedHeight(widget()->sizeHint().height());
}

void BookmarkBucketBar::wheelEvent(QWheelEvent* event) {
    const QPoint delta = event->angleDelta();
    QScrollBar* bar = horizontalScrollBar();
    bar->setValue(bar->value() - (delta.x() != 0 ? delta.x() : delta.y()) / 2);
    event->accept();
}
