// The connection dialog: what OK stores for a serial port and for the infrared link, what
// Cancel keeps, and how the cable's ports appear in the list.
#include "orka/transfer/ui/ConnectionDlg.h"

#include "orka/pio.h"

#include <QComboBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using orka::app::PreferencesBlock;
using orka::transfer::ui::ConnectionDlg;

class ConnectionDlgTest : public QObject {
    Q_OBJECT

    QTemporaryDir home_;

    static QComboBox* portList(ConnectionDlg& dialog) { return dialog.findChild<QComboBox*>(QStringLiteral("portList")); }
    static void press(ConnectionDlg& dialog, const char* button)
    {
        QTest::mouseClick(dialog.findChild<QPushButton*>(QString::fromLatin1(button)), Qt::LeftButton);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(home_.isValid());
        qputenv("ORKA_HOME", home_.path().toUtf8());
        QVERIFY(PIOInitPhone());
    }

    void listsInfraredThenEveryPort()
    {
        PreferencesBlock prefs;
        ConnectionDlg dialog(prefs, {});
        QComboBox* list = portList(dialog);
        QCOMPARE(list->count(), 257);
        QCOMPARE(list->itemText(0), QStringLiteral("紅外線"));
        QCOMPARE(list->itemText(1), QStringLiteral("COM 1"));
        QCOMPARE(list->itemText(256), QStringLiteral("COM 256"));
        QCOMPARE(list->currentIndex(), 0); // a fresh installation uses the infrared link
    }

    // Asking the system for the cable (none here, or no device manager at all) never costs
    // a place in the list.
    void systemCableSearchKeepsTheList()
    {
        PreferencesBlock prefs;
        ConnectionDlg dialog(prefs);
        QCOMPARE(portList(dialog)->count(), 257);
    }

    void okStoresSerialPortInBothFields()
    {
        PreferencesBlock prefs;
        ConnectionDlg dialog(prefs, {});
        portList(dialog)->setCurrentIndex(12);
        press(dialog, "okButton");
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(prefs.port(), 12);
        QCOMPARE(prefs.portPosition(), 12);
        QVERIFY(prefs.option(PreferencesBlock::kConnectionConfirmed));
        // Only the port fields moved.
        QCOMPARE(prefs.optionWord & ~PreferencesBlock::PortPositionField::kMask & ~PreferencesBlock::kConnectionConfirmed,
                 PreferencesBlock::kDefaultOptionWord);

        // Reopened, the dialog shows the stored choice; the infrared entry stores 0 and 300.
        ConnectionDlg again(prefs, {});
        QCOMPARE(portList(again)->currentIndex(), 12);
        portList(again)->setCurrentIndex(0);
        press(again, "okButton");
        QCOMPARE(prefs.port(), 300);
        QCOMPARE(prefs.portPosition(), 0);
    }

    void cancelKeepsEverything()
    {
        PreferencesBlock prefs;
        prefs.setPort(7);
        prefs.setPortPosition(7);
        const auto before = prefs.toBytes();
        ConnectionDlg dialog(prefs, {});
        portList(dialog)->setCurrentIndex(200);
        press(dialog, "cancelButton");
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(prefs.toBytes() == before);
    }

    // A damaged position past the list selects the infrared entry instead of nothing.
    void positionPastTheListSelectsInfrared()
    {
        PreferencesBlock prefs;
        prefs.setPortPosition(700);
        ConnectionDlg dialog(prefs, {});
        QCOMPARE(portList(dialog)->currentIndex(), 0);
    }

    void cablePortsAreMarkedInPlace()
    {
        PreferencesBlock prefs;
        ConnectionDlg dialog(prefs, {{"COM33", 33, "/dev/ttyACM0"}, {"COM999", 999, "/dev/ttyACM1"}});
        QComboBox* list = portList(dialog);
        QCOMPARE(list->count(), 257);
        QCOMPARE(list->itemText(33), QStringLiteral("COM 33 (USB)"));
        list->setCurrentIndex(33);
        press(dialog, "okButton");
        QCOMPARE(prefs.port(), 33);
    }
};

QTEST_MAIN(ConnectionDlgTest)
#include "ConnectionDlgTest.moc"
