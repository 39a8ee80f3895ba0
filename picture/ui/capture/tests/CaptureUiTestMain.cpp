// Runs both page tests in one program, each with its own private ORKA_HOME.
#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

std::unique_ptr<QObject> makeCapturePicturePageTest();
std::unique_ptr<QObject> makeCaptureAnimationPageTest();

int main(int argc, char** argv)
{
    QTemporaryDir home;
    qputenv("ORKA_HOME", home.path().toUtf8());
    QApplication app(argc, argv);
    int failed = 0;
    for (auto&& test : {makeCapturePicturePageTest(), makeCaptureAnimationPageTest()})
        failed += QTest::qExec(test.get(), argc, argv);
    return failed;
}
