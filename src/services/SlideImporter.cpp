#include "services/SlideImporter.h"

#include "models/AtomicFileWriter.h"
#include "models/PlaylistEdits.h"
#include "services/SlideFiles.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPdfDocument>
#include <memory>
#include <vector>

namespace SlideImporter {

namespace {

// One chosen file and how many slides it will make.
struct Source {
    QString path;
    QString base;
    QString extension;
    std::unique_ptr<QPdfDocument> deck;
    int slides = 1;
};

QString pdfFailure(QPdfDocument::Error error) {
    switch (error) {
    case QPdfDocument::Error::FileNotFound:
        return QStringLiteral("file not found");
    case QPdfDocument::Error::IncorrectPassword:
    case QPdfDocument::Error::UnsupportedSecurityScheme:
        return QStringLiteral("the PDF is protected by a password; export it again without one");
    default:
        return QStringLiteral("not a PDF that can be read; export the deck again");
    }
}

// The page scaled to fit the output, centred on black like the output shows
// a slide; the page itself is white paper, as every PDF viewer draws it.
QImage renderPage(QPdfDocument& deck, int page, const QSize& outputSize) {
    const QSizeF pageSize = deck.pagePointSize(page);
    if (pageSize.isEmpty())
        return {};
    const QSize fitted = pageSize.scaled(outputSize, Qt::KeepAspectRatio).toSize();
    const QImage rendered = deck.render(page, fitted);
    if (rendered.isNull())
        return {};
    QImage slide(outputSize, QImage::Format_RGB32);
    slide.fill(Qt::black);
    QPainter painter(&slide);
    const QRect target(QPoint((outputSize.width() - fitted.width()) / 2,
                              (outputSize.height() - fitted.height()) / 2),
                       fitted);
    painter.fillRect(target, Qt::white);
    painter.drawImage(target, rendered);
    return slide;
}

std::optional<QString> writePng(const QImage& image, const QString& path) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        return path + QStringLiteral(": the page could not be encoded");
    const auto written = AtomicFileWriter::write(path, bytes);
    return written ? std::nullopt : std::optional(written.error());
}

std::vector<Source> plan(const QStringList& paths, std::optional<QString>& error) {
    std::vector<Source> sources;
    for (const QString& path : paths) {
        const QFileInfo info(path);
        Source source{path, info.completeBaseName(), info.suffix().toLower(), nullptr, 1};
        if (source.extension == QStringLiteral("jpeg"))
            source.extension = QStringLiteral("jpg");
        if (source.extension == QStringLiteral("pdf")) {
            source.deck = std::make_unique<QPdfDocument>();
            const auto loaded = source.deck->load(path);
            if (loaded != QPdfDocument::Error::None) {
                error = path + QStringLiteral(": ") + pdfFailure(loaded);
                continue;
            }
            source.slides = source.deck->pageCount();
        }
        sources.push_back(std::move(source));
    }
    return sources;
}

} // namespace

QString nameFilter() {
    return QStringLiteral("Slide images or PDF decks (*.png *.jpg *.jpeg *.webp *.gif *.pdf)");
}

QString deckTitle(const QString& base) {
    QStringList words = QString(base)
                            .replace(u'-', u' ')
                            .replace(u'_', u' ')
                            .simplified()
                            .split(u' ', Qt::SkipEmptyParts);
    for (QString& word : words)
        if (word == word.toLower())
            word[0] = word[0].toUpper();
    return words.join(u' ');
}

Outcome importFiles(PlaylistsConfig config, const QStringList& paths, const QSize& outputSize,
                    qint64 epochSeconds, const Progress& progress) {
    Outcome outcome{std::move(config), std::nullopt, false};
    const QString folder = SlideFiles::directory();
    if (auto failed = SlideFiles::makeDirectory()) {
        outcome.error = failed;
        return outcome;
    }
    const std::vector<Source> sources = plan(paths, outcome.error);
    int total = 0;
    for (const Source& source : sources)
        total += source.slides;
    int done = 0;
    for (const Source& source : sources) {
        const QString id = PlaylistEdits::slideSlug(source.base, epochSeconds);
        for (int page = 0; page < source.slides; ++page, ++done) {
            if (!progress(done, total)) {
                outcome.cancelled = true;
                return outcome;
            }
            LessonSlide slide{id, source.base, id + u'.' + source.extension};
            std::optional<QString> failed;
            if (source.deck) {
                const QString number = QString::number(page + 1);
                slide.id = id + u'-' + number.rightJustified(2, u'0');
                slide.label = deckTitle(source.base) + u' ' + number;
                slide.imageFile = slide.id + QStringLiteral(".png");
                const QImage image = renderPage(*source.deck, page, outputSize);
                failed = image.isNull()
                             ? std::optional(source.path + QStringLiteral(": page %1 could not be "
                                                                          "drawn")
                                                               .arg(number))
                             : writePng(image, QDir(folder).filePath(slide.imageFile));
            } else if (const auto copied = AtomicFileWriter::copy(
                           source.path, QDir(folder).filePath(slide.imageFile));
                       !copied) {
                failed = copied.error();
            }
            if (failed)
                outcome.error = failed;
            else
                PlaylistEdits::putSlide(outcome.config, slide);
        }
    }
    progress(total, total);
    return outcome;
}

} // namespace SlideImporter
