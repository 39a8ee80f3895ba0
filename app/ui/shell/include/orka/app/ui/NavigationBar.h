#pragma once
// The navigation bar: a list of the categories (after "請選擇...") and a list of the chosen
// category's folders. Choosing in either list moves the navigation tree's selection; the
// tree's selection moves the lists.
#include <QToolBar>

class QComboBox;

namespace orka::app {
class COrkaDoc;
}

namespace orka::app::ui {

class NavigationBar : public QToolBar {
    Q_OBJECT
public:
    explicit NavigationBar(QWidget* parent = nullptr);

    void build(const COrkaDoc& doc);
    // Shows the node the tree selected: a category, or a folder with its category.
    void follow(int id);

    QComboBox* categories() const { return categories_; }
    QComboBox* folders() const { return folders_; }

Q_SIGNALS:
    // The user chose the node of `id` (the root 0, a category or a folder).
    void chosen(int id);

private:
    void fillFolders(int categoryId);

    const COrkaDoc* doc_ = nullptr;
    QComboBox* categories_;
    QComboBox* folders_;
    bool following_ = false;
};

} // namespace orka::app::ui
