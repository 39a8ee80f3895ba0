// The transfer dialog driving real jobs against the handset simulator: the outcome message,
// the cancel rules of main-menu uploads, and the keys that must not close it.
#include "orka/transfer/ui/TransferDialog.h"

#include "orka/pio.h"
#include "orka/testing/SimulatorProcess.h"
#include "orka/testing/ToolRunner.h"
#include "orka/ui/UserPrompts.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <filesystem>
#include <fstream>

using namespace orka::transfer;
using orka::test::patternBytes;
using orka::test::Simulator;
using orka::transfer::ui::TransferDialog;
using orka::ui::Answer;
using orka::ui::PromptScript;
namespace fs = std::filesystem;

namespace {

constexpr int kPort = 7;
constexpr int kMenuType = 3;
constexpr int kWallpaperType = 2;
constexpr int kMenuParts = 8;
constexpr int kJobTimeoutMs = 20000;

TransferEntry entry(std::vector<unsigned char> bytes) { return TransferEntry{{std::move(bytes)}}; }

} // namespace

class TransferDialogTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> home_;
    std::unique_ptr<Simulator> sim_;

    fs::path homePath() const { return home_->path().toStdString(); }

    void putItem(int type, int index, const std::vector<unsigned char>& bytes)
    {
        const fs::path dir = homePath() / "store" / ("store" + std::to_string(type)) / ("item" + std::to_string(index));
        fs::create_directories(dir);
        orka::testing::writeBytes(dir / "part0.bin", bytes);
    }
    void startSimulator(std::vector<std::string> faults = {})
    {
        sim_ = std::make_unique<Simulator>(homePath(), Simulator::Options{kPort, "", std::move(faults)});
    }
    bool menuPartStored(int part) const
    {
        return fs::exists(sim_->storeDir() / "store3" / "item1" / ("part" + std::to_string(part) + ".bin"));
    }
    static void fillMenu(CTransferDlg& job)
    {
        for (int i = 0; i < kMenuParts; ++i)
            job.items.push_back(entry(patternBytes(400, unsigned(i + 1))));
    }
    template <typename T>
    static T* child(QWidget& dialog, const char* name)
    {
        return dialog.findChild<T*>(QString::fromLatin1(name));
    }

