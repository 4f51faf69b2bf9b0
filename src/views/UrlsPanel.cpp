#include "views/UrlsPanel.h"

#include "app/AppViewModel.h"
#include "services/ServerManager.h"
#include "views/ScreenStyle.h"
#include "views/Symbols.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace ScreenStyle;

namespace {

// Presenter, Operator, Stage, the four web output rows and Admin.
constexpr int maximumRows = 8;

} // namespace

QList<UrlsPanel::UrlRow> UrlsPanel::urlRows(const AppViewModel& app) {
    const QString base = QStringLiteral("http://127.0.0.1:") + QString::number(app.server().port());
    const QString size = QStringLiteral("&w=") + QString::number(app.outputWidth()) +
                         QStringLiteral("&h=") + QString::number(app.outputHeight());
    const auto row = [&](const QString& title, const QString& path) {
        return UrlRow{title, path, base + path};
    };
    QList<UrlRow> rows{row(QStringLiteral("Presenter (iPad)"), QStringLiteral("/presenter")),
                       row(QStringLiteral("Operator"), QStringLiteral("/operator")),
                       row(QStringLiteral("Stage (confidence)"), QStringLiteral("/stage"))};
    if (app.showWebOutputHint()) {
        const QString webOutput = QStringLiteral("/output?w=") +
                                  QString::number(app.outputWidth()) + QStringLiteral("&h=") +
                                  QString::number(app.outputHeight());
        rows << UrlRow{QStringLiteral("Output (OBS · follow theme)"), webOutput,
                       app.outputURLString()}
             << row(QStringLiteral("OBS · Lower third"),
                    QStringLiteral("/output?layout=lowerThird") + size)
             << row(QStringLiteral("OBS · Center"), QStringLiteral("/output?layout=center") + size)
             << row(QStringLiteral("OBS · Fullscreen"),
                    QStringLiteral("/output?layout=fullscreen") + size);
    }
    rows << row(QStringLiteral("Admin (web)"), QStringLiteral("/admin"));
    return rows;
}

UrlsPanel::UrlsPanel(AppViewModel& app, QWidget* parent)
    : QGroupBox(QStringLiteral("URLs"), parent), app(app) {
    auto* column = new QVBoxLayout(this);
    column->setSpacing(10);
    for (int i = 0; i < maximumRows; ++i) {
        rows.append(addRow(i));
        column->addWidget(rows.last().row);
    }
}

UrlsPanel::RowWidgets UrlsPanel::addRow(int index) {
    RowWidgets widgets{};
    widgets.row = new QWidget(this);
    auto* row = new QHBoxLayout(widgets.row);
    row->setContentsMargins(0, 0, 0, 0);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(1);
    widgets.title = new QLabel(widgets.row);
    widgets.title->setFont(scaled(widgets.title->font(), 1.0, QFont::DemiBold));
    widgets.url = caption(QString(), widgets.row);
    widgets.url->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    widgets.url->setWordWrap(false);
    widgets.url->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A long address must not widen the screen past a small window; the
    // whole of it is in the tooltip and on the clipboard.
    widgets.url->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    texts->addWidget(widgets.title);
    texts->addWidget(widgets.url);
    row->addLayout(texts, 1);
    widgets.copy = new QPushButton(widgets.row);
    widgets.copy->setIcon(Symbols::icon(QStringLiteral("doc.on.doc")));
    widgets.copy->setToolTip(QStringLiteral("Copy URL"));
    widgets.open = new QPushButton(QStringLiteral("Open"), widgets.row);
    row->addWidget(widgets.copy);
    row->addWidget(widgets.open);
    connect(widgets.copy, &QPushButton::clicked, this,
            [this, label = widgets.url] { app.copyToPasteboard(label->text()); });
    connect(widgets.open, &QPushButton::clicked, this, [this, index] {
        const QList<UrlRow> current = urlRows(app);
        if (index < current.size())
            app.openURL(current[index].path, false);
    });
    return widgets;
}

void UrlsPanel::render() {
    const QList<UrlRow> current = urlRows(app);
    const bool running = app.mirroredServerRunning();
    for (int i = 0; i < rows.size(); ++i) {
        const RowWidgets& widgets = rows[i];
        widgets.row->setVisible(i < current.size());
        if (i >= current.size())
            continue;
        setIfChanged(widgets.title, current[i].title);
        setIfChanged(widgets.url, current[i].shown);
        widgets.url->setToolTip(current[i].shown);
        // Each row's buttons say which address they act on.
        widgets.copy->setAccessibleName(QStringLiteral("Copy URL: ") + current[i].title);
        widgets.open->setAccessibleName(QStringLiteral("Open ") + current[i].title);
        widgets.open->setEnabled(running);
    }
}
