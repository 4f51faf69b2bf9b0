#include "app/AppViewModel.h"
#include "app/StagedServerSupport.h"
#include "models/JsonCoding.h"
#include "models/PlaylistsFileIO.h"
#include "services/SlideFiles.h"
#include "services/SlideImporter.h"
#include "support/GuiTestMain.h"
#include "views/BibleReferenceDialog.h"
#include "views/PlaylistsView.h"
#include "views/SlideListModel.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QImage>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPainter>
#include <QPdfWriter>
#include <QPushButton>
#include <QToolButton>

using namespace TestSupport;
using AppTest::InstallTree;

namespace {

PlaylistsConfig onDisk() {
    return JsonCoding::decodeFile<PlaylistsConfig>(ApplicationSupport::path("playlists.json"))
        .value();
}

// What a screen reader does: the Press action of the control's interface.
void press(QWidget* control) {
    const QString action = QAccessibleActionInterface::pressAction();
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
    QVERIFY(accessible && accessible->actionInterface());
    QVERIFY(accessible->actionInterface()->actionNames().contains(action));
    accessible->actionInterface()->doAction(action);
}

// Selects a row the way a screen reader does, through the row's own cell.
void selectRow(QListView* view, int row) {
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(view);
    QAccessibleInterface* cell = list->child(row);
    QVERIFY(cell && cell->actionInterface());
    QCOMPARE(cell->text(QAccessible::Name), view->model()->index(row, 0).data().toString());
    cell->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    QTRY_VERIFY(view->indexWidget(view->model()->index(row, 0)));
}

QAction* menuEntry(QMenu* menu, const QString& text) {
    Q_EMIT menu->aboutToShow();
    for (QAction* action : menu->actions())
        if (action->text() == text)
            return action;
    qFatal("no menu entry %s", qPrintable(text));
}

QStringList rowLabels(const QAbstractItemModel* model) {
    QStringList labels;
    for (int row = 0; row < model->rowCount(); ++row)
        labels << model->index(row, 0).data().toString();
    return labels;
}

void makeImage(const QString& path, const QColor& color, const char* format) {
    QImage image(64, 36, QImage::Format_RGB32);
    image.fill(color);
    if (!image.save(path, format))
        qFatal("could not write %s", qPrintable(path));
}

// A small deck: portrait pages, each with a coloured band across its top.
void makeDeck(const QString& path, int pages) {
    QPdfWriter writer(path);
    writer.setPageSize(QPageSize(QPageSize::A6));
    writer.setResolution(72);
    QPainter painter(&writer);
    for (int page = 0; page < pages; ++page) {
        if (page > 0)
            writer.newPage();
        painter.fillRect(QRect(0, 0, 297, 60), page == 0 ? Qt::red : Qt::blue);
    }
    painter.end();
}

} // namespace

class TestPlaylistsView : public QObject {
    Q_OBJECT

    std::unique_ptr<InstallTree> tree;
    std::unique_ptr<AppViewModel> app;
    std::unique_ptr<PlaylistsView> view;
    QTemporaryDir chosen;
    int port = 0;

    void open(const PlaylistsConfig& saved = {}, AppViewModel::Environment environment = {}) {
        QDir().mkpath(ApplicationSupport::supportURL());
        if (saved != PlaylistsConfig{})
            QVERIFY2(PlaylistsFileIO::save(saved, ApplicationSupport::path("playlists.json")).ok(),
                     "seed");
        app = std::make_unique<AppViewModel>(environment.findNode ? environment
                                                                  : tree->environment());
        if (!QTest::qWaitFor([&] { return AppTest::restoreSettled(*app); }, settle))
            qFatal("the launch-time restore never settled");
        // The window loads the bookmarks as it opens; this screen only reads them.
        await(app->reloadBookmarks());
        view = std::make_unique<PlaylistsView>(*app);
        view->resize(900, 1000);
        view->show();
        QTRY_VERIFY(app->pendingOperations() == 0 && !view->isSaving());
    }

