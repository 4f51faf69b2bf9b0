#include "app/StagedServerSupport.h"
#include "models/BookmarksConfig.h"
#include "models/BookmarksFileIO.h"
#include "models/JsonCoding.h"
#include "support/GuiTestMain.h"
#include "support/LookTestSupport.h"
#include "views/BookmarkBucketBar.h"
#include "views/BookmarkDelegate.h"
#include "views/BookmarkEditorSheet.h"
#include "views/BookmarkListModel.h"
#include "views/BookmarksView.h"
#include "views/SemanticColors.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QToolButton>

using namespace TestSupport;
using AppTest::InstallTree;

namespace {

Bookmark mark(const QString& id, std::optional<QString> bucket) {
    return {id, id.toUpper(), "Psalms", 23, 1, std::nullopt, std::move(bucket), std::nullopt};
}

// Comfort is every other one, so a filter hides each one's neighbours.
std::vector<Bookmark> church() {
    return {mark("a", "Comfort"), mark("b", std::nullopt), mark("c", "Comfort"),
            mark("d", "Gospel"), mark("e", "Comfort")};
}

QStringList ids(const std::vector<Bookmark>& list) {
    QStringList result;
    for (const Bookmark& b : list)
        result.append(b.id);
    return result;
}

QStringList onDisk() {
    return ids(JsonCoding::decodeFile<BookmarksConfig>(ApplicationSupport::path("bookmarks.json"))
                   .value()
                   .bookmarks);
}

QStringList rows(const BookmarksView& view) {
    QStringList result;
    const BookmarkListModel& model = *view.listModel();
    for (int row = 0; row < model.rowCount(); ++row)
        result.append(model.index(row).data(BookmarkListModel::IdRole).toString());
    return result;
}

template <typename T> T* withText(const QWidget& root, const QString& text) {
    for (T* widget : root.findChildren<T*>())
        if (widget->text() == text)
            return widget;
    qFatal("nothing shows %s", qPrintable(text));
}

// A button as a screen reader finds it, pressed (or toggled) its way.
void press(QAbstractButton* button) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(button);
    QVERIFY(accessible && accessible->actionInterface());
    QVERIFY(!accessible->text(QAccessible::Name).isEmpty());
    const QString action = button->isCheckable() ? QAccessibleActionInterface::toggleAction()
                                                 : QAccessibleActionInterface::pressAction();
    QVERIFY(accessible->actionInterface()->actionNames().contains(action));
    accessible->actionInterface()->doAction(action);
}

} // namespace

class TestBookmarks : public QObject {
    Q_OBJECT

    std::unique_ptr<InstallTree> tree;
    std::unique_ptr<AppViewModel> app;
    std::unique_ptr<BookmarksView> view;
    int port = 0;

    // Shown at once, as the window does: the screen asks while the
    // launch-time restore still holds the status at starting. Once no server
    // turned up, the list must come from the file, or the next save would
    // write an empty list over it.
    BookmarksView& open(const std::vector<Bookmark>& seed, const InstallTree& install) {
        QDir().mkpath(ApplicationSupport::supportURL());
        if (!BookmarksFileIO::save(BookmarksConfig{seed},
                                   ApplicationSupport::path("bookmarks.json"))
                 .ok())
            qFatal("could not seed bookmarks.json");
        app = std::make_unique<AppViewModel>(install.environment());
        view = std::make_unique<BookmarksView>(*app);
        view->resize(700, 900);
        view->show();
        if (!QTest::qWaitFor([&] { return AppTest::restoreSettled(*app); }, settle))
            qFatal("the launch-time restore never settled");
        if (!QTest::qWaitFor([&] { return rows(*view) == ids(seed); }, settle))
            qFatal("the screen never showed the seeded bookmarks");
        if (app->bookmarksError())
            qFatal("%s", qPrintable(*app->bookmarksError()));
        return *view;
    }

