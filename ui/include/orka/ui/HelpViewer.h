#pragma once
// The context help. Windows and dialogs ask for a topic id (5000-5027 have pages of their
// own, any other id opens the contents); the page is shown in one help window with back,
// forward and contents buttons, made on the first request and reused after that.
//
// When the help folder cannot be found the request does nothing, without a message, and the
// failure is remembered: later requests do nothing either. A topic whose page is missing
// shows nothing for that request.
#include <QPointer>
#include <QString>
#include <QWidget>

class QTextBrowser;
class QAction;

namespace orka::ui {

inline constexpr unsigned kStrHelpTitle = 5960;
inline constexpr unsigned kStrHelpBack = 5961;
inline constexpr unsigned kStrHelpForward = 5962;
inline constexpr unsigned kStrHelpContents = 5963;
inline constexpr unsigned kStrHelpPage = 5964;

// The help window: a tool bar (back, forward, contents) above the page.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QString helpDir, QWidget* parent = nullptr);

    void showPage(const QString& file);
    QTextBrowser* browser() const { return browser_; }
    QAction* backAction() const { return back_; }
    QAction* forwardAction() const { return forward_; }
    QAction* contentsAction() const { return contents_; }

private:
    QString helpDir_;
    QTextBrowser* browser_;
    QAction* back_;
    QAction* forward_;
    QAction* contents_;
};

class HelpViewer {
public:
    // Help from the pages in helpDir.
    explicit HelpViewer(QString helpDir);
    ~HelpViewer();
    HelpViewer(const HelpViewer&) = delete;
    HelpViewer& operator=(const HelpViewer&) = delete;

    // Shows the topic's page with owner as the window's owner; false when nothing was shown.
    bool show(QWidget* owner, unsigned topicId);
    // True once the help folder was found missing; every later request then does nothing.
    bool failed() const { return failed_; }
    // The help window, or nullptr before the first page was shown (or after its owner went).
    HelpWindow* window() const { return window_; }

    // The program's help, from the folder it ships its pages in.
    static HelpViewer& programHelp();
    static void showHelp(QWidget* owner, unsigned topicId) { programHelp().show(owner, topicId); }

private:
    QString helpDir_;
    QPointer<HelpWindow> window_;
    bool checked_ = false;
    bool failed_ = false;
};

} // namespace orka::ui
