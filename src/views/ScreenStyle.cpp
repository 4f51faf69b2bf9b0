#include "views/ScreenStyle.h"

#include "views/BrandColors.h"
#include "views/SemanticColors.h"
#include "views/Symbols.h"

#include <QApplication>
#include <QEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {

// A colour computed once keeps the theme it was computed in: after a switch
// to dark, a caption made in light mode would stay dark grey on dark. The
// follower recomputes its widget's tone from the new palette.
class ToneFollower : public QObject {
public:
    static constexpr const char* name = "toneFollower";

    explicit ToneFollower(QWidget* widget) : QObject(widget) {
        setObjectName(QString::fromLatin1(name));
        widget->installEventFilter(this);
    }

    void apply(std::optional<SemanticColors::Tone> wanted) {
        tone = wanted;
        recolour();
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::ApplicationPaletteChange ||
            event->type() == QEvent::PaletteChange)
            recolour();
        return false;
    }

private:
    void recolour() {
        auto* widget = static_cast<QWidget*>(parent());
        const QPalette theme = QApplication::palette(widget);
        QPalette palette = widget->palette();
        palette.setColor(QPalette::WindowText, tone ? SemanticColors::tone(*tone, theme)
                                                    : theme.color(QPalette::WindowText));
        if (palette != widget->palette())
            widget->setPalette(palette);
    }

    std::optional<SemanticColors::Tone> tone;
};

ToneFollower* followerOf(QWidget* widget) {
    return static_cast<ToneFollower*>(widget->findChild<QObject*>(
        QString::fromLatin1(ToneFollower::name), Qt::FindDirectChildrenOnly));
}

} // namespace

namespace ScreenStyle {

QFont scaled(QFont font, qreal factor, QFont::Weight weight) {
    // A font given in pixels has no point size to scale.
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * factor);
    else
        font.setPixelSize(qMax(1, qRound(font.pixelSize() * factor)));
    font.setWeight(weight);
    return font;
}

QLabel* caption(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(scaled(label->font(), 0.9));
    label->setWordWrap(true);
    setTextTone(label, SemanticColors::Tone::secondary);
    return label;
}

QLabel* headline(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(scaled(label->font(), 1.05, QFont::DemiBold));
    return label;
}

void setTextTone(QWidget* widget, std::optional<SemanticColors::Tone> tone) {
    ToneFollower* follower = followerOf(widget);
    if (!follower)
        follower = new ToneFollower(widget);
    follower->apply(tone);
}

void setFixedTextColor(QWidget* widget, const QColor& color) {
    delete followerOf(widget);
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    widget->setPalette(palette);
}

QLabel* symbolLabel(const QString& symbol, int size, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setPixmap(Symbols::icon(symbol).pixmap(size, size));
    label->setFixedSize(size, size);
    return label;
}

QPushButton* namedButton(const QString& text, const QString& name, QWidget* parent) {
    auto* made = new QPushButton(text, parent);
    made->setObjectName(name);
    return made;
}

void makeProminent(QPushButton* button) {
    const QColor gold = BrandColors::gold();
    // Disabled, the gold fades into the background, light or dark alike.
    const QString faded =
        QStringLiteral("rgba(%1, %2, %3, 0.35)").arg(gold.red()).arg(gold.green()).arg(gold.blue());
    button->setStyleSheet(
        QStringLiteral("QPushButton { background-color: %1; color: #1f1a08; font-weight: 600;"
                       " border: 1px solid %2; border-radius: 5px; padding: 4px 16px; }"
                       " QPushButton:pressed { background-color: %2; }"
                       " QPushButton:disabled { background-color: %3; color: rgba(31, 26, 8, 0.5);"
                       " border-color: transparent; }")
            .arg(gold.name(), gold.darker(120).name(), faded));
}

QVBoxLayout* scrollingColumn(QWidget* screen) {
    auto* outer = new QVBoxLayout(screen);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(screen);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    outer->addWidget(scroll);
    auto* content = new QWidget(scroll);
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(24, 24, 24, 24);
    column->setSpacing(20);
    scroll->setWidget(content);
    return column;
}

} // namespace ScreenStyle
