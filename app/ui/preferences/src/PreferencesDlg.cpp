#include "orka/app/ui/PreferencesDlg.h"

#include "ui_AudioPage.h"
#include "ui_DeletionPage.h"
#include "ui_PreferencesDlg.h"
#include "ui_StartupPage.h"

#include "orka/ui/HelpViewer.h"

namespace orka::app::ui {
namespace {

using Field = PreferencesBlock::StartupField;

bool bitOf(std::uint32_t word, std::uint32_t bit) { return (word & bit) != 0; }

void setBit(std::uint32_t& word, std::uint32_t bit, bool on) { word = on ? (word | bit) : (word & ~bit); }

} // namespace

StartupPage::StartupPage(QWidget* parent) : PreferencesPage(parent), ui_(std::make_unique<Ui::StartupPage>())
{
    ui_->setupUi(this);
    connect(ui_->restoreButton, &QPushButton::clicked, this, &PreferencesPage::restoreDefaults);
}

StartupPage::~StartupPage() = default;

void StartupPage::showValues(const PreferenceValues& values)
{
    // A damaged start-up field (0) ticks no choice; OK then keeps it as it is.
    const auto setting = static_cast<StartupSetting>(Field::get(values.optionWord));
    ui_->wizardMode->setAutoExclusive(false);
    ui_->managementMode->setAutoExclusive(false);
    ui_->followExitState->setAutoExclusive(false);
    ui_->wizardMode->setChecked(setting == StartupSetting::Wizard);
    ui_->managementMode->setChecked(setting == StartupSetting::Management);
    ui_->followExitState->setChecked(setting == StartupSetting::FollowLastMode);
    ui_->wizardMode->setAutoExclusive(true);
    ui_->managementMode->setAutoExclusive(true);
    ui_->followExitState->setAutoExclusive(true);
    ui_->fullScreen->setChecked(bitOf(values.optionWord, PreferencesBlock::kFullScreen));
    ui_->alwaysOnTop->setChecked(bitOf(values.optionWord, PreferencesBlock::kAlwaysOnTop));
}

void StartupPage::copyInto(PreferenceValues& values) const
{
    if (ui_->wizardMode->isChecked())
        Field::set(values.optionWord, std::uint32_t(StartupSetting::Wizard));
    else if (ui_->managementMode->isChecked())
        Field::set(values.optionWord, std::uint32_t(StartupSetting::Management));
    else if (ui_->followExitState->isChecked())
        Field::set(values.optionWord, std::uint32_t(StartupSetting::FollowLastMode));
    setBit(values.optionWord, PreferencesBlock::kFullScreen, ui_->fullScreen->isChecked());
    setBit(values.optionWord, PreferencesBlock::kAlwaysOnTop, ui_->alwaysOnTop->isChecked());
}

AudioPage::AudioPage(QWidget* parent) : PreferencesPage(parent), ui_(std::make_unique<Ui::AudioPage>())
{
    ui_->setupUi(this);
    connect(ui_->restoreButton, &QPushButton::clicked, this, &PreferencesPage::restoreDefaults);
}

AudioPage::~AudioPage() = default;

void AudioPage::showValues(const PreferenceValues& values)
{
    ui_->defaultSetting->setChecked(values.ringTone.defaultSetting());
    ui_->autoRepeat->setChecked(values.ringTone.autoRepeat());
}

void AudioPage::copyInto(PreferenceValues& values) const
{
    values.ringTone.set(RingToneBlock::kDefaultSetting, ui_->defaultSetting->isChecked());
    values.ringTone.set(RingToneBlock::kAutoRepeat, ui_->autoRepeat->isChecked());
}

DeletionPage::DeletionPage(QWidget* parent) : PreferencesPage(parent), ui_(std::make_unique<Ui::DeletionPage>())
{
    ui_->setupUi(this);
    connect(ui_->restoreButton, &QPushButton::clicked, this, &PreferencesPage::restoreDefaults);
}

DeletionPage::~DeletionPage() = default;

void DeletionPage::showValues(const PreferenceValues& values)
{
    ui_->warnDeleteData->setChecked(bitOf(values.optionWord, PreferencesBlock::kWarnDeleteData));
    ui_->warnDeleteHandsetData->setChecked(bitOf(values.optionWord, PreferencesBlock::kWarnDeleteHandsetData));
    ui_->warnDeleteFolder->setChecked(bitOf(values.optionWord, PreferencesBlock::kWarnDeleteFolder));
}

void DeletionPage::copyInto(PreferenceValues& values) const
{
    setBit(values.optionWord, PreferencesBlock::kWarnDeleteData, ui_->warnDeleteData->isChecked());
    setBit(values.optionWord, PreferencesBlock::kWarnDeleteHandsetData, ui_->warnDeleteHandsetData->isChecked());
    setBit(values.optionWord, PreferencesBlock::kWarnDeleteFolder, ui_->warnDeleteFolder->isChecked());
}

PreferencesDlg::PreferencesDlg(PreferencesBlock& preferences, RingToneBlock& ringTone, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::PreferencesDlg>()), preferences_(preferences), ringTone_(ringTone)
{
    ui_->setupUi(this);
    pages_ = {ui_->startupPage, ui_->audioPage, ui_->deletionPage};
    const PreferenceValues current{preferences_.optionWord, ringTone_};
    for (PreferencesPage* page : pages_)
        page->showValues(current);
    ui_->pages->setCurrentIndex(Startup);
    markOpened(ui_->pages->currentIndex());
    connect(ui_->pages, &QTabWidget::currentChanged, this, &PreferencesDlg::markOpened);
    connect(ui_->helpButton, &QPushButton::clicked, this, [this] { orka::ui::HelpViewer::showHelp(this, kHelpTopic); });
}

PreferencesDlg::~PreferencesDlg() = default;

void PreferencesDlg::markOpened(int index)
{
    if (index >= 0 && index < PageCount)
        opened_[std::size_t(index)] = true;
}

void PreferencesDlg::accept()
{
    PreferenceValues values{preferences_.optionWord, ringTone_};
    for (int i = 0; i < PageCount; ++i)
        if (opened_[std::size_t(i)])
            pages_[std::size_t(i)]->copyInto(values);
    preferences_.optionWord = values.optionWord;
    ringTone_ = values.ringTone;
    QDialog::accept();
}

} // namespace orka::app::ui
