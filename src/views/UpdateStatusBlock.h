#pragma once

#include "services/UpdateStatus.h"
#include "views/SemanticColors.h"

#include <QColor>
#include <QWidget>
#include <variant>

class QLabel;
class QProgressBar;

// The Updates screen's status block: one element per update status (a line
// of text, a line with its symbol, or a progress bar with or without its
// label), drawn from the status it is given and nothing else.
class UpdateStatusBlock : public QWidget {
    Q_OBJECT

public:
    explicit UpdateStatusBlock(QWidget* parent = nullptr);

    void render(const UpdateStatus& status);

private:
    // A tone follows the desktop's light or dark theme; the gold is the same in both.
    void showMessage(const QString& symbol, const QString& text,
                     std::variant<SemanticColors::Tone, QColor> ink);
    void showProgress(const QString& label, std::optional<double> fraction);

    QLabel* symbol;
    QLabel* message;
    QLabel* notes;
    QProgressBar* progress;
    QLabel* progressLabel;
};
