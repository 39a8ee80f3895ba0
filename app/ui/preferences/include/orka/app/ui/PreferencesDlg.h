#pragma once
// The preferences dialog (command 32802): three tab pages over the option word and the
// ring-tone editor's two switches. OK copies back only the pages the user opened, so a page
// never looked at cannot overwrite a value another window changed meanwhile.
#include "orka/app/Settings.h"

#include <QDialog>
#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>

class QTabWidget;

namespace Ui {
class PreferencesDlg;
class StartupPage;
class AudioPage;
class DeletionPage;
} // namespace Ui

namespace orka::app::ui {

// Everything the dialog shows and changes.
struct PreferenceValues {
    std::uint32_t optionWord = PreferencesBlock::kDefaultOptionWord;
    RingToneBlock ringTone; // the ring-tone editor's switches on the audio page
};

// One tab page: shows values, copies its own part of them back, and shows its defaults.
class PreferencesPage : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    virtual void showValues(const PreferenceValues& values) = 0;
    virtual void copyInto(PreferenceValues& values) const = 0;
    // "還原預設值": the page's controls show the defaults; nothing is stored before OK.
    void restoreDefaults() { showValues(PreferenceValues{}); }
};

class StartupPage : public PreferencesPage {
    Q_OBJECT
public:
    explicit StartupPage(QWidget* parent = nullptr);
    ~StartupPage() override;
    void showValues(const PreferenceValues& values) override;
    void copyInto(PreferenceValues& values) const override;

private:
    std::unique_ptr<Ui::StartupPage> ui_;
};

class AudioPage : public PreferencesPage {
    Q_OBJECT
public:
    explicit AudioPage(QWidget* parent = nullptr);
    ~AudioPage() override;
    void showValues(const PreferenceValues& values) override;
    void copyInto(PreferenceValues& values) const override;

private:
    std::unique_ptr<Ui::AudioPage> ui_;
};

class DeletionPage : public PreferencesPage {
    Q_OBJECT
public:
    explicit DeletionPage(QWidget* parent = nullptr);
    ~DeletionPage() override;
    void showValues(const PreferenceValues& values) override;
    void copyInto(PreferenceValues& values) const override;

private:
    std::unique_ptr<Ui::DeletionPage> ui_;
};

class PreferencesDlg : public QDialog {
    Q_OBJECT
public:
    enum Page { Startup = 0, Audio = 1, Deletion = 2, PageCount = 3 };
    static constexpr unsigned kHelpTopic = 5016;

    PreferencesDlg(PreferencesBlock& preferences, RingToneBlock& ringTone, QWidget* parent = nullptr);
    ~PreferencesDlg() override;

    bool pageOpened(Page page) const { return opened_[std::size_t(page)]; }

public Q_SLOTS:
    void accept() override;

private:
    void markOpened(int index);

    std::unique_ptr<Ui::PreferencesDlg> ui_;
    PreferencesBlock& preferences_;
    RingToneBlock& ringTone_;
    std::array<PreferencesPage*, PageCount> pages_{};
    std::array<bool, PageCount> opened_{};
};

} // namespace orka::app::ui
