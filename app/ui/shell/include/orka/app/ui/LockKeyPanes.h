#pragma once
// The status bar's "CAP", "NUM" and "SCRL" panes: each is lit while its lock key's light is
// on, and dimmed while it is off or where the lights cannot be read.
#include "orka/platform/LockKeys.h"

#include <QObject>
#include <QTimer>

#include <array>
#include <memory>

class QLabel;
class QStatusBar;

namespace orka::app::ui {

class LockKeyPanes : public QObject {
    Q_OBJECT
public:
    // Adds the three panes to the status bar (which owns them and this object); `keys` may be
    // nullptr, and the panes then stay dimmed.
    LockKeyPanes(QStatusBar* status, std::unique_ptr<platform::LockKeys> keys);
    ~LockKeyPanes() override;

    QLabel* pane(std::size_t index) const { return panes_[index]; }
    // Reads the lights and lights the panes to match.
    void refresh();

private:
    std::array<QLabel*, 3> panes_{};
    std::unique_ptr<platform::LockKeys> keys_;
    QTimer poll_;
};

} // namespace orka::app::ui
