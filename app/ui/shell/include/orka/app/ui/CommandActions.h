#pragma once
// One QAction per command id of the main window: its text, status prompt, tool tip, icon,
// accelerators and check state. Menus, tool bars and context menus are all made from the same
// actions, so a command enabled, disabled or checked in one place shows the same everywhere.
#include "orka/app/ui/ShellResources.h"

#include <QAction>
#include <QObject>

#include <map>
#include <utility>

class QMenu;
class QMenuBar;
class QToolBar;
class QWidget;

namespace orka::app::ui {

class CommandActions : public QObject {
    Q_OBJECT
public:
    // Makes the actions of every command the resources name, owned by `owner`, which also
    // receives their accelerators. Every action starts disabled until a handler is bound.
    explicit CommandActions(QWidget* owner);

    // nullptr for an id no resource names.
    QAction* action(unsigned id) const;
    // Enables the action and runs `handler` when it is triggered.
    template <typename Handler>
    QAction* bind(unsigned id, Handler&& handler)
    {
        QAction* a = action(id);
        a->setEnabled(true);
        connect(a, &QAction::triggered, this, std::forward<Handler>(handler));
        return a;
    }

    void fillMenuBar(QMenuBar* bar) const;
    // A popup of the context menus, parented to `parent`.
    QMenu* makeContextMenu(ContextMenu which, QWidget* parent) const;
    void fillToolBar(QToolBar* bar, std::span<const unsigned> buttons) const;

    // The id of an action made here; 0 for any other.
    static unsigned idOf(const QAction* action);

private:
    QAction* make(unsigned id, std::string_view menuText);
    void fillMenu(QMenu* menu, const std::vector<MenuEntry>& entries) const;

    QWidget* owner_;
    std::map<unsigned, QAction*> actions_;
};

} // namespace orka::app::ui
