#pragma once
// The main window's splitters: a pane can be hidden and shown again, its space going to its
// neighbours meanwhile and coming back at the size it had.
#include <QSplitter>

#include <vector>

namespace orka::app::ui {

class COrkaSplitter : public QSplitter {
    Q_OBJECT
public:
    // Columns side by side.
    explicit COrkaSplitter(QWidget* parent = nullptr) : COrkaSplitter(Qt::Horizontal, parent) {}

    // Adds a pane with its first size (0: it takes what is left).
    void addPane(QWidget* pane, int initialSize);
    void setPaneShown(int index, bool shown);
    bool paneShown(int index) const;

protected:
    COrkaSplitter(Qt::Orientation orientation, QWidget* parent);
    void showEvent(QShowEvent* event) override;

private:
    std::vector<int> initialSizes_;
    std::vector<int> hiddenSizes_;
    bool sized_ = false;
};

// Rows one above the other.
class COrkaSplitter2 : public COrkaSplitter {
    Q_OBJECT
public:
    explicit COrkaSplitter2(QWidget* parent = nullptr) : COrkaSplitter(Qt::Vertical, parent) {}
};

} // namespace orka::app::ui
