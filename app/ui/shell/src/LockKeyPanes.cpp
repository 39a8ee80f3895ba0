#include "orka/app/ui/LockKeyPanes.h"

#include "orka/ui/UiText.h"

#include <QApplication>
#include <QLabel>
#include <QStatusBar>

namespace orka::app::ui {
namespace {
constexpr std::array<unsigned, 3> kPaneTexts = {59137, 59138, 59139}; // "CAP", "NUM", "SCRL"
// A lock key pressed shows within a quarter second; the program asks only while one of its
// windows is active, as only then do its keys go to it.
constexpr int kPollMs = 250;
} // namespace

LockKeyPanes::LockKeyPanes(QStatusBar* status, std::unique_ptr<platform::LockKeys> keys)
    : QObject(status), keys_(std::move(keys))
{
    for (std::size_t i = 0; i < panes_.size(); ++i) {
        auto* pane = new QLabel(orka::ui::uiText(kPaneTexts[i]));
        pane->setAccessibleName(pane->text());
        pane->setFrameShape(QFrame::Panel);
        pane->setFrameShadow(QFrame::Sunken);
        pane->setEnabled(false);
        status->addPermanentWidget(pane);
        panes_[i] = pane;
    }
    if (!keys_)
        return;
    poll_.setInterval(kPollMs);
    connect(&poll_, &QTimer::timeout, this, [this] {
        if (QApplication::activeWindow())
            refresh();
    });
    poll_.start();
    refresh();
}

LockKeyPanes::~LockKeyPanes() = default;

void LockKeyPanes::refresh()
{
    if (!keys_)
        return;
    const platform::LockKeyState state = keys_->read();
    const std::array<bool, 3> lit = {state.caps, state.num, state.scroll};
    for (std::size_t i = 0; i < panes_.size(); ++i)
        panes_[i]->setEnabled(lit[i]);
}

} // namespace orka::app::ui
