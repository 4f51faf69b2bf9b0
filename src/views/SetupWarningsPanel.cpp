#include "views/SetupWarningsPanel.h"

#include "app/AppViewModel.h"
#include "services/ApplicationSupport.h"
#include "services/ProjectPaths.h"
#include "views/ScreenStyle.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

using namespace ScreenStyle;

namespace {

const QString nodeDownloadPage = QStringLiteral("https://nodejs.org/en/download");
const QString rebuildRemedy =
    QStringLiteral("Run make stage in the project folder, or reinstall the Vesperline package.");

// The box's text column, beside its symbol.
QVBoxLayout* textColumn(QFrame* box) {
    auto* column = new QVBoxLayout;
    static_cast<QHBoxLayout*>(box->layout())->addLayout(column, 1);
    return column;
}

} // namespace

SetupWarningsPanel::SetupWarningsPanel(AppViewModel& app, QWidget* parent)
    : QWidget(parent), app(app) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);

    bootstrapWarning = addWarning(QStringLiteral("bootstrapWarning"),
                                  QStringLiteral("exclamationmark.triangle.fill"));
    bootstrapText = new QLabel(bootstrapWarning);
    bootstrapText->setWordWrap(true);
    bootstrapText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    textColumn(bootstrapWarning)->addWidget(bootstrapText);

    nodeWarning =
        addWarning(QStringLiteral("nodeWarning"), QStringLiteral("exclamationmark.triangle.fill"));
    QVBoxLayout* node = textColumn(nodeWarning);
    nodeHeadline = headline(QString(), nodeWarning);
    nodeDetail = caption(QString(), nodeWarning);
    nodeDownload = new QLabel(
        QStringLiteral("<a href=\"%1\">Download Node.js</a>").arg(nodeDownloadPage), nodeWarning);
    nodeDownload->setOpenExternalLinks(true);
    nodeDownload->setAccessibleName(QStringLiteral("Download Node.js"));
    node->addWidget(nodeHeadline);
    node->addWidget(nodeDetail);
    node->addWidget(nodeDownload);
    auto* recheck = new QPushButton(QStringLiteral("Recheck"), nodeWarning);
    recheck->setObjectName(QStringLiteral("recheck"));
    connect(recheck, &QPushButton::clicked, this, [this] { this->app.refreshNode(); });
    static_cast<QHBoxLayout*>(nodeWarning->layout())->addWidget(recheck, 0, Qt::AlignTop);

    databaseWarning =
        addWarning(QStringLiteral("databaseWarning"), QStringLiteral("book.closed.fill"));
    QVBoxLayout* database = textColumn(databaseWarning);
    database->addWidget(headline(QStringLiteral("Bible database missing"), databaseWarning));
    databasePath = caption(QString(), databaseWarning);
    databasePath->setTextInteractionFlags(Qt::TextSelectableByMouse);
    database->addWidget(databasePath);

    buildWarning = addWarning(QStringLiteral("buildWarning"), QStringLiteral("shippingbox.fill"));
    QVBoxLayout* build = textColumn(buildWarning);
    buildHeadline = headline(QString(), buildWarning);
    build->addWidget(buildHeadline);
    build->addWidget(caption(rebuildRemedy, buildWarning));
}

QFrame* SetupWarningsPanel::addWarning(const QString& name, const QString& symbol) {
    auto* box = new QFrame(this);
    box->setObjectName(name);
    box->setFrameShape(QFrame::StyledPanel);
    auto* row = new QHBoxLayout(box);
    row->addWidget(symbolLabel(symbol, 18, box), 0, Qt::AlignTop);
    layout()->addWidget(box);
    return box;
}

void SetupWarningsPanel::render() {
    const auto& bootstrapError = app.bootstrapError();
    bootstrapWarning->setVisible(bootstrapError.has_value());
    if (bootstrapError)
        setIfChanged(bootstrapText, *bootstrapError);

    nodeWarning->setVisible(!app.nodeInfo());
    const bool selfContained = app.isSelfContained();
    setIfChanged(nodeHeadline, selfContained ? QStringLiteral("Bundled Node missing")
                                             : QStringLiteral("Node.js 20+ required"));
    setIfChanged(nodeDetail,
                 selfContained
                     ? QStringLiteral("Reinstall from the release package, or rebuild with make "
                                      "stage in the project folder.")
                     : QStringLiteral("Install Node.js 20 or later from the Node.js website or "
                                      "your package manager (sudo apt install nodejs), or use a "
                                      "release build with embedded Node."));
    nodeDownload->setVisible(!selfContained);

    const ProjectPaths paths{app.projectRoot()};
    databaseWarning->setVisible(!paths.hasBibleDatabase());
    setIfChanged(databasePath, ApplicationSupport::path(QStringLiteral("data/bible.sqlite")));

    const bool buildPresent = paths.hasServerBuild();
    buildWarning->setVisible(!buildPresent || (selfContained && !paths.hasServerDependencies()));
    setIfChanged(buildHeadline, buildPresent ? QStringLiteral("Server dependencies missing")
                                             : QStringLiteral("Server build not bundled"));
    setVisible(!bootstrapWarning->isHidden() || !nodeWarning->isHidden() ||
               !databaseWarning->isHidden() || !buildWarning->isHidden());
}
