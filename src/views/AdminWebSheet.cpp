#include "views/AdminWebSheet.h"

#include "views/AdminWebView.h"
#include "views/ScreenStyle.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

AdminWebSheet::AdminWebSheet(const QString& title, const QUrl& url, std::function<void()> onDismiss,
                             QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("adminWebSheet"));
    setWindowTitle(title);
    setWindowModality(Qt::WindowModal);
    setAttribute(Qt::WA_DeleteOnClose);
    setMinimumSize(minimumContentSize);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto* header = new QHBoxLayout;
    header->setContentsMargins(12, 12, 12, 12);
    header->addWidget(ScreenStyle::headline(title, this));
    header->addStretch(1);
    auto* done = new QPushButton(QStringLiteral("Done"), this);
    done->setObjectName(QStringLiteral("done"));
    done->setDefault(true);
    header->addWidget(done);
    column->addLayout(header);
    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    column->addWidget(divider);
    webView_ = new AdminWebView(url, this);
    column->addWidget(webView_, 1);

    connect(done, &QPushButton::clicked, this, &QDialog::accept);
    connect(this, &QDialog::finished, this, [onDismiss = std::move(onDismiss)] {
        if (onDismiss)
            onDismiss();
    });
}