    template <typename T = QWidget> T* find(const char* name) { return child<T>(*view, name); }
    QListView* grid() { return find<QListView>("slideGrid"); }
    QListView* itemList() { return find<QListView>("itemList"); }
    QImage thumbnail(int row) {
        return grid()->model()->index(row, 0).data(SlideListModel::thumbnailRole).value<QImage>();
    }

    void settleSaves() { QTRY_VERIFY_WITH_TIMEOUT(!view->isSaving(), settle); }

private Q_SLOTS:
    void init() { AppTest::prepareFirstLaunch(tree, port); }

    void cleanup() {
        view.reset();
        if (app)
            AppTest::tearDown(*app, app);
    }

    void importedFilesAreNamedBySlugAndReplaceTheirNamesakes() {
        open();
        // A deck becomes one slide per page, at the output size.
        app->setOutputSize(640, 360);
        makeDeck(chosen.filePath("Easter Sunday.pdf"), 3);
        view->importImages({chosen.filePath("Easter Sunday.pdf")});
        settleSaves();
        QCOMPARE(app->playlistsError(), std::nullopt);
        const auto deck = onDisk().slides;
        QCOMPARE(deck.size(), size_t(3));
        QCOMPARE(deck[0],
                 (LessonSlide{"easter-sunday-01", "Easter Sunday 1", "easter-sunday-01.png"}));
        const QImage first(SlideFiles::directory() + "/easter-sunday-01.png");
        QCOMPARE(first.size(), QSize(640, 360));
        // A portrait page stands in the middle on black, with its red band.
        QCOMPARE(first.pixelColor(5, 180), QColor(Qt::black));
        QVERIFY(first.pixelColor(320, 20).red() > 200 && first.pixelColor(320, 20).blue() < 60);
        QVERIFY(
            QImage(SlideFiles::directory() + "/easter-sunday-02.png").pixelColor(320, 20).blue() >
            200);

        // Cancelled after two pages, a lower-case name: the pages made are kept.
        makeDeck(chosen.filePath("good-friday.pdf"), 4);
        const auto outcome =
            SlideImporter::importFiles({}, {chosen.filePath("good-friday.pdf")}, QSize(320, 180), 0,
                                       [](int done, int total) { return total == 4 && done < 2; });
        QVERIFY(outcome.cancelled);
        QCOMPARE(outcome.config.slides.size(), size_t(2));
        QCOMPARE(outcome.config.slides[1].label, QString("Good Friday 2"));
        QVERIFY(!QFile::exists(SlideFiles::directory() + "/good-friday-03.png"));

        makeImage(chosen.filePath("Easter Sunday.JPEG"), Qt::red, "JPEG");
        // Qt reads GIF but cannot write it: a one-pixel GIF, byte by byte.
        writeFile(chosen.filePath("Loop.gif"),
                  QByteArray::fromHex("47494638396101000100800000000000ffffff21f90401000000002c"
                                      "00000000010001000002024401003b"));
        view->importImages({chosen.filePath("Easter Sunday.JPEG"), chosen.filePath("missing.png"),
                            chosen.filePath("Loop.gif")});
        settleSaves();

        // The file that could not be read is reported; the others are imported and saved.
        QVERIFY2(app->playlistsError() && app->playlistsError()->contains("missing.png"),
                 qPrintable(app->playlistsError().value_or("no error")));
        const auto slides = onDisk().slides;
        QCOMPARE(slides.size(), size_t(5));
        QCOMPARE(slides[3], (LessonSlide{"easter-sunday", "Easter Sunday", "easter-sunday.jpg"}));
        QCOMPARE(slides[4], (LessonSlide{"loop", "Loop", "loop.gif"}));
        // Every format draws its thumbnail.
        QCOMPARE(grid()->model()->rowCount(), 5);
        for (int row = 0; row < 5; ++row)
            QVERIFY2(!thumbnail(row).isNull(), qPrintable(slides[size_t(row)].imageFile));

        // The same name again replaces the file and updates the slide in place.
        QDir().mkpath(chosen.filePath("again"));
        makeImage(chosen.filePath("again/Easter Sunday.jpg"), Qt::white, "JPEG");
        view->importImages({chosen.filePath("again/Easter Sunday.jpg")});
        settleSaves();
        QCOMPARE(onDisk().slides.size(), size_t(5));
        const QImage replaced(SlideFiles::directory() + "/easter-sunday.jpg");
        QVERIFY(replaced.pixelColor(10, 10).lightness() > 200);
        // Importing the slide's own file (picked from the slides folder) keeps it.
        view->importImages({SlideFiles::directory() + "/easter-sunday.jpg"});
        settleSaves();
        QVERIFY(!QImage(SlideFiles::directory() + "/easter-sunday.jpg").isNull());

        // Not a PDF at all: said so, nothing made.
        writeFile(chosen.filePath("broken.pdf"), "not a pdf");
        view->importImages({chosen.filePath("broken.pdf")});
        QVERIFY(app->playlistsError() && app->playlistsError()->contains("broken.pdf"));
        QCOMPARE(onDisk().slides.size(), size_t(5));
    }

