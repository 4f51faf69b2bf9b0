#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QWidget>

class QAbstractButton;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QToolButton;

// The row that heads a screen: its title at the left; at the right an
// optional caption shown only while the server is stopped (the screen then
// edits the files directly), the screen's buttons and its reload button, in
// the order they are added.
class ScreenHeader : public QWidget {
    Q_OBJECT

public:
    ScreenHeader(const QString& title, QWidget* parent);

    // The caption shown while the server is stopped.
    void setStoppedCaption(const QString& text);
    void setServerRunning(bool running);

    QPushButton* addButton(const QString& text, const QString& symbol = QString());
    // An icon-only button with the circular arrows, named `accessibleName`
    // for a screen reader and as its tooltip.
    QToolButton* addReloadButton(const QString& accessibleName);

protected:
    void changeEvent(QEvent* event) override;

private:
    void ink(QAbstractButton* button, const QString& symbol);

    QHBoxLayout* row;
    QLabel* stoppedCaption = nullptr;
    QList<QPair<QAbstractButton*, QString>> symbols;
};
