#pragma once
// The string table as Qt strings: every text a window shows comes from here by id.
#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <string>
#include <string_view>

namespace orka::ui {

QString fromUtf8(std::string_view text);
std::string toUtf8(const QString& text);

// The text of an id; 46001's text when the table has no such id.
QString uiText(unsigned id);
// The text of an id with its %s and %d filled in order.
QString uiFormat(unsigned id, const QStringList& args);

// A filter of the suite's open and save dialogs ("JPEG(*.jpg)|*.jpg|BMP(*.bmp)|*.bmp|") in
// the form QFileDialog takes ("JPEG(*.jpg) (*.jpg);;BMP(*.bmp) (*.bmp)").
QString qtFileFilter(const QString& suiteFilter);

// Qt's own texts (the standard buttons of message boxes, the file chooser) in Traditional
// Chinese, the language of every other text: the program speaks one language whatever the
// desktop's. False when Qt's translations are not installed; Qt then speaks English.
bool installQtTexts(QCoreApplication& application);

} // namespace orka::ui