    void slidesAndAPlaylistOfEveryKindAreBuiltEditedAndDeleted() {
        PlaylistsConfig saved;
        saved.slides = {{"welcome", "Welcome", "welcome.png"},
                        {"sneaky", "Sneaky", "../../outside.png"}};
        writeFile(SlideFiles::directory() + "/welcome.png", "png");
        // What the unsafe name points at: an image beside the church's files.
        makeImage(ApplicationSupport::path("outside.png"), Qt::red, "PNG");
        open(saved);
        // The unsafe name draws the placeholder, never the file it points at.
        QVERIFY(thumbnail(1).isNull());

        // A click at the end of the card's field selects the card and types
        // there; each keystroke is saved.
        const QRect card = grid()->visualRect(grid()->model()->index(0, 0));
        QTest::mouseClick(grid()->viewport(), Qt::LeftButton, {},
                          card.topLeft() + QPoint(card.width() - 20, 8 + 80 + 6 + 14));
        auto* label = grid()->indexWidget(grid()->model()->index(0, 0))->findChild<QLineEdit*>();
        QTRY_VERIFY(label->hasFocus());
        QTest::keyClicks(label, " all");
        QCOMPARE(onDisk().slides[0].label, QString("Welcome all"));
        QTest::keyClick(label, Qt::Key_Backspace);
        QCOMPARE(onDisk().slides[0].label, QString("Welcome al"));
        QCOMPARE(label->text(), QString("Welcome al"));

        press(find<QPushButton>("newPlaylist"));
        QTRY_COMPARE(onDisk().playlists.size(), size_t(1));
        QCOMPARE(view->selectedPlaylistId(), onDisk().playlists[0].id);

        // Rename hands the name to the keyboard; each keystroke is saved.
        press(find<QPushButton>("renamePlaylist"));
        auto* name = find<QLineEdit>("playlistName");
        QTRY_VERIFY(name->hasFocus());
        QTest::keyClicks(name, "Easter");
        QCOMPARE(onDisk().playlists[0].name, QString("Easter"));
        QCOMPARE(find<QComboBox>("playlistPicker")->currentText(), QString("Easter"));

        auto* add = find<QPushButton>("addItem");
        menuEntry(add->menu()->findChild<QMenu*>("bookmarkMenu"), "John 3:16")->trigger();
        menuEntry(add->menu()->findChild<QMenu*>("slideMenu"), "Welcome al")->trigger();
        menuEntry(add->menu(), "Bible reference…")->trigger();
        auto* dialog = view->findChild<BibleReferenceDialog*>();
        QVERIFY(dialog && dialog->isVisible());
        const auto fields = dialog->findChildren<QLineEdit*>();
        fields[0]->setText(" Romans ");
        fields[1]->setText("eight");
        fields[2]->clear();
        fields[3]->clear();
        press(dialog->findChild<QDialogButtonBox*>()->buttons().first());
        QTRY_COMPARE(onDisk().playlists[0].items.size(), size_t(3));
        QCOMPARE(rowLabels(itemList()->model()),
                 (QStringList{"✝  John 3:16", "🖼  Welcome al", "✝  Romans 1:1"}));

        // What QListView asks of its model when the first row is dropped below the last.
        QVERIFY(itemList()->model()->moveRow({}, 0, {}, 3));
        settleSaves();
        QVERIFY(onDisk().playlists[0].items[2].bookmarkId);
        // A click on the painted "up" of a row that is not selected moves it.
        const QRect last = itemList()->visualRect(itemList()->model()->index(2, 0));
        QTest::mouseClick(itemList()->viewport(), Qt::LeftButton, {},
                          QPoint(last.right() - 73, last.center().y()));
        QVERIFY(onDisk().playlists[0].items[1].bookmarkId);
        QCOMPARE(rowLabels(itemList()->model()),
                 (QStringList{"🖼  Welcome al", "✝  John 3:16", "✝  Romans 1:1"}));

        // The selected row's buttons, as a screen reader reaches them.
        selectRow(itemList(), 0);
        const auto rowButton = [&](int row, const char* symbol) {
            return itemList()
                ->indexWidget(itemList()->model()->index(row, 0))
                ->findChild<QToolButton*>(symbol);
        };
        QVERIFY(!rowButton(0, "chevron.up")->isEnabled());
        press(rowButton(0, "chevron.down"));
        QTRY_COMPARE(rowLabels(itemList()->model()).at(1), QString("🖼  Welcome al"));
        // The moved row is still the selected one, and now last but one.
        QTRY_VERIFY(rowButton(1, "chevron.up")->isEnabled());
        press(rowButton(1, "trash"));
        QTRY_COMPARE(onDisk().playlists[0].items.size(), size_t(2));
        QCOMPARE(rowLabels(itemList()->model()), (QStringList{"✝  John 3:16", "✝  Romans 1:1"}));

        press(find<QPushButton>("deletePlaylist"));
        QTRY_VERIFY(onDisk().playlists.empty());
        QCOMPARE(view->selectedPlaylistId(), std::nullopt);
        QVERIFY(find("noPlaylist")->isVisibleTo(view.get()));

        // Through the accessibility interface: select the card, press its
        // Delete; the unsafe name takes no file with it.
        selectRow(grid(), 1);
        auto* controls = grid()->indexWidget(grid()->model()->index(1, 0));
        press(controls->findChild<QPushButton*>("deleteSlide"));
        QTRY_COMPARE(onDisk().slides.size(), size_t(1));
        QVERIFY(QFile::exists(ApplicationSupport::path("outside.png")));
        // A slide with a safe name takes its file with it.
        view->deleteSlide("welcome");
        settleSaves();
        QVERIFY(!QFile::exists(SlideFiles::directory() + "/welcome.png"));
        QVERIFY(onDisk().slides.empty());
    }

