// orka: the desktop companion's main program. One copy runs at a time: a later copy brings
// the first one's window forward and ends.
#include "orka/app/COrkaDoc.h"
#include "orka/app/OrkaApp.h"
#include "orka/app/ui/CMainFrame.h"
#include "orka/app/ui/ToolIcons.h"
#include "orka/cli/CommandLine.h"
#include "orka/transfer/PortDiscovery.h"
#include "orka/ui/UiText.h"
#include "orka/ui/UserPrompts.h"

#include <QApplication>
#include <QIcon>
#include <QPointer>
#include <QTimer>

namespace {

constexpr char kUsage[] =
    "usage: orka\n"
    "The Q5 handset's desktop companion: its gallery, transfers, editors and PIM copies.\n"
    "It takes no options besides --help and --version.\n";

int runWindow(int argc, char** argv)
{
    QApplication application(argc, argv);
    orka::ui::installQtTexts(application);
    // The desktop entry and the icon that the installation puts in the icon theme.
    application.setDesktopFileName(QStringLiteral("org.tessel.Orka"));
    application.setWindowIcon(QIcon::fromTheme(QStringLiteral("org.tessel.Orka"),
                                               orka::app::ui::shellIcon(orka::app::ui::ShellGlyph::Handset)));
    orka::app::COrkaApp app;
    const auto started = app.start([](orka::app::PreferencesBlock& p) { orka::transfer::prepareLink(p); });
    if (started != orka::app::COrkaApp::StartResult::Run)
        return orka::cli::kExitOk; // another copy shows its window, or will

    orka::app::COrkaDoc doc;
    try {
        doc.build(orka::app::ui::kFirstShownFolder);
    } catch (const std::exception& e) {
        orka::ui::showFailure(nullptr, e);
        app.exit();
        return orka::cli::kExitFailed;
    }

    int status = orka::cli::kExitOk;
    {
        orka::app::ui::CMainFrame frame(app, doc);
        frame.setWindowTitle(QString::fromStdString(app.title()));
        frame.showAsOptionsSay();
        // Requests arrive on the channel's thread; the window comes forward on its own.
        QPointer<orka::app::ui::CMainFrame> window(&frame);
        app.listenForOtherCopies([window] {
            QMetaObject::invokeMethod(
                qApp, [window] { if (window) window->bringToFront(); }, Qt::QueuedConnection);
        });
        // Unless the program last ended in management mode, the wizard opens over the window.
        if (app.opensWizard())
            QTimer::singleShot(0, &frame, [&frame] { frame.runStartupWizard(); });
        status = application.exec();
    }

    app.exit();
    try {
        doc.close();
    } catch (const std::exception& e) {
        orka::ui::showFailure(nullptr, e);
        status = orka::cli::kExitFailed;
    }
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    const orka::cli::Program program("orka", kUsage);
    return program.run(argc, argv, {}, [argc, argv](const orka::cli::Arguments&) { return runWindow(argc, argv); });
}
