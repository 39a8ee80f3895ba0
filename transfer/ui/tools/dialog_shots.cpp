// Draws each dialog of the transfer, connection, preferences and PIM windows into PNG files,
// with real content: a main-menu upload under way against the handset simulator, PIM lists
// loaded from it. Run it under an X server (xvfb-run) so the real fonts are used:
//   orka_dialog_shots OUTPUT_FOLDER
#include "orka/app/ui/PreferencesDlg.h"
#include "orka/pim/AnsiText.h"
#include "orka/pim/HandsetCodec.h"
#include "orka/pim/ui/PimProgressDlg.h"
#include "orka/pim/ui/PimSelectionDlg.h"
#include "orka/pim/ui/PimTransferDlg.h"
#include "orka/pio.h"
#include "orka/platform/StatePaths.h"
#include "orka/testing/SimulatorProcess.h"
#include "orka/transfer/ui/ConnectionDlg.h"
#include "orka/transfer/ui/TransferDialog.h"
#include "orka/ui/UserPrompts.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <cstdio>
#include <filesystem>
#include <thread>

namespace fs = std::filesystem;
using namespace orka;

namespace {

constexpr int kCom = 4;

void settle(int ms = 150)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
}

bool waitFor(const std::function<bool()>& done, int ms = 20000)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

bool save(QWidget& w, const QString& folder, const QString& name)
{
    settle();
    const QString file = folder + QStringLiteral("/dialogs-") + name + QStringLiteral(".png");
    const bool ok = w.grab().save(file);
    std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(file));
    return ok;
}

void prepareContact(const fs::path& home, std::uint16_t key, const char* name, const char* mobile, const char* mail)
{
    pim::CContactItem c;
    c.key = key;
    c.name = pim::ansiFromUtf8(name);
    c.phone1 = mobile;
    c.email1 = mail;
    const auto record = pim::encodeContact(c);
    const fs::path dir = home / "store" / "store10" / ("item" + std::to_string(key));
    fs::create_directories(dir);
    platform::writeFileAtomically(dir / "part0.bin", record.data(), record.size());
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: orka_dialog_shots OUTPUT_FOLDER\n");
        return 2;
    }
    const QString out = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    QTemporaryDir homeDir;
    qputenv("ORKA_HOME", homeDir.path().toUtf8());
    const fs::path home = homeDir.path().toStdString();
    PIOInitPhone();
    prepareContact(home, 1, "王小明", "0912345678", "ming@example.com");
    prepareContact(home, 2, "陳美玲", "0933111222", "mei@example.com");
    prepareContact(home, 5, "Anna Berg", "0223456789", "anna@example.com");
    test::Simulator sim(home, {kCom, "", {"slow=250:QXBNW"}});
    ui::PromptScript answers; // no message box may wait for a hand that is not there
    bool ok = true;

    app::PreferencesBlock prefs;
    prefs.setPort(kCom);
    {
        transfer::ui::ConnectionDlg dialog(prefs, {{"COM33", 33, "/dev/ttyACM0"}});
        dialog.findChild<QComboBox*>(QStringLiteral("portList"))->setCurrentIndex(33);
        dialog.show();
        ok &= save(dialog, out, QStringLiteral("connection"));
    }
    {
        app::RingToneBlock ring;
        app::ui::PreferencesDlg dialog(prefs, ring);
        dialog.show();
        ok &= save(dialog, out, QStringLiteral("preferences-startup"));
        auto* pages = dialog.findChild<QTabWidget*>(QStringLiteral("pages"));
        pages->setCurrentIndex(app::ui::PreferencesDlg::Audio);
        ok &= save(dialog, out, QStringLiteral("preferences-audio"));
        pages->setCurrentIndex(app::ui::PreferencesDlg::Deletion);
        ok &= save(dialog, out, QStringLiteral("preferences-deletion"));
    }
    {
        transfer::CTransferDlg job(3, transfer::JobKind::Upload);
        for (unsigned i = 0; i < 8; ++i)
            job.items.push_back({{test::patternBytes(2000, i + 1)}});
        transfer::ui::TransferDialog dialog(job, kCom);
        dialog.show();
        ok &= waitFor([&] { return job.progress.done() >= 3; });
        ok &= save(dialog, out, QStringLiteral("transfer"));
        answers.answer(ui::Answer::Yes);
        dialog.findChild<QPushButton*>(QStringLiteral("cancelButton"))->click();
        ok &= waitFor([&] { return !dialog.jobRunning(); });
    }
    pim::PimLists lists;
    std::uint32_t flags = 0;
    {
        pim::PimJobContext context;
        context.port = kCom;
        context.loadedFlags = &flags;
        ok &= pim::loadPimLists(pim::PimKind::Contacts, lists, context).succeeded();
        lists.phonebook.at(0).setTicked(true);
        lists.phonebook.at(2).setTicked(true);
        pim::ui::PimTransferDlg dialog({lists, prefs, flags});
        dialog.show();
        ok &= save(dialog, out, QStringLiteral("pim-transfer"));
        pim::ui::PimSelectionDlg selection(pim::PimKind::Contacts, pim::Direction::Download, lists, {});
        selection.show();
        ok &= save(selection, out, QStringLiteral("pim-selection"));
    }
    {
        std::atomic<bool> shown{false};
        pim::ui::PimProgressDlg dialog(pim::ui::ProgressCaption::LoadPhonebook, {}, [&](const pim::PimJobContext& c) {
            c.progress({pim::stage::kReadPhonebook, 42, 100});
            shown = true;
            while (!c.cancel->load())
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            pim::JobResult r;
            r.end = pim::JobResult::End::Cancelled;
            return r;
        });
        dialog.show();
        ok &= waitFor([&] { return shown.load(); });
        ok &= save(dialog, out, QStringLiteral("pim-progress"));
        dialog.reject();
        ok &= waitFor([&] { return !dialog.jobRunning(); });
    }
    return ok ? 0 : 1;
}
