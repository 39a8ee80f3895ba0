#include "CaptureTexts.h"

#include "orka/ui/UiText.h"
#include "orka/ui/UserPrompts.h"

#include <QFileInfo>

namespace orka::picture::ui {

QString chooseSourceFile(QWidget* parent, unsigned filterId, const QString& current)
{
    const QStringList files = orka::ui::chooseOpenFiles(parent, orka::ui::uiText(kStrOpenCaption),
                                                        orka::ui::uiText(filterId), false,
                                                        QFileInfo(current).absolutePath());
    return files.isEmpty() ? QString() : files.front();
}

} // namespace orka::picture::ui
