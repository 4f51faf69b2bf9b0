// The Themes and Admin screens over a real model: stopped, they read the
// files; running, the real runtime's answers (health's live theme, the
// installed Bible databases and the translation choice) drive them.
#include "app/StagedServerSupport.h"
#include "support/GuiTestMain.h"
#include "views/AdminView.h"
#include "views/ThemeListModel.h"
#include "views/ThemesView.h"
#include "views/TranslationsCard.h"

#include <QAccessible>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QToolButton>

using namespace TestSupport;
using AppTest::InstallTree;

namespace {

bool shown(QWidget* widget) {
    return widget->isVisibleTo(widget->window());
}

QStringList entries(QComboBox* picker) {
    QStringList texts;
    for (int i = 0; i < picker->count(); ++i)
        texts << picker->itemText(i);
    return texts;
}

// The ids of the rows that carry the "Live" badge.
QStringList liveRows(const QAbstractItemModel& model) {
    QStringList ids;
    for (int row = 0; row < model.rowCount(); ++row)
        if (model.index(row, 0).data(ThemeListModel::liveRole).toBool())
            ids << model.index(row, 0)
                       .data(ThemeListModel::detailRole)
                       .toString()
                       .section(' ', 0, 0);
    return ids;
}

// A choice made as the operator makes it: the picker focused, then the keys.
void pick(QComboBox* picker, const QString& text) {
    const int target = picker->findText(text);
    QVERIFY2(target >= 0, qPrintable(text + " is not offered"));
    picker->setFocus();
    while (picker->currentIndex() != target)
        QTest::keyClick(picker, picker->currentIndex() < target ? Qt::Key_Down : Qt::Key_Up);
}

const QString shippedBible = QStringLiteral("World English Bible (bible.sqlite)");
const QString secondBible = QStringLiteral("World English Bible (bible.web.sqlite)");

} // namespace

class TestThemesAdmin : public QObject {
    Q_OBJECT

    std::unique_ptr<InstallTree> tree;
    std::unique_ptr<AppViewModel> app;
    std::unique_ptr<QWidget> screen;
    int port = 0;

    // A model over `install`, its launch-time restore settled.
    void launch(const InstallTree& install) {
        app = std::make_unique<AppViewModel>(install.environment());
        if (!QTest::qWaitFor([&] { return AppTest::restoreSettled(*app); }, settle))
            qFatal("the launch-time restore never settled");
    }

    // `View` over the model, in place of the screen shown before.
    template <typename View> View& show() {
        auto* view = new View(*app);
        screen.reset(view);
        view->resize(900, 1200);
        view->show();
        return *view;
    }

private Q_SLOTS:
    void init() { AppTest::prepareFirstLaunch(tree, port); }

    void cleanup() {
        screen.reset();
        if (app)
            AppTest::tearDown(*app, app);
    }

    // Stopped, the themes come from the file, and the Admin screen only asks
    // for the server.
    void stoppedTheScreensReadTheFilesAndAskForTheServer() {
        launch(*tree);
        ThemesView& view = show<ThemesView>();
        QFile::remove(ApplicationSupport::path("themes.json"));
        child<QToolButton>(view, "reloadThemes")->click();
        auto* error = child<QLabel>(view, "themesError");
        QTRY_COMPARE(error->text(), QString("themes.json not found"));
        QVERIFY(shown(error));
        QVERIFY(shown(child(view, "noThemes")));
        QVERIFY(!child<QPushButton>(view, "advancedEditor")->isEnabled());

        writeFile(ApplicationSupport::path("themes.json"),
                  R"({"defaultThemeId": "evening", "themes": [)"
                  R"({"id": "evening", "layout": "center", "name": "Evening"},)"
                  R"({"id": "plain", "layout": "lowerThird", "name": "Plain"}]})");
        child<QToolButton>(view, "reloadThemes")->click();
        QTRY_VERIFY(!shown(error));
        QVERIFY(!shown(child(view, "noThemes")));
        QCOMPARE(child<QLabel>(view, "defaultThemeId")->text(), QString("evening"));
        const QAbstractItemModel& rows = *child<QListView>(view, "themeList")->model();
        QCOMPARE(rows.rowCount(), 2);
        QCOMPARE(rows.index(1, 0).data(ThemeListModel::detailRole).toString(),
                 QString("plain · lowerThird"));
        // Nothing is live while no server reports it.
        QCOMPARE(liveRows(rows), QStringList());

        AdminView& admin = show<AdminView>();
        // The screen asked for translations when shown; stopped, that fails.
        QTRY_VERIFY(app->translationsError().has_value());
        const auto labels = admin.findChildren<QLabel*>();
        QStringList visible;
        for (QLabel* label : labels)
            if (shown(label) && label->parentWidget() == &admin.translations())
                visible << label->text();
        QCOMPARE(visible, QStringList{"Start the server to choose primary and compare Bibles."});
        // The boxes' titles as drawn and as a screen reader reads them.
        QStringList boxes;
        for (QGroupBox* box : admin.findChildren<QGroupBox*>())
            boxes << QAccessible::queryAccessibleInterface(box)->text(QAccessible::Name);
        QCOMPARE(boxes,
                 (QStringList{"Bible translations", "Bookmarks & buckets", "Themes", "Files"}));
        QVERIFY(!child<QToolButton>(admin, "reloadTranslations")->isEnabled());
        QVERIFY(!child<QPushButton>(admin, "advancedWebAdmin")->isEnabled());

        child<QPushButton>(admin, "openBookmarks")->click();
        QCOMPARE(app->selectedTab(), AppTab::bookmarks);
    }

