#include "orka/ui/UiText.h"

#include "orka/app/MessageText.h"
#include "orka/StringTable.h"

#include <QLibraryInfo>
#include <QTranslator>

namespace orka::ui {

QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

std::string toUtf8(const QString& text)
{
    return text.toStdString();
}

QString uiText(unsigned id)
{
    const auto found = findString(id);
    return fromUtf8(found ? *found : loadString(app::kStrNoDetails));
}

QString uiFormat(unsigned id, const QStringList& args)
{
    std::vector<std::string> plain;
    plain.reserve(std::size_t(args.size()));
    for (const QString& arg : args)
        plain.push_back(arg.toStdString());
    return fromUtf8(app::formatText(toUtf8(uiText(id)), plain));
}

QString qtFileFilter(const QString& suiteFilter)
{
    // The suite's filters alternate a description and its patterns, each ended by "|".
    const QStringList parts = suiteFilter.split(QLatin1Char('|'), Qt::SkipEmptyParts);
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& pattern : patterns)
            pattern = pattern.trimmed();
        filters << parts[i].trimmed() + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}

namespace {

// Texts of the file chooser that Debian's Traditional Chinese translation of Qt 6.4 lacks: the
// type column names a folder through a context the translation does not have yet.
class FileChooserTexts : public QTranslator {
public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* sourceText, const char*, int) const override
    {
        if (qstrcmp(context, "QAbstractFileIconProvider") != 0)
            return {};
        if (qstrcmp(sourceText, "Folder") == 0 || qstrcmp(sourceText, "File Folder") == 0)
            return QStringLiteral("資料夾");
        if (qstrcmp(sourceText, "Drive") == 0)
            return QStringLiteral("磁碟機");
        return {};
    }
};

} // namespace

bool installQtTexts(QCoreApplication& application)
{
    QCoreApplication::installTranslator(new FileChooserTexts(&application));
    // The translations of Debian's qt6-translations-l10n.
    auto* translator = new QTranslator(&application);
    if (!translator->load(QStringLiteral("qtbase_zh_TW"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

} // namespace orka::ui
