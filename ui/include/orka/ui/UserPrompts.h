#pragma once
// Every message box and file chooser of the program goes through here, so that they all look
// alike (caption 57344, the suite's icons and buttons) and so that tests can answer them: a
// PromptScript installed for a test records what would have been shown and gives the answers
// a user would have given, without a modal window.
#include "orka/app/MessageText.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <exception>
#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace orka::ui {

enum class PromptKind { Message, YesNo, YesAllNoCancel, OpenFiles, SaveFile, Directory };

enum class Answer { Ok, Yes, YesToAll, No, Cancel };

// What a prompt showed: the kind, its text (a message) or caption (a file chooser), and for
// file choosers the filter and start folder.
struct ShownPrompt {
    PromptKind kind = PromptKind::Message;
    QString text;
    QString filter;
    QString folder;
};

// Shows a message with the exclamation icon and an OK button.
void showMessage(QWidget* parent, const app::Message& message);
void showMessage(QWidget* parent, unsigned textId, const std::vector<std::string>& args = {});
// Shows what a caught exception says: orka::Failure (and its kind) by its id and detail,
// anything else by its own text under 46001.
void showFailure(QWidget* parent, const std::exception& failure);
// A Yes/No question with the question icon; true for Yes. A captionId other than 0 names
// the caption instead of the window title (the deletion confirmations have their own).
bool askYesNo(QWidget* parent, unsigned textId, const std::vector<std::string>& args = {}, unsigned captionId = 0);
// The four-button confirmation of deletions: "是(&Y)", "全部皆是(&A)", "否(&N)", "取消(&C)".
Answer askYesAllNoCancel(QWidget* parent, const QString& text, const QString& caption);

// File choosers; an empty result means the user cancelled. Filters are in the suite's form
// ("Java(*.jad)|*.jad|").
QStringList chooseOpenFiles(QWidget* parent, const QString& caption, const QString& suiteFilter,
                            bool several, const QString& folder = {});
QString chooseSaveFile(QWidget* parent, const QString& caption, const QString& suiteFilter,
                       const QString& folder = {});
QString chooseDirectory(QWidget* parent, const QString& caption, const QString& folder = {});

// The test seam: while one exists, prompts are recorded and answered from the queue instead
// of being shown. An empty queue answers Ok/Yes and chooses nothing.
class PromptScript {
public:
    PromptScript();
    ~PromptScript();
    PromptScript(const PromptScript&) = delete;
    PromptScript& operator=(const PromptScript&) = delete;

    void answer(Answer answer) { answers_.push_back(answer); }
    void choose(QStringList paths) { choices_.push_back(std::move(paths)); }

    const std::vector<ShownPrompt>& shown() const { return shown_; }
    // The texts of the messages and questions shown, in order.
    QStringList texts() const;
    void clear() { shown_.clear(); }

    // Used by the prompt functions.
    static PromptScript* active();
    Answer next(ShownPrompt prompt, Answer fallback);
    QStringList nextChoice(ShownPrompt prompt);

private:
    std::deque<Answer> answers_;
    std::deque<QStringList> choices_;
    std::vector<ShownPrompt> shown_;
    PromptScript* previous_;
};

} // namespace orka::ui
