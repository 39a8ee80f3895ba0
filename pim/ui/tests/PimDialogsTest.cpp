// The PIM dialogs: a contacts download from the simulated handset into the store, through the
// selection lists and the progress dialog; the refusals of a selection the handset has no
// room for and of a start without loaded data; cancelling a running worker.
#include "orka/pim/ui/PimProgressDlg.h"
#include "orka/pim/ui/PimSelectionDlg.h"
#include "orka/pim/ui/PimTransferDlg.h"

#include "orka/pim/AnsiText.h"
#include "orka/pim/HandsetCodec.h"
#include "orka/pio.h"
#include "orka/platform/StatePaths.h"
#include "orka/testing/SimulatorProcess.h"
#include "orka/ui/UserPrompts.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <filesystem>
#include <fstream>
#include <thread>

using namespace orka::pim;
using namespace orka::pim::ui;
using orka::test::Simulator;
using orka::ui::PromptScript;
namespace fs = std::filesystem;

namespace {

constexpr int kCom = 8;

void click(QWidget* within, const char* name)
{
    auto* button = within->findChild<QAbstractButton*>(QString::fromLatin1(name));
    QVERIFY2(button, name);
    QTest::mouseClick(button, Qt::LeftButton);
}

CContactItem contact(std::uint16_t key, const char* name, const char* mobile)
{
    CContactItem c;
    c.key = key;
    c.name = ansiFromUtf8(name);
    c.phone1 = mobile;
    return c;
}

// Watches the modal dialogs that open while a button's handler runs: records each progress
// dialog's caption and stage texts, and acts on the selection dialog when it shows.
class DialogWatcher : public QObject {
public:
    std::function<void(PimSelectionDlg*)> onSelection;
    QStringList captions, stages;

    DialogWatcher()
    {
        connect(&timer_, &QTimer::timeout, this, [this] { look(); });
        timer_.start(5);
    }

private:
    void look()
    {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (!w->isVisible())
                continue;
            if (auto* progress = qobject_cast<PimProgressDlg*>(w)) {
                if (!captions.contains(progress->windowTitle()))
                    captions << progress->windowTitle();
                const QString stage = progress->findChild<QLabel*>(QStringLiteral("stageLabel"))->text();
                if (!stage.isEmpty() && !stages.contains(stage))
                    stages << stage;
            } else if (auto* selection = qobject_cast<PimSelectionDlg*>(w); selection && onSelection) {
                auto act = std::move(onSelection);
                onSelection = nullptr;
                act(selection);
            }
        }
    }
    QTimer timer_;
};

} // namespace

class PimDialogsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> home_;
    fs::path home() const { return home_->path().toStdString(); }

    void prepareHandset(CContactItem c)
    {
        const auto record = encodeContact(c);
        const fs::path dir = home() / "store" / "store10" / ("item" + std::to_string(c.key));
        fs::create_directories(dir);
        QVERIFY(orka::platform::writeFileAtomically(dir / "part0.bin", record.data(), record.size()));
    }

