// The shared prompts: texts by id with their caption, the suite's filters in Qt's form, and
// the test seam answering in order.
#include "orka/ui/UiText.h"
#include "orka/ui/UserPrompts.h"

#include "orka/Failure.h"

#include <QAbstractButton>
#include <QAbstractFileIconProvider>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QTest>

using namespace orka::ui;

class UserPromptsTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void filtersTakeQtForm()
    {
        QCOMPARE(qtFileFilter(QStringLiteral("Java(*.jad)|*.jad|")), QStringLiteral("Java(*.jad) (*.jad)"));
        // Blanks around patterns (the suite's JPEG filter has them) are dropped.
        QCOMPARE(qtFileFilter(QStringLiteral("JPEG|*.jpg; *.jpeg|BMP(*.bmp)|*.bmp")),
                 QStringLiteral("JPEG (*.jpg *.jpeg);;BMP(*.bmp) (*.bmp)"));
        QCOMPARE(qtFileFilter(QString()), QString());
    }

    void qtTextsSpeakTheSuitesLanguage()
    {
        QVERIFY(orka::ui::installQtTexts(*QCoreApplication::instance()));
        QMessageBox box(QMessageBox::Question, QString(), QString(), QMessageBox::Yes | QMessageBox::No);
        // The same words as the four-button deletion question uses.
        QCOMPARE(box.button(QMessageBox::Yes)->text(), QStringLiteral("是(&Y)"));
        QCOMPARE(box.button(QMessageBox::No)->text(), QStringLiteral("否(&N)"));
        // The file chooser's title when the suite gives none, as in the import command.
        QCOMPARE(QCoreApplication::translate("QFileDialog", "Open"), QStringLiteral("開啟"));
        // The chooser's type column, which Qt's own translation leaves in English.
        QCOMPARE(QAbstractFileIconProvider().type(QFileInfo(QDir::tempPath())), QStringLiteral("資料夾"));
    }

    void missingTextFallsBack()
    {
        QCOMPARE(uiText(4027), QStringLiteral("這是一個唯讀的資料夾"));
        QCOMPARE(uiText(1), uiText(orka::app::kStrNoDetails));
        QCOMPARE(uiFormat(61108, {QStringLiteral("a.orka")}), QStringLiteral("寫入檔案\"a.orka\"失敗"));
    }

    void scriptAnswersInOrderAndRecords()
    {
        PromptScript script;
        script.answer(Answer::No);
        QVERIFY(!askYesNo(nullptr, 4027));
        QVERIFY(askYesNo(nullptr, 4027)); // an empty queue says yes
        showFailure(nullptr, orka::Failure(4027));
        script.choose({QStringLiteral("/tmp/a.jad")});
        QCOMPARE(chooseOpenFiles(nullptr, QStringLiteral("x"), QStringLiteral("Java(*.jad)|*.jad|"), false),
                 QStringList{QStringLiteral("/tmp/a.jad")});
        QCOMPARE(script.texts().size(), 3);
        QCOMPARE(script.texts().at(2), QStringLiteral("這是一個唯讀的資料夾"));
        QCOMPARE(script.shown().back().filter, QStringLiteral("Java(*.jad) (*.jad)"));
    }

    void nestedScriptsRestore()
    {
        PromptScript outer;
        {
            PromptScript inner;
            QCOMPARE(PromptScript::active(), &inner);
        }
        QCOMPARE(PromptScript::active(), &outer);
    }
};

QTEST_MAIN(UserPromptsTest)
#include "UserPromptsTest.moc"
