#include "orka/ui/UserPrompts.h"

#include "orka/ui/UiText.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

namespace orka::ui {
namespace {

PromptScript* g_script = nullptr; // the user-interface thread's only

QString caption()
{
    return uiText(app::kStrWindowTitle);
}

Answer runBox(QWidget* parent, QMessageBox::Icon icon, const QString& text, QMessageBox::StandardButtons buttons,
             const QString& boxCaption = caption())
{
    QMessageBox box(icon, boxCaption, text, buttons, parent);
    const int pressed = box.exec();
    switch (pressed) {
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    case QMessageBox::Cancel: return Answer::Cancel;
    default: return Answer::Ok;
    }
}

QString messageQText(unsigned textId, const std::vector<std::string>& args)
{
    app::Message message;
    message.textId = textId;
    message.args = args;
    return fromUtf8(app::messageText(message));
}

} // namespace

void showMessage(QWidget* parent, const app::Message& message)
{
    const QString text = fromUtf8(app::messageText(message));
    if (g_script) {
        g_script->next({PromptKind::Message, text, {}, {}}, Answer::Ok);
        return;
    }
    runBox(parent, QMessageBox::Warning, text, QMessageBox::Ok);
}

void showMessage(QWidget* parent, unsigned textId, const std::vector<std::string>& args)
{
    app::Message message;
    message.textId = textId;
    message.args = args;
    showMessage(parent, message);
}

void showFailure(QWidget* parent, const std::exception& failure)
{
    app::Message message;
    message.exceptionText = failure.what();
    // An exception without words still tells the user that nothing more is known.
    if (message.exceptionText.empty())
        message.textId = app::kStrNoDetails;
    showMessage(parent, message);
}

bool askYesNo(QWidget* parent, unsigned textId, const std::vector<std::string>& args, unsigned captionId)
{
    const QString text = messageQText(textId, args);
    if (g_script)
        return g_script->next({PromptKind::YesNo, text, {}, {}}, Answer::Yes) == Answer::Yes;
    return runBox(parent, QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No,
                  captionId ? uiText(captionId) : caption()) == Answer::Yes;
}

Answer askYesAllNoCancel(QWidget* parent, const QString& text, const QString& boxCaption)
{
    if (g_script)
        return g_script->next({PromptKind::YesAllNoCancel, text, {}, {}}, Answer::Yes);
    QMessageBox box(QMessageBox::Question, boxCaption, text, QMessageBox::NoButton, parent);
    QPushButton* yes = box.addButton(QStringLiteral("是(&Y)"), QMessageBox::YesRole);
    QPushButton* all = box.addButton(QStringLiteral("全部皆是(&A)"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("否(&N)"), QMessageBox::NoRole);
    QPushButton* cancel = box.addButton(QStringLiteral("取消(&C)"), QMessageBox::RejectRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == yes)
        return Answer::Yes;
    if (box.clickedButton() == all)
        return Answer::YesToAll;
    if (box.clickedButton() == no)
        return Answer::No;
    return Answer::Cancel;
}

QStringList chooseOpenFiles(QWidget* parent, const QString& boxCaption, const QString& suiteFilter, bool several,
                            const QString& folder)
{
    const QString filter = qtFileFilter(suiteFilter);
    if (g_script)
        return g_script->nextChoice({PromptKind::OpenFiles, boxCaption, filter, folder});
    if (several)
        return QFileDialog::getOpenFileNames(parent, boxCaption, folder, filter);
    const QString one = QFileDialog::getOpenFileName(parent, boxCaption, folder, filter);
    return one.isEmpty() ? QStringList{} : QStringList{one};
}

QString chooseSaveFile(QWidget* parent, const QString& boxCaption, const QString& suiteFilter, const QString& folder)
{
    const QString filter = qtFileFilter(suiteFilter);
    if (g_script)
        return g_script->nextChoice({PromptKind::SaveFile, boxCaption, filter, folder}).value(0);
    return QFileDialog::getSaveFileName(parent, boxCaption, folder, filter);
}

QString chooseDirectory(QWidget* parent, const QString& boxCaption, const QString& folder)
{
    if (g_script)
        return g_script->nextChoice({PromptKind::Directory, boxCaption, {}, folder}).value(0);
    return QFileDialog::getExistingDirectory(parent, boxCaption, folder);
}

PromptScript::PromptScript() : previous_(g_script)
{
    g_script = this;
}

PromptScript::~PromptScript()
{
    g_script = previous_;
}

PromptScript* PromptScript::active()
{
    return g_script;
}

QStringList PromptScript::texts() const
{
    QStringList out;
    for (const ShownPrompt& prompt : shown_)
        if (prompt.kind == PromptKind::Message || prompt.kind == PromptKind::YesNo ||
            prompt.kind == PromptKind::YesAllNoCancel)
            out << prompt.text;
    return out;
}

Answer PromptScript::next(ShownPrompt prompt, Answer fallback)
{
    shown_.push_back(std::move(prompt));
    if (answers_.empty())
        return fallback;
    const Answer answer = answers_.front();
    answers_.pop_front();
    return answer;
}

QStringList PromptScript::nextChoice(ShownPrompt prompt)
{
    shown_.push_back(std::move(prompt));
    if (choices_.empty())
        return {};
    QStringList choice = choices_.front();
    choices_.pop_front();
    return choice;
}

} // namespace orka::ui