private Q_SLOTS:
    void init()
    {
        home_ = std::make_unique<QTemporaryDir>();
        QVERIFY(home_->isValid());
        qputenv("ORKA_HOME", home_->path().toUtf8());
        QVERIFY(PIOInitPhone());
    }
    void cleanup() { home_.reset(); }

    void downloadContactsIntoTheStore()
    {
        prepareHandset(contact(4, "王小明", "0912345678"));
        prepareHandset(contact(9, "Anna Berg", "0223456789"));
        Simulator sim(home(), {kCom, "", {}});

        PimLists lists;
        orka::app::PreferencesBlock prefs;
        prefs.setPort(kCom);
        std::uint32_t flags = 0;
        PromptScript script;
        PimTransferDlg dialog({lists, prefs, flags});
        dialog.show();
        QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("lastSync"))->text(), QStringLiteral("未知資訊"));

        DialogWatcher watcher;
        QStringList handsetRows;
        watcher.onSelection = [&](PimSelectionDlg* selection) {
            // "更新" reads both sides afresh: the ticks of the old entries go with them.
            click(selection, "tickAllButton");
            click(selection, "reloadButton");
            QCOMPARE(lists.tickedCount(list::kPhonebook), 0);
            QTreeWidget* list = selection->sendingList();
            QCOMPARE(list->topLevelItem(0)->checkState(0), Qt::Unchecked);
            for (int i = 0; i < list->topLevelItemCount(); ++i)
                handsetRows << list->topLevelItem(i)->text(0);
            click(selection, "tickAllButton");
            // A click on a row of the receiving side changes nothing; one on the sending side
            // toggles that entry.
            auto* store = selection->findChild<QTreeWidget*>(QStringLiteral("storeList"));
            QCOMPARE(store->topLevelItemCount(), 0);
            QTreeWidgetItem* first = list->topLevelItem(0);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(first).center());
            QCOMPARE(first->checkState(0), Qt::Unchecked);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(first).center());
            QCOMPARE(first->checkState(0), Qt::Checked);
            click(selection, "okButton");
        };
        click(&dialog, "readContactsButton");
        QCOMPARE(handsetRows, (QStringList{QStringLiteral("王小明"), QStringLiteral("Anna Berg")}));
        QCOMPARE(lists.tickedCount(list::kPhonebook), 2);
        QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("phonebookFree"))->text(), QStringLiteral("498/500"));

        dialog.findChild<QCheckBox*>(QStringLiteral("contactsBox"))->setChecked(true);
        click(&dialog, "startButton");
        QCOMPARE(script.texts(), QStringList{QStringLiteral("完成傳送資料.")});
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(watcher.captions.contains(QStringLiteral("下載電話簿資料")));
        QCOMPARE(sim.countReceived("AT^QXDIR=10,2"), 2); // the load and the reload
        QVERIFY(watcher.captions.contains(QStringLiteral("下載資料到電腦")));
        QVERIFY(watcher.stages.contains(QStringLiteral("下載手機電話簿資料")));
        QVERIFY(!prefs.lastSyncText().empty());
        QCOMPARE(lists.tickedCount(list::kPhonebook), 0);
        QCOMPARE(transferChoiceOf(prefs.optionWord).contacts, true);

        // The store now holds both as vCards that khard lists.
        const fs::path contactsDir = orka::platform::StatePaths::pimDir() / "contacts";
        int cards = 0;
        for (const auto& file : fs::recursive_directory_iterator(contactsDir))
            cards += file.path().extension() == ".vcf";
        QCOMPARE(cards, 2);
        if (QStandardPaths::findExecutable(QStringLiteral("khard")).isEmpty())
            QSKIP("khard is not installed (scripts/setup.sh installs it)");
        std::ofstream(home() / "khard.conf") << "[addressbooks]\n[[orka]]\npath = " << contactsDir.string()
                                             << "\n[general]\ndefault_action = list\n[contact table]\n";
        QProcess khard;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home_->path());
        khard.setProcessEnvironment(env);
        khard.start(QStringLiteral("khard"), {QStringLiteral("-c"), home_->path() + QStringLiteral("/khard.conf"),
                                              QStringLiteral("list")});
        QVERIFY(khard.waitForFinished(30000));
        const QString listed = QString::fromUtf8(khard.readAllStandardOutput());
        QVERIFY2(listed.contains(QStringLiteral("王小明")) && listed.contains(QStringLiteral("0912345678")),
                 qPrintable(listed + QString::fromUtf8(khard.readAllStandardError())));
        QVERIFY(listed.contains(QStringLiteral("Anna Berg")));
    }

    // With 3 free phonebook entries, 5 ticked store contacts are refused and the lists stay
    // open; 3 are taken.
    void selectionBeyondFreeEntriesIsRefused()
    {
        PimLists lists;
        for (int i = 0; i < 5; ++i)
            lists.storeContacts.push_back(contact(0, "x", "1"));
        lists.phonebookRoom = {3, 500};
        PromptScript script;
        PimSelectionDlg dialog(PimKind::Contacts, Direction::Upload, lists, {});
        dialog.show();
        QCOMPARE(dialog.sendingList()->objectName(), QStringLiteral("storeList"));
        click(&dialog, "tickAllButton");
        click(&dialog, "okButton");
        QCOMPARE(script.texts(), QStringList{QStringLiteral("選取的聯絡人資料超出手機上的剩餘容量. 請重新選取.")});
        QVERIFY(dialog.isVisible());
        dialog.close(); // closing is OK too, and refused the same way
        QVERIFY(dialog.isVisible());

        click(&dialog, "untickAllButton");
        QCOMPARE(lists.tickedCount(list::kStoreContacts), 0);
        QTreeWidget* rows = dialog.sendingList();
        for (int i = 0; i < 3; ++i)
            QTest::mouseClick(rows->viewport(), Qt::LeftButton, {}, rows->visualItemRect(rows->topLevelItem(i)).center());
        click(&dialog, "okButton");
        QVERIFY(!dialog.isVisible());
        QCOMPARE(lists.tickedCount(list::kStoreContacts), 3);
        QCOMPARE(script.texts().size(), 2);
    }

    // Starting an upload of contacts without loaded data: 20017, the focus on the first read
    // button, nothing sent and the last synchronisation untouched.
    void startWithoutLoadedDataIsRefused()
    {
        PimLists lists;
        orka::app::PreferencesBlock prefs;
        std::uint32_t flags = 0;
        PromptScript script;
        PimTransferDlg dialog({lists, prefs, flags});
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        dialog.findChild<QComboBox*>(QStringLiteral("directionList"))->setCurrentIndex(1);
        dialog.findChild<QCheckBox*>(QStringLiteral("contactsBox"))->setChecked(true);
        click(&dialog, "startButton");
        QCOMPARE(script.texts(),
                 QStringList{QStringLiteral("請點選\"請先讀取資料...\" 選取Outlook的聯絡人(Contacts)資料然後再進行傳送動作.")});
        QVERIFY(dialog.isVisible());
        QVERIFY(dialog.findChild<QPushButton*>(QStringLiteral("readContactsButton"))->hasFocus());
        QVERIFY(prefs.lastSyncText().empty());
        QCOMPARE(prefs.pimDirection(), orka::app::PreferencesBlock::kPimUpload);
    }

    // The progress dialog shows each report before the worker goes on, and Esc asks the
    // worker to stop instead of closing under it.
    void progressShowsReportsAndEscCancels()
    {
        std::atomic<int> shownBeforeNext{0};
        PimProgressDlg* dialogSeen = nullptr;
        PimProgressDlg dialog(ProgressCaption::Upload, {}, [&](const PimJobContext& c) {
            JobResult r;
            for (int i = 0; !c.cancel->load(); i = (i + 1) % 10) {
                c.progress({stage::kWritePhonebook, i, 10});
                ++shownBeforeNext;
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            r.end = JobResult::End::Cancelled;
            return r;
        });
        dialogSeen = &dialog;
        dialog.show();
        QTRY_VERIFY(shownBeforeNext > 3);
        QCOMPARE(dialogSeen->windowTitle(), QStringLiteral("上傳資料到手機"));
        QCOMPARE(dialog.findChild<QLabel*>(QStringLiteral("stageLabel"))->text(), QStringLiteral("上傳電話簿資料到手機"));
        QVERIFY(dialog.findChild<QLabel*>(QStringLiteral("percentLabel"))->text().endsWith(QLatin1Char('%')));
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QTRY_VERIFY(!dialog.jobRunning());
        QVERIFY(!dialog.isVisible());
        QCOMPARE(int(dialog.jobResult().end), int(JobResult::End::Cancelled));
    }
};

QTEST_MAIN(PimDialogsTest)
#include "PimDialogsTest.moc"
