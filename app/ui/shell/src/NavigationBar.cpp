#include "orka/app/ui/NavigationBar.h"

#include "orka/app/COrkaDoc.h"
#include "orka/app/ui/CommandIds.h"
#include "orka/app/ui/ShellResources.h"
#include "orka/ui/UiText.h"

#include <QComboBox>
#include <QLabel>
#include <QSignalBlocker>

namespace orka::app::ui {
namespace {
constexpr unsigned kStrPleaseChoose = 65157;
constexpr unsigned kStrCategoryLabel = 33400;
constexpr unsigned kStrFolderLabel = 33401;
constexpr int kListWidth = 160;

QComboBox* makeList(unsigned controlId, const QString& name)
{
    auto* list = new QComboBox;
    list->setObjectName(QStringLiteral("list%1").arg(controlId));
    list->setMinimumWidth(kListWidth);
    list->setAccessibleName(name);
    list->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    return list;
}
} // namespace

NavigationBar::NavigationBar(QWidget* parent)
    : QToolBar(parent), categories_(makeList(ctl::kCategoryList, orka::ui::uiText(kStrCategoryLabel))),
      folders_(makeList(ctl::kFolderList, orka::ui::uiText(kStrFolderLabel)))
{
    setObjectName(QStringLiteral("navigationBar"));
    setAccessibleName(orka::ui::fromUtf8(commandText(cmd::kNavigationBar)));
    auto* categoryLabel = new QLabel(orka::ui::uiText(kStrCategoryLabel));
    categoryLabel->setBuddy(categories_);
    auto* folderLabel = new QLabel(orka::ui::uiText(kStrFolderLabel));
    folderLabel->setBuddy(folders_);
    addWidget(categoryLabel);
    addWidget(categories_);
    addSeparator();
    addWidget(folderLabel);
    addWidget(folders_);

    connect(categories_, &QComboBox::activated, this, [this](int index) {
        const int id = categories_->itemData(index).toInt();
        fillFolders(id);
        Q_EMIT chosen(id);
    });
    connect(folders_, &QComboBox::activated, this,
            [this](int index) { Q_EMIT chosen(folders_->itemData(index).toInt()); });
}

void NavigationBar::build(const COrkaDoc& doc)
{
    doc_ = &doc;
    const QSignalBlocker blocker(categories_);
    categories_->clear();
    categories_->addItem(orka::ui::uiText(kStrPleaseChoose), kRootId);
    for (const auto& category : doc.root().categories)
        categories_->addItem(orka::ui::fromUtf8(category->name), category->id);
    categories_->setCurrentIndex(0);
    fillFolders(kRootId);
}

void NavigationBar::fillFolders(int categoryId)
{
    const QSignalBlocker blocker(folders_);
    folders_->clear();
    const CategoryNode* category = doc_ ? doc_->findCategory(categoryId) : nullptr;
    if (!category)
        return;
    for (const auto& folder : category->folders)
        folders_->addItem(orka::ui::fromUtf8(folder->name), folder->id);
    folders_->setCurrentIndex(-1);
}

void NavigationBar::follow(int id)
{
    const int category = id == kRootId ? kRootId : categoryOf(id);
    const int categoryIndex = categories_->findData(category);
    if (categoryIndex < 0)
        return;
    if (categoryIndex != categories_->currentIndex() || folders_->count() == 0) {
        const QSignalBlocker blocker(categories_);
        categories_->setCurrentIndex(categoryIndex);
        fillFolders(category);
    }
    const QSignalBlocker blocker(folders_);
    folders_->setCurrentIndex(id == category ? -1 : folders_->findData(id));
}

} // namespace orka::app::ui
