#include "orka/app/ui/CommandActions.h"

#include "orka/StringTable.h"
#include "orka/app/ui/CommandIds.h"
#include "orka/app/ui/ToolIcons.h"
#include "orka/ui/UiText.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QWidget>

namespace orka::app::ui {
namespace {

constexpr char kCommandIdProperty[] = "orkaCommandId";

// Bar and pane toggles and the two view modes carry a check mark.
bool checkable(unsigned id)
{
    switch (id) {
    case cmd::kToolbar:
    case cmd::kNavigationBar:
    case cmd::kStatusBar:
    case cmd::kFolderPane:
    case cmd::kPreviewPane:
    case cmd::kThumbnailMode:
    case cmd::kListMode:
        return true;
    default:
        return false;
    }
}

// A menu text with its mnemonic kept for Qt ("&關於") and the accelerator after the tab dropped:
// the shortcut itself is shown by Qt.
QString menuLabel(std::string_view text)
{
    QString label = orka::ui::fromUtf8(text);
    if (const auto tab = label.indexOf(QLatin1Char('\t')); tab >= 0)
        label.truncate(tab);
    return label;
}

void collectIds(const std::vector<MenuEntry>& entries, std::vector<std::pair<unsigned, std::string_view>>& out)
{
    for (const MenuEntry& e : entries) {
        if (e.isPopup())
            collectIds(e.entries, out);
        else if (!e.isSeparator())
            out.emplace_back(e.id, e.text);
    }
}

} // namespace

CommandActions::CommandActions(QWidget* owner) : QObject(owner), owner_(owner)
{
    std::vector<std::pair<unsigned, std::string_view>> commands;
    collectIds(mainMenu(), commands);
    for (ContextMenu which : {ContextMenu::Edit, ContextMenu::View, ContextMenu::Category})
        collectIds(contextMenu(which).entries, commands);
    for (auto bar : {generalToolbar(), animationToolbar()})
        for (unsigned id : bar)
            if (id != 0)
                commands.emplace_back(id, commandText(id));
    for (const auto& [id, text] : commands)
        if (!actions_.count(id))
            make(id, text);

    auto* modes = new QActionGroup(this);
    modes->addAction(action(cmd::kThumbnailMode));
    modes->addAction(action(cmd::kListMode));

    // Accelerators reach the commands above and the pane moves, which have prompts of their
    // own; the rest name commands this program has no handler for.
    for (const Accelerator& a : accelerators())
        if (!actions_.count(a.id) && findString(a.id))
            make(a.id, {});
    std::map<unsigned, QList<QKeySequence>> keys;
    for (const Accelerator& a : accelerators())
        keys[a.id].append(QKeySequence(QString::fromLatin1(a.keys.data(), qsizetype(a.keys.size()))));
    for (auto& [id, sequences] : keys) {
        if (QAction* a = action(id))
            a->setShortcuts(sequences);
    }
}

QAction* CommandActions::make(unsigned id, std::string_view menuText)
{
    auto* a = new QAction(menuLabel(menuText), owner_);
    a->setProperty(kCommandIdProperty, id);
    a->setCheckable(checkable(id));
    a->setEnabled(false);
    a->setIcon(commandIcon(id));
    a->setShortcutContext(Qt::WindowShortcut);
    // The prompt string: the status bar text, a line break, the tool tip.
    const QString plain = orka::ui::fromUtf8(commandText(id));
    QString tip = plain;
    if (const auto prompt = findString(id)) {
        const QString text = orka::ui::fromUtf8(*prompt);
        const auto lineBreak = text.indexOf(QLatin1Char('\n'));
        a->setStatusTip(lineBreak < 0 ? text : text.left(lineBreak));
        if (lineBreak >= 0 && !text.mid(lineBreak + 1).trimmed().isEmpty())
            tip = text.mid(lineBreak + 1).trimmed();
    }
    a->setToolTip(tip);
    if (a->text().isEmpty())
        a->setText(tip);
    owner_->addAction(a);
    actions_[id] = a;
    return a;
}

QAction* CommandActions::action(unsigned id) const
{
    const auto found = actions_.find(id);
    return found == actions_.end() ? nullptr : found->second;
}

unsigned CommandActions::idOf(const QAction* action)
{
    return action ? action->property(kCommandIdProperty).toUInt() : 0;
}

void CommandActions::fillMenu(QMenu* menu, const std::vector<MenuEntry>& entries) const
{
    for (const MenuEntry& e : entries) {
        if (e.isSeparator())
            menu->addSeparator();
        else if (e.isPopup())
            fillMenu(menu->addMenu(menuLabel(e.text)), e.entries);
        else
            menu->addAction(action(e.id));
    }
}

void CommandActions::fillMenuBar(QMenuBar* bar) const
{
    for (const MenuEntry& popup : mainMenu())
        fillMenu(bar->addMenu(menuLabel(popup.text)), popup.entries);
}

QMenu* CommandActions::makeContextMenu(ContextMenu which, QWidget* parent) const
{
    const MenuEntry& popup = contextMenu(which);
    auto* menu = new QMenu(menuLabel(popup.text), parent);
    fillMenu(menu, popup.entries);
    return menu;
}

void CommandActions::fillToolBar(QToolBar* bar, std::span<const unsigned> buttons) const
{
    for (unsigned id : buttons) {
        if (id == 0) {
            bar->addSeparator();
            continue;
        }
        QAction* a = action(id);
        bar->addAction(a);
        if (QWidget* button = bar->widgetForAction(a))
            button->setAccessibleName(orka::ui::fromUtf8(commandText(id)));
    }
}

} // namespace orka::app::ui
