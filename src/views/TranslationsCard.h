#pragma once

#include "models/TranslationSelectionDTO.h"

#include <QString>
#include <QWidget>
#include <optional>
#include <qcoro/qcorotask.h>

class AppViewModel;
class QComboBox;
class QLabel;
class QPushButton;

// The Admin screen's "Bible translations" box: which installed Bible is on
// air (primary) and which is shown beside it (compare), saved through the
// running server. The two pickers hold the operator's choice until it is
// saved; whenever the server reports another selection (primary or compare),
// they follow it.
class TranslationsCard : public QWidget {
    Q_OBJECT

public:
    explicit TranslationsCard(AppViewModel& app, QWidget* parent = nullptr);

    void render();
    // Sets the pickers to the server's selection; without a payload, nothing.
    void syncPickersFromPayload();
    // Saves the pickers' choice, "None" as no compare translation.
    QCoro::Task<> save();

    const QString& primaryId() const { return primaryId_; }
    const QString& secondaryId() const { return secondaryId_; }

private:
    void renderPickers();
    void choosePrimary(int index);
    void chooseSecondary(int index);

    AppViewModel& app;
    QLabel* stoppedLine = nullptr;
    QLabel* errorLine = nullptr;
    QLabel* noLibrariesLine = nullptr;
    QWidget* pickers = nullptr;
    QComboBox* primaryPicker = nullptr;
    QComboBox* comparePicker = nullptr;
    QPushButton* saveButton = nullptr;
    QLabel* compareLine = nullptr;

    // The pickers' selections: library ids; an empty secondary is "None".
    QString primaryId_;
    QString secondaryId_;
    // The server's selection as last seen, to notice when it changes.
    std::optional<TranslationSelectionDTO> seenSelection_;
    bool wasAnswering_ = false;
};
