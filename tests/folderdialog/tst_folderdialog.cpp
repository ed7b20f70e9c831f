// SPDX-License-Identifier: MIT
#include "FolderBrowser.h"
#include "FolderDialog.h"
#include "Places.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <functional>

namespace {

struct BrowseRun {
    bool result = false;
    QString initialPath; // path highlighted once the browser is up
    QStringList statusTexts;
};

// Runs Execute while `drive` acts on the open browser; a browser that drive left
// open is cancelled, so no test can block.
BrowseRun Browse(TFolderDialog& dialog, const std::function<void(FolderBrowser&)>& drive) {
    BrowseRun run;
    FolderBrowser::openedHook = [&](FolderBrowser& browser) {
        QObject::connect(&browser, &FolderBrowser::StatusTextSet,
                         [&run](const QString& text) { run.statusTexts << text; });
        QTimer::singleShot(0, &browser, [&] {
            run.initialPath = FolderBrowser::ItemPath(browser.CurrentItem());
            drive(browser);
            if (browser.isVisible()) {
                browser.reject();
            }
        });
    };
    run.result = dialog.Execute();
    FolderBrowser::openedHook = nullptr;
    return run;
}

void Cancel(FolderBrowser& browser) {
    browser.reject();
}

// Confirms the folder at path; an empty path confirms the computer item.
bool Confirm(TFolderDialog& dialog, const QString& path) {
    return Browse(dialog,
                  [&path](FolderBrowser& browser) {
                      if (path.isEmpty()) {
                          browser.Tree()->setCurrentItem(browser.Tree()->topLevelItem(0));
                      } else {
                          browser.SetSelection(path);
                      }
                      browser.accept();
                  })
        .result;
}

QPushButton* Button(const FolderBrowser& browser, const QDialogButtonBox::StandardButton which) {
    return browser.findChild<QDialogButtonBox*>()->button(which);
}

QString Native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// The place of the computer item that holds item.
const QTreeWidgetItem* PlaceOf(const QTreeWidgetItem* item) {
    while (item != nullptr && item->parent() != nullptr && item->parent()->parent() != nullptr) {
        item = item->parent();
    }
    return item;
}

QTreeWidgetItem* PlaceNamed(const FolderBrowser& browser, const QString& name) {
    const QTreeWidgetItem* const computer = browser.Tree()->topLevelItem(0);
    for (int i = 0; i < computer->childCount(); ++i) {
        if (computer->child(i)->text(0) == name) {
            return computer->child(i);
        }
    }
    return nullptr;
}

} // namespace

class TestFolderDialog : public QObject {
    Q_OBJECT
private:
    QTemporaryDir temp_;
    QString Folder(const QString& relative) const { return Native(temp_.filePath(relative)); }

private slots:
    void initTestCase() {
        QVERIFY(temp_.isValid());
        QVERIFY(QDir(temp_.path()).mkpath(QStringLiteral("a/b")));
#ifndef Q_OS_WIN
        // A home folder and a mounted volume of the test's own.
        for (const char* const folder : {"home/docs", "media/USB/photos"}) {
            QVERIFY(QDir(temp_.path()).mkpath(QLatin1String(folder)));
        }
        qputenv("HOME", temp_.filePath(QStringLiteral("home")).toLocal8Bit());
        FolderBrowser::volumesHook = [this] {
            return QList<Volume>{
                {QStringLiteral("USB"), temp_.filePath(QStringLiteral("media/USB"))}};
        };
#endif
    }

#ifndef Q_OS_WIN
    void userVolumes_data() {
        QTest::addColumn<QString>("mountPoint");
        QTest::addColumn<bool>("listed");
        QTest::addColumn<PlaceKind>("kind");
        QTest::newRow("removable medium") << "/media/user/USB" << true << PlaceKind::Removable;
        QTest::newRow("removable, run/media")
            << "/run/media/user/X" << true << PlaceKind::Removable;
        QTest::newRow("mnt itself") << "/mnt" << true << PlaceKind::Drive;
        QTest::newRow("below mnt") << "/mnt/data/" << true << PlaceKind::Drive;
        QTest::newRow("media's own folder") << "/media" << false << PlaceKind::Root;
        QTest::newRow("root") << "/" << false << PlaceKind::Root;
        QTest::newRow("system volume") << "/boot/efi" << false << PlaceKind::Root;
        QTest::newRow("name only begins alike") << "/mediaplayer" << false << PlaceKind::Root;
        QTest::newRow("runtime folder") << "/run/user/1000" << false << PlaceKind::Root;
    }
    void userVolumes() {
        QFETCH(QString, mountPoint);
        QFETCH(bool, listed);
        QFETCH(PlaceKind, kind);
        QCOMPARE(IsUserVolume(mountPoint), listed);
        if (listed) {
            QCOMPARE(ComputerPlaces({}, {{"v", mountPoint}}).constLast().kind, kind);
        }
    }

