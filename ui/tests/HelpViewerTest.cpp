// The help window: topic ids to pages, one window reused across requests and owners, its
// history buttons, and a missing help folder or page doing nothing.
#include "orka/ui/HelpViewer.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QToolButton>

#include <memory>

using orka::ui::HelpViewer;
using orka::ui::HelpWindow;

namespace {

void writePage(const QString& dir, const QString& name, const QString& body)
{
    QFile file(dir + QLatin1Char('/') + name);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QStringLiteral("<html><body>%1</body></html>").arg(body).toUtf8());
}

QString shownPage(const HelpViewer& viewer)
{
    return viewer.window()->browser()->source().fileName();
}

} // namespace

class HelpViewerTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        QVERIFY(dir_.isValid());
        writePage(dir_.path(), QStringLiteral("index.html"), QStringLiteral("<a href=\"HSL.html\">HSL</a>"));
        writePage(dir_.path(), QStringLiteral("HSL.html"), QStringLiteral("色調"));
        writePage(dir_.path(), QStringLiteral("GeneralToolBar.html"), QStringLiteral("工具列"));
    }

    void topicsOpenTheirPagesInOneWindow()
    {
        QWidget owner;
        HelpViewer viewer(dir_.path());
        QVERIFY(viewer.show(&owner, 5021));
        HelpWindow* window = viewer.window();
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->parentWidget(), &owner);
        QCOMPARE(shownPage(viewer), QStringLiteral("HSL.html"));
        QVERIFY(!window->backAction()->isEnabled());

        QVERIFY(viewer.show(&owner, 5000));
        QCOMPARE(viewer.window(), window);
        QCOMPARE(shownPage(viewer), QStringLiteral("GeneralToolBar.html"));

        // Ids just outside the table open the contents.
        QVERIFY(viewer.show(&owner, 4999));
        QCOMPARE(shownPage(viewer), QStringLiteral("index.html"));
        QVERIFY(viewer.show(&owner, 5028));
        QCOMPARE(shownPage(viewer), QStringLiteral("index.html"));
    }

    void historyButtonsWalkThePagesShown()
    {
        QWidget owner;
        HelpViewer viewer(dir_.path());
        QVERIFY(viewer.show(&owner, 5021));
        QVERIFY(viewer.show(&owner, 5000));
        HelpWindow* window = viewer.window();
        for (QAction* action : {window->backAction(), window->forwardAction(), window->contentsAction()}) {
            auto* button = qobject_cast<QToolButton*>(action->associatedObjects().constLast());
            QVERIFY(button && !button->accessibleName().isEmpty());
        }
        QVERIFY(window->backAction()->isEnabled());
        window->backAction()->trigger();
        QCOMPARE(shownPage(viewer), QStringLiteral("HSL.html"));
        QVERIFY(window->forwardAction()->isEnabled());
        window->forwardAction()->trigger();
        QCOMPARE(shownPage(viewer), QStringLiteral("GeneralToolBar.html"));
        QVERIFY(!window->forwardAction()->isEnabled());
        window->contentsAction()->trigger();
        QCOMPARE(shownPage(viewer), QStringLiteral("index.html"));
        QVERIFY(!window->browser()->accessibleName().isEmpty());
    }

    void windowFollowsItsOwnerAndGoesWithIt()
    {
        QWidget mainWindow;
        HelpViewer viewer(dir_.path());
        QVERIFY(viewer.show(&mainWindow, 5021));
        QPointer<HelpWindow> first = viewer.window();
        {
            auto dialog = std::make_unique<QWidget>(&mainWindow, Qt::Dialog);
            QVERIFY(viewer.show(dialog.get(), 5000));
            QCOMPARE(viewer.window(), first.data());
            QCOMPARE(first->parentWidget(), dialog.get());
            QVERIFY(first->isWindow() && first->isVisible());
        }
        QVERIFY(!first && !viewer.window());
        QVERIFY(viewer.show(&mainWindow, 5021));
        QVERIFY(viewer.window());
        QCOMPARE(shownPage(viewer), QStringLiteral("HSL.html"));
    }

    void missingPageShowsNothing()
    {
        QWidget owner;
        HelpViewer viewer(dir_.path());
        QVERIFY(viewer.show(&owner, 5021));
        QVERIFY(!viewer.show(&owner, 5001)); // AnimationToolBar.html is not in this folder
        QCOMPARE(shownPage(viewer), QStringLiteral("HSL.html"));
        QVERIFY(!viewer.failed());
        QVERIFY(viewer.show(&owner, 5000));
    }

    void missingFolderIsRememberedWithoutAMessage()
    {
        QTemporaryDir later;
        const QString folder = later.path() + QStringLiteral("/OrkaQ5Help");
        QWidget owner;
        HelpViewer viewer(folder);
        QVERIFY(!viewer.show(&owner, 5021));
        QVERIFY(viewer.failed());
        QVERIFY(!viewer.window());
        QVERIFY(QApplication::topLevelWidgets().size() == 1); // the owner alone: no message box

        // The folder appearing afterwards changes nothing for this viewer.
        QVERIFY(QDir().mkpath(folder));
        writePage(folder, QStringLiteral("index.html"), QStringLiteral("x"));
        writePage(folder, QStringLiteral("HSL.html"), QStringLiteral("x"));
        QVERIFY(!viewer.show(&owner, 5021));
        QVERIFY(!viewer.window());
    }

    void programHelpShowsTheShippedPages()
    {
        // The build puts the pages where the installed program finds them: share/orka beside bin.
        QWidget mainWindow;
        HelpViewer& help = HelpViewer::programHelp();
        QVERIFY(help.show(&mainWindow, 5021));
        QCOMPARE(shownPage(help), QStringLiteral("HSL.html"));
        QVERIFY(help.window()->browser()->toPlainText().contains(QStringLiteral("色彩、飽和度、亮度")));
        HelpViewer::showHelp(&mainWindow, 57667);
        QCOMPARE(shownPage(help), QStringLiteral("index.html"));
        QVERIFY(!help.failed());
    }

private:
    QTemporaryDir dir_;
};

QTEST_MAIN(HelpViewerTest)
#include "HelpViewerTest.moc"