private Q_SLOTS:
    void init()
    {
        home_ = std::make_unique<QTemporaryDir>();
        QVERIFY(home_->isValid());
        qputenv("ORKA_HOME", home_->path().toUtf8());
        QVERIFY(PIOInitPhone());
    }
    void cleanup()
    {
        sim_.reset();
        home_.reset();
    }

    // From the dialog's start to the success message: both items arrive in handset order,
    // the bar ends full and the count reads 2 / 2.
    void downloadEndsWithSuccessMessage()
    {
        const auto a = patternBytes(700, 1), b = patternBytes(1500, 2);
        putItem(kWallpaperType, 3, a);
        putItem(kWallpaperType, 9, b);
        startSimulator();

        PromptScript script;
        CTransferDlg job(kWallpaperType, JobKind::Download);
        TransferDialog dialog(job, kPort);
        QCOMPARE(child<QLabel>(dialog, "titleLabel")->text(), QStringLiteral("下載"));
        dialog.exec();
        QCOMPARE(child<QLabel>(dialog, "countLabel")->text(), QStringLiteral("2 / 2"));
        auto* bar = child<QProgressBar>(dialog, "progressBar");
        QCOMPARE(bar->maximum(), 50);
        QCOMPARE(bar->value(), bar->maximum());
        QVERIFY(script.texts().isEmpty()); // the dialog alone shows no message

        CTransferDlg again(kWallpaperType, JobKind::Download);
        const JobOutcome outcome = TransferDialog::run(nullptr, again, kPort);
        QCOMPARE(int(outcome.result), int(JobOutcome::Result::Succeeded));
        QCOMPARE(script.texts(), QStringList{QStringLiteral("下載成功!")});
        QCOMPARE(again.items.size(), std::size_t(2));
        QVERIFY(again.items[0].parts[0] == a);
        QVERIFY(again.items[1].parts[0] == b);
        QCOMPARE(again.handsetNumbers, (std::vector<unsigned>{3, 9}));
    }

    // A store whose answer is only OK: the dialog closes without any message.
    void emptyStoreClosesQuietly()
    {
        startSimulator();
        PromptScript script;
        CTransferDlg job(kWallpaperType, JobKind::Download);
        const JobOutcome outcome = TransferDialog::run(nullptr, job, kPort);
        QCOMPARE(int(outcome.result), int(JobOutcome::Result::NothingDone));
        QVERIFY(script.texts().isEmpty());
    }

    // A port that cannot be opened is a failure with its diagnostic numbers, never success.
    void unopenablePortShowsFailure()
    {
        const fs::path devices = homePath() / "dosdevices";
        fs::create_directories(devices);
        fs::create_symlink(homePath() / "no-such-terminal", devices / "com9");
        PromptScript script;
        CTransferDlg job(kWallpaperType, JobKind::Download);
        const JobOutcome outcome = TransferDialog::run(nullptr, job, 9);
        QCOMPARE(int(outcome.result), int(JobOutcome::Result::Failed));
        QCOMPARE(script.texts(), QStringList{QStringLiteral("開啟序列埠失敗!\n31031:100:10")});
    }

    // Cancelling a main-menu upload asks first; No keeps the upload going to its end.
    void menuUploadCancelAnsweredNoContinues()
    {
        startSimulator({"slow=120:QXBNW"});
        PromptScript script;
        script.answer(Answer::No);
        CTransferDlg job(kMenuType, JobKind::Upload);
        fillMenu(job);
        TransferDialog dialog(job, kPort);
        dialog.show();
        auto* cancel = child<QPushButton>(dialog, "cancelButton");
        QVERIFY(cancel->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(child<QLabel>(dialog, "countLabel")->text(), QStringLiteral("1 / 8"), kJobTimeoutMs);
        QTest::mouseClick(cancel, Qt::LeftButton);
        QCOMPARE(script.texts(),
                 QStringList{QStringLiteral("取消上傳將會造成主選單圖片不完整。確定取消上傳?")});
        QVERIFY(!job.cancelRequested());
        QVERIFY(cancel->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.jobRunning(), kJobTimeoutMs);
        QCOMPARE(int(job.wait().result), int(JobOutcome::Result::Succeeded));
        for (int part = 1; part <= kMenuParts; ++part)
            QVERIFY2(menuPartStored(part), qPrintable(QString::number(part)));
    }

    // Yes stops before the next part; the parts already sent stay, and no success is claimed.
    void menuUploadCancelAnsweredYesStops()
    {
        startSimulator({"slow=120:QXBNW"});
        PromptScript script;
        script.answer(Answer::Yes);
        CTransferDlg job(kMenuType, JobKind::Upload);
        fillMenu(job);
        TransferDialog dialog(job, kPort);
        dialog.show();
        QTRY_COMPARE_WITH_TIMEOUT(child<QLabel>(dialog, "countLabel")->text(), QStringLiteral("2 / 8"), kJobTimeoutMs);
        QTest::mouseClick(child<QPushButton>(dialog, "cancelButton"), Qt::LeftButton);
        QVERIFY(job.cancelRequested());
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.jobRunning(), kJobTimeoutMs);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(int(job.wait().result), int(JobOutcome::Result::NothingDone));
        QVERIFY(menuPartStored(2));
        QVERIFY(!menuPartStored(kMenuParts));
        QCOMPARE(script.texts().size(), 1);
    }

    // A dialog taken away under a running job (its parent window closed) stops the job before
    // its next part instead of leaving the worker writing to the handset unseen.
    void dialogGoneUnderJobStopsIt()
    {
        startSimulator({"slow=120:QXBNW"});
        PromptScript script;
        CTransferDlg job(kMenuType, JobKind::Upload);
        fillMenu(job);
        auto dialog = std::make_unique<TransferDialog>(job, kPort);
        dialog->show();
        QTRY_VERIFY_WITH_TIMEOUT(job.progress.done() >= 1, kJobTimeoutMs);
        dialog.reset();
        QCOMPARE(int(job.wait().result), int(JobOutcome::Result::NothingDone));
        QVERIFY(!menuPartStored(kMenuParts));
        QVERIFY(script.texts().isEmpty()); // no question: there is nobody to answer it
    }

    // Enter on the focused cancel button, Esc and the arrows neither close the dialog nor
    // cancel the job; the download still ends with every item.
    void keysDoNotCloseOrCancel()
    {
        for (int i = 1; i <= 3; ++i)
            putItem(kWallpaperType, i, patternBytes(300, unsigned(i)));
        startSimulator({"slow=150:QXBNR"});
        PromptScript script;
        CTransferDlg job(kWallpaperType, JobKind::Download);
        TransferDialog dialog(job, kPort);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* cancel = child<QPushButton>(dialog, "cancelButton");
        QVERIFY(cancel->isEnabled());
        cancel->setFocus();
        for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape, Qt::Key_Up, Qt::Key_Left}) {
            QTest::keyClick(cancel, key);
            QTest::keyClick(&dialog, key);
        }
        dialog.close();
        QVERIFY(dialog.isVisible());
        QVERIFY(!job.cancelRequested());
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.jobRunning(), kJobTimeoutMs);
        QCOMPARE(job.items.size(), std::size_t(3));
        QCOMPARE(int(dialog.result()), int(QDialog::Accepted));
    }
};

QTEST_MAIN(TransferDialogTest)
#include "TransferDialogTest.moc"