    // Each place sits beside the root, shows its path in the status line and
    // takes the preselection of the folders below it.
    void placesBesideRoot_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("place");
        QTest::addColumn<QString>("folder");
        QTest::newRow("home folder")
            << QStringLiteral("ホーム") << Folder("home") << Folder("home/docs");
        QTest::newRow("mounted volume")
            << QStringLiteral("USB") << Folder("media/USB") << Folder("media/USB/photos");
    }
    void placesBesideRoot() {
        QFETCH(QString, name);
        QFETCH(QString, place);
        QFETCH(QString, folder);
        TFolderDialog dialog(nullptr);
        bool hasIcon = false;
        const BrowseRun highlighted = Browse(dialog, [&](FolderBrowser& browser) {
            QTreeWidgetItem* const item = PlaceNamed(browser, name);
            QVERIFY(item != nullptr);
            hasIcon = !item->icon(0).isNull();
            browser.Tree()->setCurrentItem(item);
        });
        QVERIFY(hasIcon);
        QCOMPARE(highlighted.statusTexts, (QStringList{"", place}));

        QVERIFY(Confirm(dialog, folder));
        QString openedUnder;
        const BrowseRun reopened = Browse(dialog, [&openedUnder](FolderBrowser& browser) {
            openedUnder = PlaceOf(browser.CurrentItem())->text(0);
        });
        QCOMPARE(reopened.initialPath, folder);
        QCOMPARE(openedUnder, name);
        QCOMPARE(reopened.statusTexts, (QStringList{folder, ""}));
    }
