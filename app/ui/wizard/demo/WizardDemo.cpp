// The wizard on its own over a gallery of its own, opened at one of its pages: for trying it
// and for screenshots. wizard_demo [media|file|save] [FILE]: "file" opens the wallpapers,
// "save" brings FILE (a ring tone, picture or animation), or the first sample wallpaper, on
// towards the upload-or-save page.
#include "orka/app/COrkaDoc.h"
#include "orka/app/OrkaApp.h"
#include "orka/app/WizardFlow.h"
#include "orka/app/ui/CWizard.h"

#include "../src/WizardPages.h"

#include "orka/ui/UserPrompts.h"

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

using namespace orka::app;
using namespace orka::app::ui;

namespace {

int categoryForFile(const QString& file)
{
    for (const int category : kWizardCategories)
        if (isAcceptedFile(category, file.toStdString()))
            return category;
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication qapp(argc, argv);
    const QString page = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("media");
    const QString file = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    QTemporaryDir home;
    if (qEnvironmentVariableIsEmpty("ORKA_HOME"))
        qputenv("ORKA_HOME", home.path().toUtf8());

    COrkaApp app;
    COrkaDoc doc;
    doc.build();
    CWizard wizard(app, doc);
    wizard.setGeometry(0, 0, 720, 540);
    wizard.show();

    if (page == QStringLiteral("file")) {
        wizard.chooseMediaPage().categoryButton(20000)->click();
        QListWidget* items = wizard.chooseFilePage().itemList();
        if (items->count() > 0)
            items->setCurrentRow(0);
    } else if (page == QStringLiteral("save") && file.isEmpty()) {
        // The first sample wallpaper.
        wizard.chooseMediaPage().categoryButton(20000)->click();
        wizard.chooseFilePage().itemList()->setCurrentRow(0);
        wizard.chooseFilePage().nextButton()->click();
    } else if (page == QStringLiteral("save")) {
        const int category = categoryForFile(file);
        if (category == 0) {
            std::fprintf(stderr, "wizard_demo: save needs a ring tone, picture or animation file\n");
            return 2;
        }
        wizard.chooseMediaPage().categoryButton(category)->click();
        {
            // The file chooser answered with the file given.
            orka::ui::PromptScript script;
            script.choose({file});
            wizard.chooseFilePage().importButton()->click();
        }
        wizard.chooseFilePage().nextButton()->click();
    }
    return wizard.exec();
}
