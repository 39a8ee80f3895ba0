// The preferences dialog: OK copies back only the pages that were opened, each page's
// restore-defaults button, and Cancel keeping everything.
#include "orka/app/ui/PreferencesDlg.h"
#include "orka/ui/HelpViewer.h"

#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTextBrowser>

using orka::app::PreferencesBlock;
using orka::app::RingToneBlock;
using orka::app::StartupSetting;
using namespace orka::app::ui;

class PreferencesDlgTest : public QObject {
    Q_OBJECT

    template <typename T>
    static T* find(QWidget& dialog, const char* name)
    {
        T* widget = dialog.findChild<T*>(QString::fromLatin1(name));
        if (!widget)
            qFatal("no control %s", name);
        return widget;
    }
    // Near the left edge: a check box or radio button takes clicks on its box and label only.
    static void click(QWidget& dialog, const char* name)
    {
        QAbstractButton* button = find<QAbstractButton>(dialog, name);
        QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(6, button->height() / 2));
    }
    static void openPage(QWidget& dialog, int page) { find<QTabWidget>(dialog, "pages")->setCurrentIndex(page); }
    static void restoreOn(QWidget& dialog, const char* pageName)
    {
        QTest::mouseClick(find<QWidget>(dialog, pageName)->findChild<QPushButton*>(QStringLiteral("restoreButton")),
                          Qt::LeftButton);
    }

private Q_SLOTS:
    void showsTheOptionWord()
    {
        PreferencesBlock prefs;
        prefs.setStartupSetting(StartupSetting::Management);
        prefs.setOption(PreferencesBlock::kWarnDeleteFolder, false);
        RingToneBlock ring{RingToneBlock::kAutoRepeat};
        PreferencesDlg dialog(prefs, ring);
        QVERIFY(find<QRadioButton>(dialog, "managementMode")->isChecked());
        QVERIFY(!find<QRadioButton>(dialog, "wizardMode")->isChecked());
        QVERIFY(find<QCheckBox>(dialog, "fullScreen")->isChecked());
        QVERIFY(!find<QCheckBox>(dialog, "alwaysOnTop")->isChecked());
        QVERIFY(find<QCheckBox>(dialog, "warnDeleteData")->isChecked());
        QVERIFY(!find<QCheckBox>(dialog, "warnDeleteFolder")->isChecked());
        QVERIFY(!find<QCheckBox>(dialog, "defaultSetting")->isChecked());
        QVERIFY(find<QCheckBox>(dialog, "autoRepeat")->isChecked());
    }

    // Only the first page is open: a deletion warning changed elsewhere while the dialog was
    // up survives OK; the first page's own changes are stored.
    void okCopiesOnlyOpenedPages()
    {
        PreferencesBlock prefs;
        RingToneBlock ring;
        PreferencesDlg dialog(prefs, ring);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        click(dialog, "wizardMode");
        click(dialog, "alwaysOnTop");
        prefs.setOption(PreferencesBlock::kWarnDeleteHandsetData, false);
        click(dialog, "okButton");
        QVERIFY(dialog.pageOpened(PreferencesDlg::Startup));
        QVERIFY(!dialog.pageOpened(PreferencesDlg::Deletion));
        QCOMPARE(prefs.startupSetting(), std::uint32_t(StartupSetting::Wizard));
        QVERIFY(prefs.option(PreferencesBlock::kAlwaysOnTop));
        QVERIFY(!prefs.option(PreferencesBlock::kWarnDeleteHandsetData));
        QVERIFY(prefs.option(PreferencesBlock::kWarnDeleteData));
    }

    void openedPagesAreCopiedWithNothingElse()
    {
        PreferencesBlock prefs;
        prefs.optionWord |= PreferencesBlock::kPimContacts | PreferencesBlock::kConnectionConfirmed;
        prefs.setPortPosition(12);
        RingToneBlock ring;
        PreferencesDlg dialog(prefs, ring);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        openPage(dialog, PreferencesDlg::Deletion);
        click(dialog, "warnDeleteData");
        openPage(dialog, PreferencesDlg::Audio);
        click(dialog, "autoRepeat");
        click(dialog, "okButton");
        QVERIFY(!prefs.option(PreferencesBlock::kWarnDeleteData));
        QVERIFY(ring.autoRepeat());
        // Bits that belong to other dialogs stay as they were.
        QVERIFY(prefs.option(PreferencesBlock::kPimContacts));
        QVERIFY(prefs.option(PreferencesBlock::kConnectionConfirmed));
        QCOMPARE(prefs.portPosition(), 12);
    }

    void cancelChangesNothing()
    {
        PreferencesBlock prefs;
        RingToneBlock ring;
        const auto before = prefs.toBytes();
        PreferencesDlg dialog(prefs, ring);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        click(dialog, "managementMode");
        openPage(dialog, PreferencesDlg::Audio);
        click(dialog, "autoRepeat");
        click(dialog, "cancelButton");
        QVERIFY(prefs.toBytes() == before);
        QVERIFY(!ring.autoRepeat());
    }

    // Each page's button restores only that page's controls, and only OK stores them.
    void restoreDefaultsActsOnItsOwnPage()
    {
        PreferencesBlock prefs;
        prefs.optionWord = 0; // every switch off, no start-up choice
        RingToneBlock ring{RingToneBlock::kAutoRepeat};
        PreferencesDlg dialog(prefs, ring);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY(!find<QRadioButton>(dialog, "wizardMode")->isChecked());
        QVERIFY(!find<QRadioButton>(dialog, "followExitState")->isChecked());
        restoreOn(dialog, "startupPage");
        QVERIFY(find<QRadioButton>(dialog, "followExitState")->isChecked());
        QVERIFY(find<QCheckBox>(dialog, "fullScreen")->isChecked());
        QVERIFY(!find<QCheckBox>(dialog, "warnDeleteData")->isChecked()); // another page
        QCOMPARE(prefs.optionWord, 0u);

        openPage(dialog, PreferencesDlg::Deletion);
        restoreOn(dialog, "deletionPage");
        openPage(dialog, PreferencesDlg::Audio);
        restoreOn(dialog, "audioPage");
        click(dialog, "okButton");
        QCOMPARE(prefs.optionWord, PreferencesBlock::kDefaultOptionWord);
        QVERIFY(ring.defaultSetting());
        QVERIFY(!ring.autoRepeat());
    }

    void helpOpensThePreferencesPage()
    {
        PreferencesBlock prefs;
        RingToneBlock ring;
        PreferencesDlg dialog(prefs, ring);
        dialog.show();
        click(dialog, "helpButton");
        const auto& help = orka::ui::HelpViewer::programHelp();
        QVERIFY(help.window());
        QCOMPARE(help.window()->browser()->source().fileName(), QStringLiteral("PreferencesDlgBox.html"));
    }

    // A damaged start-up field ticks no choice, and OK without a choice leaves it alone.
    void noStartupChoiceKeepsTheField()
    {
        PreferencesBlock prefs;
        prefs.optionWord = PreferencesBlock::kFullScreen;
        RingToneBlock ring;
        PreferencesDlg dialog(prefs, ring);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        click(dialog, "okButton");
        QCOMPARE(prefs.optionWord, PreferencesBlock::kFullScreen);
    }
};

QTEST_MAIN(PreferencesDlgTest)
#include "PreferencesDlgTest.moc"
