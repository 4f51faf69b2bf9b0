#pragma once

#include <QGroupBox>
#include <QList>
#include <QString>

class AppViewModel;
class QLabel;
class QPushButton;

// The Dashboard's "URLs" box: the addresses OBS, the iPad and a browser use,
// each with a copy button and an "Open" that works while the server runs.
class UrlsPanel : public QGroupBox {
    Q_OBJECT

public:
    // One address of the box.
    struct UrlRow {
        QString title;
        QString path;  // what "Open" opens
        QString shown; // what is shown and copied
        bool operator==(const UrlRow&) const = default;
    };
    static QList<UrlRow> urlRows(const AppViewModel& app);

    explicit UrlsPanel(AppViewModel& app, QWidget* parent = nullptr);

    void render();

private:
    struct RowWidgets {
        QWidget* row;
        QLabel* title;
        QLabel* url;
        QPushButton* copy;
        QPushButton* open;
    };
    RowWidgets addRow(int index);

    AppViewModel& app;
    QList<RowWidgets> rows;
};
