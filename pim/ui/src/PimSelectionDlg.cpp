#include "orka/pim/ui/PimSelectionDlg.h"

#include "ui_PimSelectionDlg.h"

#include "orka/pim/AnsiText.h"
#include "orka/ui/UiText.h"
#include "orka/ui/UserPrompts.h"

#include <QTreeWidget>

namespace orka::pim::ui {
namespace {

constexpr unsigned kStrListTitles = 4024;     // "手機電話簿資料:|Outlook聯絡人資料:|手機行事曆資料:|Outlook工作資料:"
constexpr unsigned kStrContactColumns = 4021; // "姓名|行動電話|e-mail"
constexpr unsigned kStrCalendarColumns = 4022; // "標題|提醒日期|內容"
constexpr int kEntryRole = Qt::UserRole;

QString ansi(const std::string& text) { return orka::ui::fromUtf8(utf8FromAnsi(text)); }

QStringList parts(unsigned id) { return orka::ui::uiText(id).split(QLatin1Char('|')); }

QString reminderText(const PimDateTime& when)
{
    if (!when.valid)
        return {};
    return QStringLiteral("%1/%2/%3 %4:%5")
        .arg(when.year, 4, 10, QLatin1Char('0'))
        .arg(when.month, 2, 10, QLatin1Char('0'))
        .arg(when.day, 2, 10, QLatin1Char('0'))
        .arg(when.hour, 2, 10, QLatin1Char('0'))
        .arg(when.minute, 2, 10, QLatin1Char('0'));
}

QStringList columnsOf(const CContactItem& c) { return {ansi(c.name), ansi(c.phone1), ansi(c.email1)}; }
QStringList columnsOf(const CCalendarItem& e) { return {ansi(e.subject), reminderText(e.when), ansi(e.content)}; }

// Fills a report list; the sending side shows each entry's tick.
template <typename Entry>
void fillList(QTreeWidget* list, const std::vector<Entry>& entries, bool ticks)
{
    list->clear();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        auto* row = new QTreeWidgetItem(list, columnsOf(entries[i]));
        row->setData(0, kEntryRole, qulonglong(i));
        if (ticks)
            row->setCheckState(0, entries[i].ticked() ? Qt::Checked : Qt::Unchecked);
    }
    for (int c = 0; c < list->columnCount(); ++c)
        list->resizeColumnToContents(c);
}

template <typename Entry>
void toggle(std::vector<Entry>& entries, QTreeWidgetItem* row)
{
    const auto i = std::size_t(row->data(0, kEntryRole).toULongLong());
    if (i >= entries.size())
        return;
    entries[i].setTicked(!entries[i].ticked());
    row->setCheckState(0, entries[i].ticked() ? Qt::Checked : Qt::Unchecked);
}

} // namespace

PimSelectionDlg::PimSelectionDlg(PimKind kind, Direction direction, PimLists& lists, Reload reload, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::PimSelectionDlg>()), kind_(kind), direction_(direction),
      lists_(lists), reload_(std::move(reload))
{
    ui_->setupUi(this);
    const QStringList columns = parts(kind_ == PimKind::Contacts ? kStrContactColumns : kStrCalendarColumns);
    ui_->handsetList->setHeaderLabels(columns);
    ui_->storeList->setHeaderLabels(columns);
    // Ticks are the entries' own: a click toggles the entry, the row only shows it.
    connect(sendingList(), &QTreeWidget::itemClicked, this, &PimSelectionDlg::onItemClicked);
    connect(ui_->tickAllButton, &QPushButton::clicked, this, [this] { tickAll(true); });
    connect(ui_->untickAllButton, &QPushButton::clicked, this, [this] { tickAll(false); });
    connect(ui_->reloadButton, &QPushButton::clicked, this, &PimSelectionDlg::onReload);
    ui_->reloadButton->setEnabled(bool(reload_));
    fill();
}

PimSelectionDlg::~PimSelectionDlg() = default;

QTreeWidget* PimSelectionDlg::sendingList() const
{
    return direction_ == Direction::Download ? ui_->handsetList : ui_->storeList;
}

unsigned PimSelectionDlg::sendingListBit() const
{
    const bool contacts = kind_ == PimKind::Contacts;
    if (direction_ == Direction::Download)
        return contacts ? list::kPhonebook : list::kCalendar;
    return contacts ? list::kStoreContacts : list::kStoreTasks;
}

void PimSelectionDlg::fill()
{
    const QStringList titles = parts(kStrListTitles);
    const bool contacts = kind_ == PimKind::Contacts;
    const bool download = direction_ == Direction::Download;
    const int handsetCount = int(contacts ? lists_.phonebook.size() : lists_.calendar.size());
    const int storeCount = int(contacts ? lists_.storeContacts.size() : lists_.storeTasks.size());
    ui_->handsetTitle->setText(QStringLiteral("%1 %2").arg(titles.value(contacts ? 0 : 2)).arg(handsetCount));
    ui_->storeTitle->setText(QStringLiteral("%1 %2").arg(titles.value(contacts ? 1 : 3)).arg(storeCount));
    if (contacts) {
        fillList(ui_->handsetList, lists_.phonebook, download);
        fillList(ui_->storeList, lists_.storeContacts, !download);
    } else {
        fillList(ui_->handsetList, lists_.calendar, download);
        fillList(ui_->storeList, lists_.storeTasks, !download);
    }
}

void PimSelectionDlg::onItemClicked(QTreeWidgetItem* row)
{
    switch (sendingListBit()) {
    case list::kPhonebook: toggle(lists_.phonebook, row); break;
    case list::kCalendar: toggle(lists_.calendar, row); break;
    case list::kStoreContacts: toggle(lists_.storeContacts, row); break;
    case list::kStoreTasks: toggle(lists_.storeTasks, row); break;
    default: break;
    }
}

void PimSelectionDlg::tickAll(bool on)
{
    lists_.tickAll(sendingListBit(), on);
    fill();
}

void PimSelectionDlg::onReload()
{
    if (reload_)
        reload_();
    fill(); // also after a failed reload: the lists may have been emptied
}

void PimSelectionDlg::accept()
{
    if (const auto refusal = checkSelection(kind_, direction_, lists_)) {
        orka::ui::showMessage(this, *refusal);
        return;
    }
    QDialog::accept();
}

} // namespace orka::pim::ui
