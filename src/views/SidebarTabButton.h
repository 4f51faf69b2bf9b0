#pragma once

#include <QAbstractButton>
#include <QIcon>

// One row of the sidebar: symbol and title, the whole row clickable, a
// rounded gold background when selected and no other button chrome.
class SidebarTabButton : public QAbstractButton {
    Q_OBJECT

public:
    static constexpr int iconSize = 18;
    static constexpr qreal selectionOpacity = 0.35;

    SidebarTabButton(const QIcon& icon, const QString& title, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    QPixmap tintedIcon(const QColor& colour) const;

    bool hovered = false;
    // The focus ring is for keyboard users; a click or the window opening
    // also moves the focus, and a ring then would only look like a glitch.
    bool keyboardFocus = false;
};
