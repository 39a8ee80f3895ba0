// Shows the ring-tone editing page on its own with a MIDI file, for trying the page and for
// screenshots before the wizard hosts it:
//   ringpage_demo SONG.mid [--range FROM TO] [--play] [--log]
#include "orka/audio/ui/RingToneEditPage.h"

#include "orka/audio/ui/QXRingSlider.h"

#include <QApplication>
#include <QPushButton>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <QTimer>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        QTextStream(stderr) << "usage: ringpage_demo SONG.mid [--range FROM TO] [--play] [--log]\n";
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
    // What a user would do by hand: drag the markers, press play, open the filter's log.
    const qsizetype range = args.indexOf(QStringLiteral("--range"));
    if (range > 0 && range + 2 < args.size()) {
        const double from = args.at(range + 1).toDouble();
        const double to = args.at(range + 2).toDouble();
        page.slider()->setMarkers(from, to);
        page.slider()->setPosition(from);
        Q_EMIT page.slider()->midiRangeChanged(int(orka::audio::ui::RangeChange::StartDragged), from);
        Q_EMIT page.slider()->midiRangeChanged(int(orka::audio::ui::RangeChange::EndDragged), to);
        Q_EMIT page.slider()->midiRangeChanged(int(orka::audio::ui::RangeChange::TrackClicked), from);
        Q_EMIT page.slider()->midiRangeChanged(int(orka::audio::ui::RangeChange::DragEnded), from);
    }
    if (args.contains(QStringLiteral("--play")))
        page.findChild<QPushButton*>(QStringLiteral("playRangeButton"))->click();
    if (args.contains(QStringLiteral("--log")))
        QTimer::singleShot(1000, &page, [&page] { page.findChild<QPushButton*>(QStringLiteral("logButton"))->click(); });
    return app.exec();
}
