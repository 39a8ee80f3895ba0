#pragma once
// What the tests of the editing pages' hosts (the wizard, the main window's editor dialog)
// share: pressing a page's buttons, and a user at the modal editor dialog who does one step
// of work each time it opens.
#include "orka/app/ui/ItemEditorDialog.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <deque>
#include <functional>

namespace orka::app::ui::testing {

inline void click(QAbstractButton* button)
{
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton);
}

// "下一步" or "上一步" of an editing page of another subsystem.
inline void nextOn(QWidget& page) { click(page.findChild<QPushButton*>(QStringLiteral("nextButton"))); }
inline void backOn(QWidget& page) { click(page.findChild<QPushButton*>(QStringLiteral("backButton"))); }

// Each time an editor dialog opens, the next step runs on it. A step that leaves the dialog
// open has it closed (and counted), so a test never waits on a modal window.
class EditorScript {
public:
    using Step = std::function<void(ItemEditorDialog&)>;

    EditorScript()
    {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start();
    }

    EditorScript& then(Step step)
    {
        steps_.push_back(std::move(step));
        return *this;
    }
    int opened() const { return opened_; }
    int leftOpen() const { return leftOpen_; }
    bool done() const { return steps_.empty(); }

private:
    void poll()
    {
        auto* dialog = qobject_cast<ItemEditorDialog*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        ++opened_;
        if (!steps_.empty()) {
            Step step = std::move(steps_.front());
            steps_.pop_front();
            step(*dialog);
        }
        if (dialog->isVisible()) {
            ++leftOpen_;
            dialog->reject();
        }
    }

    QTimer timer_;
    std::deque<Step> steps_;
    int opened_ = 0;
    int leftOpen_ = 0;
};

} // namespace orka::app::ui::testing