    // Running, the real runtime's answers drive both screens: the Admin
    // screen shown before the start asks for the translations by itself once
    // the server runs, and the Themes screen's badge follows health.
    void runningTheServersAnswersDriveThePickersAndTheLiveBadge() {
        auto staged = InstallTree::withStagedRuntime();
        if (!staged)
            QSKIP("No staged runtime under build/stage: run `make stage` (make test does).");
        launch(*staged);
        AdminView& view = show<AdminView>();
        QVERIFY(StagedServer::start(*app));
        auto* primary = child<QComboBox>(view, "primaryPicker");
        auto* compare = child<QComboBox>(view, "comparePicker");
        auto* save = child<QPushButton>(view, "saveTranslations");
        auto* compareLine = child<QLabel>(view, "compareAvailable");
        const TranslationsCard& card = view.translations();

        // One database offers no compare.
        QTRY_VERIFY2(shown(primary), qPrintable(app->translationsError().value_or("no error")));
        QCOMPARE(entries(primary), QStringList{"World English Bible"});
        QCOMPARE(entries(compare), QStringList{"None"});
        QCOMPARE(card.primaryId(), QString("bible.sqlite"));

        QVERIFY(StagedServer::installSecondTranslation());
        child<QToolButton>(view, "reloadTranslations")->click();
        QTRY_COMPARE(entries(primary), (QStringList{shippedBible, secondBible}));
        QCOMPARE(entries(compare), (QStringList{"None", secondBible}));
        QCOMPARE(compare->currentText(), QString("None"));
        QVERIFY(!shown(compareLine));

        pick(compare, secondBible);
        save->click();
        QVERIFY(!save->isEnabled());
        QTRY_VERIFY(!app->isSavingTranslations());
        QCOMPARE(app->statusMessage(), QString("Translations updated"));
        QVERIFY(shown(compareLine));
        QCOMPARE(compareLine->text(), "Compare available: " + shippedBible + " + " + secondBible);

        // The compare Bible made primary leaves the compare list; the picker
        // keeps its value, which the server takes as no compare translation.
        pick(primary, secondBible);
        QCOMPARE(entries(compare), (QStringList{"None", shippedBible}));
        QCOMPARE(compare->currentText(), QString("None"));
        save->click();
        QTRY_VERIFY(!app->isSavingTranslations());
        QCOMPARE(app->translationsPayload()->selection.primaryId, QString("bible.web.sqlite"));
        QVERIFY(!app->translationsPayload()->secondary);
        QVERIFY(!shown(compareLine));

        // "None" sends no compare id: a compare translation saved before goes.
        pick(compare, shippedBible);
        save->click();
        QTRY_VERIFY(app->translationsPayload()->secondary.has_value());
        pick(compare, "None");
        save->click();
        QTRY_VERIFY(!app->isSavingTranslations());
        QVERIFY(!app->translationsPayload()->secondary);
        QCOMPARE(app->translationsError(), std::nullopt);

        // Another client changes the primary: the pickers follow the server.
        const int serverPort = app->server().port();
        QCOMPARE(StagedServer::send(serverPort, "PUT", "/api/translations",
                                    R"({"primaryId": "bible.sqlite", "secondaryId": )"
                                    R"("bible.web.sqlite"})"),
                 200);
        child<QToolButton>(view, "reloadTranslations")->click();
        QTRY_COMPARE(card.primaryId(), QString("bible.sqlite"));
        QCOMPARE(primary->currentText(), shippedBible);
        QCOMPARE(compare->currentText(), secondBible);
        // So do they when only the compare translation changes.
        QCOMPARE(StagedServer::send(serverPort, "PUT", "/api/translations",
                                    R"({"primaryId": "bible.sqlite"})"),
                 200);
        child<QToolButton>(view, "reloadTranslations")->click();
        QTRY_COMPARE(compare->currentText(), QString("None"));
        QCOMPARE(card.secondaryId(), QString());

        ThemesView& themes = show<ThemesView>();
        auto* advanced = child<QPushButton>(themes, "advancedEditor");
        QTRY_VERIFY(advanced->isEnabled());
        const QAbstractItemModel& rows = *child<QListView>(themes, "themeList")->model();
        QTRY_COMPARE(rows.rowCount(), 3);
        QTRY_COMPARE(liveRows(rows), QStringList{"lowerThird"});
        // Chosen on the iPad: the next health report moves the badge.
        QCOMPARE(
            StagedServer::send(serverPort, "PUT", "/api/live/theme", R"({"themeId": "center"})"),
            200);
        QTRY_COMPARE_WITH_TIMEOUT(liveRows(rows), QStringList{"center"}, settle);

        TestSupport::await(app->server().stopAsync());
        QTRY_VERIFY(AppTest::mirrorReached(*app, ServerStatus::stopped));
        QCOMPARE(liveRows(rows), QStringList());
        QVERIFY(!advanced->isEnabled());
    }
};

VESPERLINE_GUI_TEST_MAIN(TestThemesAdmin)
#include "tst_themesadmin.moc"