#endif

    void titleAboveTree_data() {
        QTest::addColumn<bool>("set");
        QTest::addColumn<QString>("title");
        QTest::newRow("default") << false << QStringLiteral("フォルダーの選択");
        QTest::newRow("empty") << true << QString();
        QTest::newRow("own text") << true << QStringLiteral("出力先");
    }
    void titleAboveTree() {
        QFETCH(bool, set);
        QFETCH(QString, title);
        TFolderDialog dialog(nullptr);
        if (set) {
            dialog.SetTitle(title);
        }
        QString shown = QStringLiteral("not shown");
        Browse(dialog, [&shown](FolderBrowser& browser) {
            shown = browser.findChild<QLabel*>(QStringLiteral("title"))->text();
        });
        QCOMPARE(shown, title);
    }

    void initialisation_data() {
        QTest::addColumn<QString>("confirmed");
        QTest::addColumn<bool>("deleteBefore");
        QTest::addColumn<QString>("highlighted");
        QTest::addColumn<QStringList>("status");
        const QString b = Folder(QStringLiteral("a/b"));
        QTest::newRow("first browse") << QString() << false << QString() << QStringList{""};
        QTest::newRow("last confirmed folder") << b << false << b << QStringList{b, ""};
        QTest::newRow("confirmed folder deleted")
            << Folder(QStringLiteral("gone")) << true << QString() << QStringList{""};
    }
    void initialisation() {
        QFETCH(QString, confirmed);
        QFETCH(bool, deleteBefore);
        QFETCH(QString, highlighted);
        QFETCH(QStringList, status);
        QVERIFY(QDir().mkpath(Folder(QStringLiteral("gone"))));
        TFolderDialog dialog(nullptr);
        if (!confirmed.isEmpty()) {
            QVERIFY(Confirm(dialog, confirmed));
            QCOMPARE(dialog.FolderPath(), confirmed);
        }
        if (deleteBefore) {
            QVERIFY(QDir(confirmed).removeRecursively());
        }
        const BrowseRun run = Browse(dialog, Cancel);
        QCOMPARE(run.initialPath, highlighted);
        QCOMPARE(run.statusTexts, status);
    }

    void statusFollowsHighlight() {
        TFolderDialog dialog(nullptr);
        const QString firstRoot = Native(QDir::drives().constFirst().absoluteFilePath());
        const QString a = Folder(QStringLiteral("a"));
        const BrowseRun run = Browse(dialog, [&a](FolderBrowser& browser) {
            QTest::keyClick(browser.Tree(), Qt::Key_Down);
            QTest::keyClick(browser.Tree(), Qt::Key_Up);
            browser.SetSelection(a);
        });
        QCOMPARE(run.statusTexts, (QStringList{"", firstRoot, "", a}));
    }

    void confirmItem_data() {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("folderPath");
        const QString a = Folder(QStringLiteral("a"));
        const QString b = Folder(QStringLiteral("a/b"));
        QTest::newRow("computer item, nothing confirmed") << QString() << QString() << QString();
        QTest::newRow("computer item after a folder") << a << QString() << a;
        QTest::newRow("root keeps its separator")
            << a << QDir::rootPath() << Native(QDir::rootPath());
        QTest::newRow("folder has no trailing separator") << a << b + QDir::separator() << b;
    }
    void confirmItem() {
        QFETCH(QString, before);
        QFETCH(QString, item);
        QFETCH(QString, folderPath);
        TFolderDialog dialog(nullptr);
        if (!before.isEmpty()) {
            QVERIFY(Confirm(dialog, before));
        }
        QVERIFY(Confirm(dialog, item));
        QCOMPARE(dialog.FolderPath(), folderPath);
    }

    void closing_data() {
        QTest::addColumn<std::function<void(FolderBrowser&)>>("close");
        QTest::addColumn<bool>("result");
        const auto key = [](Qt::Key k) {
            return [k](FolderBrowser& browser) { QTest::keyClick(browser.Tree(), k); };
        };
        const auto button = [](QDialogButtonBox::StandardButton which) {
            return [which](FolderBrowser& browser) { Button(browser, which)->click(); };
        };
        QTest::newRow("OK button") << std::function(button(QDialogButtonBox::Ok)) << true;
        QTest::newRow("Return key") << std::function(key(Qt::Key_Return)) << true;
        QTest::newRow("Cancel button") << std::function(button(QDialogButtonBox::Cancel)) << false;
        QTest::newRow("Escape key") << std::function(key(Qt::Key_Escape)) << false;
        QTest::newRow("close box")
            << std::function([](FolderBrowser& browser) { browser.close(); }) << false;
    }
    void closing() {
        QFETCH(std::function<void(FolderBrowser&)>, close);
        QFETCH(bool, result);
        const QString a = Folder(QStringLiteral("a"));
        const QString b = Folder(QStringLiteral("a/b"));
        TFolderDialog dialog(nullptr);
        QVERIFY(Confirm(dialog, a));
        const BrowseRun run = Browse(dialog, [&](FolderBrowser& browser) {
            browser.SetSelection(b);
            close(browser);
        });
        QCOMPARE(run.result, result);
        QCOMPARE(dialog.FolderPath(), result ? b : a);
    }

    void keyboardReachesEveryControl() {
        TFolderDialog dialog(nullptr);
        bool walked = false;
        Browse(dialog, [&walked](FolderBrowser& browser) {
            browser.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&browser));
            browser.Tree()->setFocus();
            const QSet<QWidget*> expected{
                browser.Tree(), browser.findChild<QLabel*>(QStringLiteral("status")),
                Button(browser, QDialogButtonBox::Ok), Button(browser, QDialogButtonBox::Cancel)};
            QSet<QWidget*> reached;
            for (qsizetype i = 0; i < expected.size(); ++i) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                reached << QApplication::focusWidget();
            }
            QCOMPARE(reached, expected);
            walked = true;
        });
        QVERIFY(walked);
    }

    void modalToOwnerWindow() {
        QWidget window;
        auto* const owner = new QWidget(&window);
        TFolderDialog dialog(owner);
        QWidget* parent = nullptr;
        Qt::WindowModality modality = Qt::NonModal;
        Browse(dialog, [&](FolderBrowser& browser) {
            parent = browser.parentWidget();
            modality = browser.windowModality();
        });
        QCOMPARE(parent, &window);
        QCOMPARE(modality, Qt::WindowModal);
    }
};

QTEST_MAIN(TestFolderDialog)
#include "tst_folderdialog.moc"
