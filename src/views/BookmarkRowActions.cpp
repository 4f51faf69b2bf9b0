#include "views/BookmarkRowActions.h"

#include "views/BookmarkDelegate.h"

#include <QHBoxLayout>
#include <QToolButton>

namespace {

struct Look {
    const char* name;
    const char* symbol;
};

// In the order of BookmarkRowAction.
constexpr std::array<Look, BookmarkRowActions::count> looks{{
    {"Move up", "chevron.up"},
    {"Move down", "chevron.down"},
    {"Edit", "pencil"},
    {"Delete", "trash"},
}};

} // namespace

QString BookmarkRowActions::name(BookmarkRowAction action) {
    return QString::fromLatin1(looks[size_t(action)].name);
}

QString BookmarkRowActions::symbol(BookmarkRowAction action) {
    return QString::fromLatin1(looks[size_t(action)].symbol);
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
