#include "orka/ui/HelpViewer.h"

#include "orka/platform/HelpTopics.h"
#include "orka/ui/UiText.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QStyle>
#include <QTextBrowser>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

namespace orka::ui {

namespace {

constexpr QSize kInitialSize(720, 560);

QString pathText(const std::filesystem::path& path)
{
    return QString::fromStdString(path.string());
}

QString topicFile(const QString& helpDir, unsigned topicId)
{
    return pathText(platform::helpTopicFile(helpDir.toStdString(), topicId));
}

QString contentsFile(const QString& helpDir)
{
    return pathText(helpDir.toStdString() / std::filesystem::path(platform::kHelpContentsPage));
}

} // namespace

HelpWindow::HelpWindow(QString helpDir, QWidget* parent)
    : QWidget(parent, Qt::Window), helpDir_(std::move(helpDir)), browser_(new QTextBrowser(this))
{
    setObjectName(QStringLiteral("helpWindow"));
    setWindowTitle(uiText(kStrHelpTitle));
    auto* bar = new QToolBar(this);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    const auto addAction = [&](QStyle::StandardPixmap icon, unsigned textId, QKeySequence::StandardKey key) {
        QAction* action = bar->addAction(style()->standardIcon(icon), uiText(textId));
        action->setShortcut(key);
        return action;
    };
    back_ = addAction(QStyle::SP_ArrowBack, kStrHelpBack, QKeySequence::Back);
    forward_ = addAction(QStyle::SP_ArrowForward, kStrHelpForward, QKeySequence::Forward);
    contents_ = addAction(QStyle::SP_DirHomeIcon, kStrHelpContents, QKeySequence::UnknownKey);
    // The buttons show their text, but their accessible names are set too, since a tool
    // button's accessible name otherwise comes from its tool tip alone.
    for (QAction* action : {back_, forward_, contents_})
        bar->widgetForAction(action)->setAccessibleName(action->text());
    back_->setEnabled(false);
    forward_->setEnabled(false);

    browser_->setAccessibleName(uiText(kStrHelpPage));
    browser_->setSearchPaths({helpDir_});
    browser_->setOpenLinks(true);
    browser_->setOpenExternalLinks(false);

    connect(back_, &QAction::triggered, browser_, &QTextBrowser::backward);
    connect(forward_, &QAction::triggered, browser_, &QTextBrowser::forward);
    connect(contents_, &QAction::triggered, this, [this] { showPage(contentsFile(helpDir_)); });
    connect(browser_, &QTextBrowser::backwardAvailable, back_, &QAction::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward_, &QAction::setEnabled);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(browser_);
    resize(kInitialSize);
}

void HelpWindow::showPage(const QString& file)
{
    browser_->setSource(QUrl::fromLocalFile(file));
}

HelpViewer::HelpViewer(QString helpDir) : helpDir_(std::move(helpDir)) {}

HelpViewer::~HelpViewer()
{
    // A window with an owner goes with its owner; one without is ours, as long as the
    // application that made it still exists.
    if (window_ && !window_->parentWidget() && QApplication::instance())
        delete window_.data();
}

bool HelpViewer::show(QWidget* owner, unsigned topicId)
{
    if (!checked_) {
        checked_ = true;
        failed_ = !QFileInfo(contentsFile(helpDir_)).isFile();
    }
    if (failed_)
        return false;
    const QString page = topicFile(helpDir_, topicId);
    if (!QFileInfo(page).isFile())
        return false;

    if (!window_) {
        window_ = new HelpWindow(helpDir_, owner);
    } else if (window_->parentWidget() != owner) {
        // The window follows its latest owner, so that a modal dialog asking for help does
        // not leave the help window blocked behind it.
        const QRect where = window_->geometry();
        window_->setParent(owner, Qt::Window);
        window_->setGeometry(where);
    }
    window_->showPage(page);
    window_->show();
    window_->raise();
    window_->activateWindow();
    return true;
}

HelpViewer& HelpViewer::programHelp()
{
    static HelpViewer viewer(pathText(platform::shippedHelpDir()));
    return viewer;
}

} // namespace orka::ui
