// The main window's editor dialog on its own, for trying it and for screenshots:
// editing_demo [FILE] imports FILE (a picture, GIF or tune) into the category that takes it,
// or, without FILE, a picture drawn here into the caller photos, and prints what came out.
#include "orka/app/WizardFlow.h"
#include "orka/app/ui/ItemEditorDialog.h"
#include "orka/app/ui/WizardWork.h"

#include "orka/ui/UserPrompts.h"

#include <QApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QTemporaryDir>

#include <cstdio>

using namespace orka::app;
using namespace orka::app::ui;

namespace {

constexpr int kCallerPhotos = 40000;

int categoryForFile(const std::filesystem::path& file)
{
    for (const int category : kWizardCategories)
        if (isAcceptedFile(category, file))
            return category;
    return 0;
}

// A sunset of 320 x 240 with a round sun, so the capture frame has something to frame.
QString drawnPicture(const QTemporaryDir& dir)
{
    QImage image(320, 240, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, 0, 240);
    sky.setColorAt(0, QColor(40, 60, 160));
    sky.setColorAt(1, QColor(250, 150, 60));
    painter.fillRect(image.rect(), sky);
    painter.setBrush(QColor(255, 220, 90));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPoint(160, 150), 50, 50);
    painter.end();
    const QString path = dir.filePath(QStringLiteral("sunset.bmp"));
    image.save(path, "BMP");
    return path;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication qapp(argc, argv);
    QTemporaryDir scratch;
    const QString file = argc > 1 ? QString::fromLocal8Bit(argv[1]) : drawnPicture(scratch);
    const std::filesystem::path path = file.toStdString();
    const int category = argc > 1 ? categoryForFile(path) : kCallerPhotos;
    try {
        const std::filesystem::path files[] = {path};
        ItemEditorDialog dialog;
        dialog.setGeometry(0, 0, 720, 540);
        const auto contents = dialog.runImport(category, importedSource(category, files));
        std::printf("%s\n", contents ? "finished" : "left");
        return contents ? 0 : 1;
    } catch (const std::exception& failure) {
        orka::ui::showFailure(nullptr, failure);
        return 2;
    }
}