    void editsGoToTheServerWhileItRuns() {
        auto staged = InstallTree::withStagedRuntime();
        if (!staged)
            QSKIP("No staged runtime under build/stage: run `make stage` (make test does).");
        open({}, staged->environment());
        QVERIFY(StagedServer::start(*app));

        press(find<QPushButton>("newPlaylist"));
        QTRY_COMPARE_WITH_TIMEOUT(app->statusMessage(), QString("Playlists saved"), settle);
        // Typed faster than the server answers: the last keystroke is what stays.
        auto* name = find<QLineEdit>("playlistName");
        name->selectAll();
        QTest::keyClicks(name, "Pentecost");
        const QString bookmark = app->bookmarks().at(0).label;
        menuEntry(find<QPushButton>("addItem")->menu()->findChild<QMenu*>("bookmarkMenu"), bookmark)
            ->trigger();
        settleSaves();
        await(app->reloadPlaylists());
        QCOMPARE(app->playlistsError(), std::nullopt);
        QCOMPARE(app->playlistsConfig().playlists[0].name, QString("Pentecost"));
        QCOMPARE(rowLabels(itemList()->model()), QStringList{"✝  " + bookmark});
        // The server keeps the church's file.
        QCOMPARE(onDisk(), app->playlistsConfig());
    }
};

VESPERLINE_GUI_TEST_MAIN(TestPlaylistsView)
#include "tst_playlistsview.moc"