    QAbstractButton* rowButton(int row, BookmarkRowAction action) {
        QListView& list = *view->list();
        list.setCurrentIndex(view->listModel()->index(row));
        auto* actions = qobject_cast<BookmarkRowActions*>(list.indexWidget(list.currentIndex()));
        return actions ? actions->button(action) : nullptr;
    }

    BookmarkEditorSheet& sheet() {
        if (!QTest::qWaitFor([&] { return view->editorSheet() != nullptr; }, settle))
            qFatal("no editor sheet");
        return *view->editorSheet();
    }

private Q_SLOTS:
    void init() { AppTest::prepareFirstLaunch(tree, port); }

    void cleanup() {
        if (view && view->editorSheet())
            view->editorSheet()->close();
        view.reset();
        if (app)
            AppTest::tearDown(*app, app);
    }

    // Rows follow their bookmarks through every way of moving one: a painted
    // button of another row, the selected row's buttons with a bucket
    // filtering the list, and a drag.
    void rowsFollowTheirBookmarksAndMovesCountInTheFullList() {
        BookmarksView& screen = open(church(), *tree);
        BookmarkListModel& model = *screen.listModel();
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy repainted(&model, &QAbstractItemModel::dataChanged);
        QListView& list = *screen.list();
        list.setCurrentIndex(model.index(1));

        // A painted button of another row, pressed with the mouse.
        const auto click = [&](int row, BookmarkRowAction action) {
            QVERIFY(!list.isPersistentEditorOpen(model.index(row)));
            const QRect rect = list.visualRect(model.index(row));
            QTest::mouseClick(list.viewport(), Qt::LeftButton, {},
                              BookmarkDelegate::actionRect(rect, action).center());
        };
        click(3, BookmarkRowAction::moveUp);
        QTRY_COMPARE(onDisk(), (QStringList{"a", "b", "d", "c", "e"}));
        QCOMPARE(list.currentIndex().data(BookmarkListModel::IdRole), QVariant("b"));
        // Deleting the last makes "c" the last: its row is repainted
        // without its down button, and nothing else is.
        click(4, BookmarkRowAction::remove);
        QTRY_COMPARE(onDisk(), (QStringList{"a", "b", "d", "c"}));
        QCOMPARE(removed.count(), 1);
        QCOMPARE(resets.count(), 0);
        QCOMPARE(repainted.count(), 1);
        QCOMPARE(repainted.first().at(0).toModelIndex().row(), 3);
        QCOMPARE(repainted.first().at(1).toModelIndex().row(), 3);
        QVERIFY(!model.index(3).data(BookmarkListModel::CanMoveDownRole).toBool());
        QCOMPARE(list.currentIndex().data(BookmarkListModel::IdRole), QVariant("b"));

        screen.bucketBar()->button("Comfort")->click();
        QCOMPARE(rows(screen), (QStringList{"a", "c"}));
        // The first of the whole list cannot go up, even filtered; the last
        // shown can go down only when it is not the last of the whole list.
        QVERIFY(!rowButton(0, BookmarkRowAction::moveUp)->isEnabled());
        QVERIFY(rowButton(0, BookmarkRowAction::moveDown)->isEnabled());
        QVERIFY(!rowButton(1, BookmarkRowAction::moveDown)->isEnabled());
        // "c" goes up past the hidden "d", saved to the file.
        press(rowButton(1, BookmarkRowAction::moveUp));
        QTRY_COMPARE(onDisk(), (QStringList{"a", "b", "c", "d"}));
        // The row's buttons stay with the bookmark that moved.
        QCOMPARE(list.currentIndex().data(BookmarkListModel::IdRole), QVariant("c"));

        // A drag goes through the model: "c" dropped above "a".
        const auto drag = [&](int row) {
            return std::unique_ptr<QMimeData>(model.mimeData({model.index(row)}));
        };
        QVERIFY(model.dropMimeData(drag(1).get(), Qt::MoveAction, 0, 0, {}));
        QTRY_COMPARE(onDisk(), (QStringList{"c", "a", "b", "d"}));
        QCOMPARE(rows(screen), (QStringList{"c", "a"}));

        // Deleting the only Gospel bookmark takes its bucket, and the filter
        // on it goes back to All.
        screen.bucketBar()->button("Gospel")->click();
        QCOMPARE(rows(screen), QStringList{"d"});
        press(rowButton(0, BookmarkRowAction::remove));
        QTRY_COMPARE(onDisk(), (QStringList{"c", "a", "b"}));
        QCOMPARE(rows(screen), (QStringList{"c", "a", "b"}));
        QVERIFY(screen.bucketBar()->isVisibleTo(&screen));

        // Changed behind the screen's back: the reload button shows it, and
        // General alone is no reason for a bar. A drag that began before
        // drops nothing.
        const auto stale = drag(0);
        QVERIFY(BookmarksFileIO::save(BookmarksConfig{{mark("x", " "), mark("y", std::nullopt)}},
                                      ApplicationSupport::path("bookmarks.json"))
                    .ok());
        press(child<QToolButton>(screen, "reload"));
        QTRY_COMPARE(rows(screen), (QStringList{"x", "y"}));
        QVERIFY(!screen.bucketBar()->isVisibleTo(&screen));
        QVERIFY(!model.canDropMimeData(stale.get(), Qt::MoveAction, 2, 0, {}));
        QVERIFY(!model.dropMimeData(stale.get(), Qt::MoveAction, 2, 0, {}));
        QCOMPARE(onDisk(), (QStringList{"x", "y"}));

        // A save that fails says why; the list keeps what it showed.
        QFile::remove(ApplicationSupport::path("bookmarks.json"));
        QDir().mkpath(ApplicationSupport::path("bookmarks.json"));
        press(rowButton(0, BookmarkRowAction::remove));
        QTRY_VERIFY(app->bookmarksError().has_value());
        auto* error = child<QLabel>(screen, "error");
        QVERIFY(error->isVisibleTo(&screen));
        QCOMPARE(error->text(), *app->bookmarksError());
        QCOMPARE(rows(screen), (QStringList{"x", "y"}));
    }

