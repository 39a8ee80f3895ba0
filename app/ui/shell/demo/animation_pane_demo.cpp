// Shows the main window with an animation in its animation pane, for screenshots: the first
// sample animation copied into a user folder of the gallery under ORKA_HOME, selected, its
// second frame moved one place right (so that saving is offered).
#include "orka/app/COrkaDoc.h"
#include "orka/app/OrkaApp.h"
#include "orka/app/ui/AnimationPane.h"
#include "orka/app/ui/CMainFrame.h"
#include "orka/app/ui/CommandIds.h"

#include <QAction>
#include <QApplication>

using namespace orka::app;

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    constexpr int kSamples = 50000 + kSamplesSlot;
    constexpr int kMine = 50000 + kFirstUserSlot;
    COrkaDoc doc;
    doc.build();
    if (!doc.findFolder(kMine)) {
        doc.addLocalFolder(50000, kMine, "我的動畫");
        doc.addItem(kMine, doc.openFolder(kSamples).items.at(0));
        doc.saveFolder(kMine);
        doc.saveTree();
    }
    COrkaApp app;
    app.settings() = loadSettings();
    ui::CMainFrame frame(app, doc);
    frame.show();
    frame.showNode(kMine);
    frame.selectItems({0});
    frame.animationPane()->frames()->setCurrentRow(1);
    frame.commandAction(ui::cmd::kFrameRight)->trigger();
    return application.exec();
}
