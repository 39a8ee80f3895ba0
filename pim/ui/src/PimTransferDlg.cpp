#include "orka/pim/ui/PimTransferDlg.h"

#include "ui_PimTransferDlg.h"

#include "orka/app/MessageText.h"
#include "orka/pim/ui/PimProgressDlg.h"
#include "orka/pim/ui/PimSelectionDlg.h"
#include "orka/ui/UiText.h"
#include "orka/ui/UserPrompts.h"

#include <ctime>

namespace orka::pim::ui {
namespace {

constexpr unsigned kStrDirections = 4008;   // "從手機下載 PIM 資料|上傳 Outlook 資料到手機"
constexpr unsigned kStrUnknown = 4025;      // "未知資訊"
constexpr unsigned kStrTransferDone = 4026; // "完成傳送資料."
constexpr unsigned kStrCannotEncode = 20027; // "(%s) 編碼失敗, 請檢查此資料(%s)"
constexpr unsigned kStrCalendarColumns = 4022; // "標題|提醒日期|內容"
constexpr int kReminderColumn = 1;

using orka::ui::fromUtf8;

QString roomText(const HandsetRoom& room)
{
    if (room.capacity < 0)
        return orka::ui::uiText(kStrUnknown);
    return fromUtf8(app::formatText("%d/%d", {std::to_string(room.freeEntries), std::to_string(room.capacity)}));
}

void showText(QWidget* parent, const std::string& text)
{
    app::Message message;
    message.exceptionText = text;
    orka::ui::showMessage(parent, message);
}

} // namespace

PimTransferDlg::PimTransferDlg(PimSession session, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::PimTransferDlg>()), session_(session)
{
    ui_->setupUi(this);
    ui_->directionList->addItems(orka::ui::uiText(kStrDirections).split(QLatin1Char('|')));
    const TransferChoice saved = transferChoiceOf(session_.preferences.optionWord);
    ui_->directionList->setCurrentIndex(saved.direction == Direction::Upload ? 1 : 0);
    ui_->contactsBox->setChecked(saved.contacts);
    ui_->calendarBox->setChecked(saved.calendar);
    const std::string lastSync = session_.preferences.lastSyncText();
    ui_->lastSync->setText(lastSync.empty() ? orka::ui::uiText(kStrUnknown) : fromUtf8(lastSync));
    showRoom();

    connect(ui_->readContactsButton, &QPushButton::clicked, this, [this] { readData(PimKind::Contacts); });
    connect(ui_->readCalendarButton, &QPushButton::clicked, this, [this] { readData(PimKind::Calendar); });
    connect(ui_->startButton, &QPushButton::clicked, this, &PimTransferDlg::startTransfer);
}

PimTransferDlg::~PimTransferDlg() = default;

TransferChoice PimTransferDlg::choice() const
{
    TransferChoice c;
    c.direction = ui_->directionList->currentIndex() == 1 ? Direction::Upload : Direction::Download;
    c.contacts = ui_->contactsBox->isChecked();
    c.calendar = ui_->calendarBox->isChecked();
    return c;
}

PimJobContext PimTransferDlg::context() const
{
    PimJobContext c;
    c.port = session_.preferences.port();
    c.loadedFlags = &session_.loadedFlags;
    c.storeRoot = session_.storeRoot;
    return c;
}

void PimTransferDlg::showRoom()
{
    ui_->phonebookFree->setText(roomText(session_.lists.phonebookRoom));
    ui_->calendarFree->setText(roomText(session_.lists.calendarRoom));
}

void PimTransferDlg::readData(PimKind kind)
{
    if (!load(kind))
        return;
    PimSelectionDlg selection(kind, choice().direction, session_.lists, [this, kind] { return reload(kind); }, this);
    selection.exec();
    showRoom();
}

bool PimTransferDlg::reload(PimKind kind)
{
    // "更新" reads both sides of the kind afresh.
    const bool contacts = kind == PimKind::Contacts;
    session_.lists.clear(list::kStoreContacts | list::kStoreTasks | (contacts ? list::kPhonebook : list::kCalendar));
    session_.loadedFlags &= ~(loaded::kStore | (contacts ? loaded::kPhonebook : loaded::kCalendar));
    return load(kind);
}

bool PimTransferDlg::load(PimKind kind)
{
    const JobResult loaded = PimProgressDlg::run(
        this, kind == PimKind::Contacts ? ProgressCaption::LoadPhonebook : ProgressCaption::LoadCalendar, context(),
        [this, kind](const PimJobContext& c) { return loadPimLists(kind, session_.lists, c); });
    showRoom();
    if (loaded.end == JobResult::End::Failed)
        showText(this, loaded.failureText);
    return loaded.succeeded();
}

void PimTransferDlg::startTransfer()
{
    const TransferChoice chosen = choice();
    storeTransferChoice(session_.preferences.optionWord, chosen);
    if (const auto refusal = checkTransferStart(chosen, session_.lists, session_.loadedFlags)) {
        orka::ui::showMessage(this, refusal->messageId);
        (refusal->readButton == 0 ? ui_->readContactsButton : ui_->readCalendarButton)->setFocus();
        return;
    }
    const JobResult result = PimProgressDlg::run(
        this, chosen.direction == Direction::Download ? ProgressCaption::Download : ProgressCaption::Upload,
        context(), [this, chosen](const PimJobContext& c) { return transferPimEntries(chosen, session_.lists, c); });

    // The time is kept whatever the outcome: the user sees when the handset was last touched.
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    session_.preferences.setLastSyncText(lastSyncText(local));
    ui_->lastSync->setText(fromUtf8(session_.preferences.lastSyncText()));
    showRoom();

    showProblems(result);
    if (result.end == JobResult::End::Failed)
        showText(this, result.failureText);
    if (!result.succeeded())
        return;
    orka::ui::showMessage(this, kStrTransferDone);
    accept();
}

void PimTransferDlg::showProblems(const JobResult& result)
{
    // Entries passed over do not stop a transfer, but the user must not take the completion
    // message for "everything went".
    if (result.problems.empty())
        return;
    const QString reminder = orka::ui::uiText(kStrCalendarColumns).split(QLatin1Char('|')).value(kReminderColumn);
    std::string lines;
    for (const EntryProblem& p : result.problems) {
        if (!lines.empty())
            lines += "\n";
        if (p.reason == EntryProblem::Reason::Refused)
            lines += orka::ui::toUtf8(orka::ui::uiFormat(kStrCannotEncode, {reminder, fromUtf8(p.entry)}));
        else
            lines += p.entry + ": " + p.text;
    }
    showText(this, lines);
}

} // namespace orka::pim::ui