    void theEditorAddsInTheFilteredBucketAndEditsInPlace() {
        BookmarksView& screen = open(church(), *tree);
        screen.bucketBar()->button("Comfort")->click();
        press(child<QPushButton>(screen, "add"));
        BookmarkEditorSheet& adding = sheet();
        QCOMPARE(child<QLineEdit>(adding, "bucket")->text(), QString("Comfort"));
        QTest::keyClicks(child<QLineEdit>(adding, "label"), "John 3:16 (KJV)!");
        press(child<QPushButton>(adding, "color-gold"));
        QTRY_COMPARE(adding.bookmark().color, QString("gold"));
        child<QSpinBox>(adding, "verseend")->setValue(18);
        // Return saves.
        QTest::keyClick(child<QLineEdit>(adding, "label"), Qt::Key_Return);
        QTRY_COMPARE(onDisk().size(), qsizetype(6));
        QCOMPARE(app->bookmarks().back(), (Bookmark{"john-3-16-kjv", "John 3:16 (KJV)!", "John", 3,
                                                    16, 18, "Comfort", "gold"}));
        QVERIFY(!screen.editing());
        QCOMPARE(screen.list()->currentIndex().data(Qt::AccessibleTextRole).toString(),
                 QString::fromUtf8("John 3:16 (KJV)!, Comfort, John 3:16\u201318"));

        // Cancel keeps nothing of what was changed.
        press(rowButton(0, BookmarkRowAction::edit));
        BookmarkEditorSheet& cancelled = sheet();
        QVERIFY(screen.editing() && screen.editing()->bookmark.id == "a");
        withText<QPushButton>(cancelled, "Gospel")->click();
        QCOMPARE(cancelled.bookmark().bucket, QString("Gospel"));
        cancelled.reject();
        QTRY_VERIFY(!screen.editorSheet());
        QVERIFY(!screen.editing());
        QCOMPARE(app->bookmarks().front(), church().front());

        // Saved with its button, an emptied bucket is none: "a" stays first,
        // and leaves the filter.
        press(rowButton(0, BookmarkRowAction::edit));
        child<QLineEdit>(sheet(), "bucket")->clear();
        press(child<QPushButton>(sheet(), "save"));
        QTRY_COMPARE(app->bookmarks().front(), mark("a", std::nullopt));
        QCOMPARE(rows(screen), (QStringList{"c", "e", "john-3-16-kjv"}));
    }

