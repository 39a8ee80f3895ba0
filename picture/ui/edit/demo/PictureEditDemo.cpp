// Shows the edit picture page on its own, for trying it out and for screenshots:
//   picedit_demo [--hsl] [--grab FOLDER] [picture file]
// Without a file it edits a drawn 128 x 160 sample with a stamp and a caption;
// --hsl also opens the hue, saturation and lightness dialog; --grab saves what the page and
// the dialog draw as picedit-page.png and picedit-hsl.png in FOLDER and ends.
#include "AdjustmentDialogs.h"
#include "EditPicturePage.h"
#include "SampleScene.h"

#include "orka/Failure.h"
#include "orka/picture/PictureFile.h"
#include "orka/ui/UiText.h"
#include "orka/ui/UserPrompts.h"

#include <QApplication>
#include <QLineEdit>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTimer>

using namespace orka;
using namespace orka::ui;

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    EditPicturePage page;
    page.setWindowTitle(uiText(EditPicturePage::kTitleId));
    page.resize(980, 640);
    page.show();
    DibPicture picture = sampleScene();
    const qsizetype grabAt = args.indexOf(QStringLiteral("--grab"));
    const QString grabFolder = grabAt >= 0 && grabAt + 1 < args.size() ? args[grabAt + 1] : QString();
    QStringList files = args.filter(QRegularExpression(QStringLiteral("^[^-]")));
    files.removeAll(grabFolder);
    if (!files.isEmpty()) {
        try {
            picture = loadPicture(files.front().toStdString());
        } catch (const Failure& failure) {
            showFailure(&page, failure);
            return 1;
        }
    }
    page.setPictures({picture}, 20000);
    if (files.isEmpty()) {
        page.zoomIn();
        page.zoomIn();
        page.placeStamp(3, QPoint(30, 130));
        page.selectTool(EditPicturePage::Tool::Text);
        page.findChild<QLineEdit*>(QStringLiteral("textEdit"))->setText(QStringLiteral("你好 Q5"));
        page.applyText();
    }
    if (args.contains(QStringLiteral("--hsl"))) {
        // Opened once the page is on screen, as a user would open it.
        QTimer::singleShot(500, &page, [&page] {
            page.openHslDialog();
            auto* dialog = page.findChild<HslDialog*>();
            dialog->findChild<QScrollBar*>(QStringLiteral("hueBar"))->setValue(60);
            dialog->findChild<QScrollBar*>(QStringLiteral("saturationBar"))->setValue(40);
        });
    }
    if (!grabFolder.isEmpty()) {
        QTimer::singleShot(1500, &page, [&page, grabFolder] {
            page.grab().save(grabFolder + QStringLiteral("/picedit-page.png"));
            if (auto* dialog = page.findChild<HslDialog*>())
                dialog->grab().save(grabFolder + QStringLiteral("/picedit-hsl.png"));
            QApplication::quit();
        });
    }
    return app.exec();
}
