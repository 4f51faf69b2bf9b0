#include "views/BookmarkRowActions.h"

#include "views/BookmarkDelegate.h"

#include <QHBoxLayout>
#include <QToolButton>

QString BookmarkRowActions::name(BookmarkRowAction action) {
    switch (action) {
    case BookmarkRowAction::moveUp:
        return QStringLiteral("Move up");
    case BookmarkRowAction::moveDown:
        return QStringLiteral("Move down");
    case BookmarkRowAction::edit:
        return QStringLiteral("Edit");
    case BookmarkRowAction::remove:
        return QStringLiteral("Delete");
    }
    return {};
}

QString BookmarkRowActions::symbol(BookmarkRowAction action) {
    switch (action) {
    case BookmarkRowAction::moveUp:
        return QStringLiteral("chevron.up");
    case BookmarkRowAction::moveDown:
        return QStringLiteral("chevron.down");
    case BookmarkRowAction::edit:
        return QStringLiteral("pencil");
    case BookmarkRowAction::remove:
        return QStringLiteral("trash");
    }
    return {};
}

BookmarkRowActions::BookmarkRowActions(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("rowActions"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(spacing);
    for (int i = 0; i < count; ++i) {
        const auto action = BookmarkRowAction(i);
        auto* button = new QToolButton(this);
        button->setAutoRaise(true);
        button->setFixedSize(buttonSize, buttonSize);
        button->setIcon(BookmarkDelegate::actionIcon(action, palette()));
        button->setAccessibleName(name(action));
        button->setToolTip(name(action));
        connect(button, &QToolButton::clicked, this, [this, action] { Q_EMIT triggered(action); });
        row->addWidget(button);
        buttons[size_t(i)] = button;
    }
}

void BookmarkRowActions::setEnabled(BookmarkRowAction action, bool enabled) {
    button(action)->setEnabled(enabled);
}

QToolButton* BookmarkRowActions::button(BookmarkRowAction action) const {
    return buttons[size_t(action)];
}