    // A volunteer switching the desktop to dark with the program open: texts,
    // bucket buttons and header symbols take the dark theme's colours, not
    // dark grey on dark.
    void aSwitchToDarkRecoloursTheOpenScreen() {
        BookmarksView& screen = open(church(), *tree);
        const QPalette light = QApplication::palette();
        const QPalette dark = darkPalette();
        QApplication::setPalette(dark);
        QApplication::processEvents();
        auto restore = qScopeGuard([&] { QApplication::setPalette(light); });
        const auto ink = [](QWidget* widget) {
            return widget->palette().color(QPalette::WindowText);
        };
        QCOMPARE(ink(withText<QLabel>(screen, "Editing bookmarks.json (server stopped)")),
                 SemanticColors::secondaryLabel(dark));
        QCOMPARE(ink(child<QLabel>(screen, "error")),
                 SemanticColors::tone(SemanticColors::Tone::red, dark));

        const QColor text = dark.color(QPalette::ButtonText);
        QPushButton* bucket = screen.bucketBar()->button("Gospel");
        QVERIFY(pixelsNear(bucket->grab().toImage(), bucket->rect(), text, 40, true) > 0);
        auto* reload = screen.findChild<QToolButton*>();
        const QImage symbol = reload->icon().pixmap(16, 16).toImage();
        QVERIFY(pixelsNear(symbol, symbol.rect(), text, 40, true) > 0);
    }

    void theRunningServerTakesTheSaves() {
        auto staged = InstallTree::withStagedRuntime();
        if (!staged)
            QSKIP("No staged runtime under build/stage: run `make stage` (make test does).");
        BookmarksView& screen = open(church(), *staged);
        auto* caption = withText<QLabel>(screen, "Editing bookmarks.json (server stopped)");
        QVERIFY(caption->isVisibleTo(&screen));
        QVERIFY(StagedServer::start(*app));
        QVERIFY(!caption->isVisibleTo(&screen));

        // While the server has the save, no row moves.
        auto* delegate = static_cast<BookmarkDelegate*>(screen.list()->itemDelegate());
        bool movesWaited = false;
        connect(app.get(), &AppViewModel::changed, &screen, [&] {
            if (screen.isSaving())
                movesWaited =
                    !delegate->isEnabled(screen.listModel()->index(2), BookmarkRowAction::moveUp);
        });
        press(rowButton(0, BookmarkRowAction::moveDown));
        QTRY_COMPARE_WITH_TIMEOUT(app->statusMessage(), QString("Bookmarks saved"), settle);
        QVERIFY(movesWaited);
        QTRY_VERIFY(!screen.isSaving());
        QCOMPARE(rows(screen), (QStringList{"b", "a", "c", "d", "e"}));
        // The server wrote the file.
        QCOMPARE(onDisk(), (QStringList{"b", "a", "c", "d", "e"}));
        QVERIFY(rowButton(1, BookmarkRowAction::moveUp)->isEnabled());
    }
};

VESPERLINE_GUI_TEST_MAIN(TestBookmarks)
#include "tst_bookmarks.moc"
