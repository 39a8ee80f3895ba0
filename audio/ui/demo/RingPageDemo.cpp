// Shows the ring-tone editing page on its own with a MIDI file, for trying the page and for
// screenshots before the wizard hosts it:  ringpage_demo SONG.mid [--play]
#include "orka/audio/ui/RingToneEditPage.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        QTextStream(stderr) << "usage: ringpage_demo SONG.mid [--play]\n";
        return 2;
    }
    QFile file(args.at(1));
    if (!file.open(QIODevice::ReadOnly)) {
        QTextStream(stderr) << "cannot read " << args.at(1) << "\n";
        return 1;
    }
    const QByteArray bytes = file.readAll();

    orka::audio::ui::RingToneEditPage page;
    QObject::connect(&page, &orka::audio::ui::RingToneEditPage::ringToneMade, &app,
                     [](const std::vector<std::uint8_t>& smaf) {
                         QTextStream(stdout) << "ring tone made: " << smaf.size() << " bytes\n";
                     });
    QObject::connect(&page, &orka::audio::ui::RingToneEditPage::backRequested, &app, &QApplication::quit);
    page.setSong(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), QFileInfo(args.at(1)).fileName());
    page.resize(680, 500);
    page.show();
    if (args.contains(QStringLiteral("--play")))
        page.editor().playPause();
    return app.exec();
}
