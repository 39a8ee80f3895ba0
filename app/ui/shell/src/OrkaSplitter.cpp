#include "orka/app/ui/OrkaSplitter.h"

#include <numeric>

namespace orka::app::ui {

COrkaSplitter::COrkaSplitter(Qt::Orientation orientation, QWidget* parent) : QSplitter(orientation, parent)
{
    setChildrenCollapsible(false);
}

void COrkaSplitter::addPane(QWidget* pane, int initialSize)
{
    addWidget(pane);
    setStretchFactor(count() - 1, initialSize == 0 ? 1 : 0);
    initialSizes_.push_back(initialSize);
    hiddenSizes_.push_back(initialSize);
}

void COrkaSplitter::showEvent(QShowEvent* event)
{
    QSplitter::showEvent(event);
    if (sized_)
        return;
    sized_ = true;
    // The panes of a fixed first size get it; the others share what is left.
    const int total = orientation() == Qt::Horizontal ? width() : height();
    const int fixed = std::accumulate(initialSizes_.begin(), initialSizes_.end(), 0);
    QList<int> list;
    for (int s : initialSizes_)
        list << (s == 0 ? std::max(total - fixed, 1) : s);
    setSizes(list);
}

void COrkaSplitter::setPaneShown(int index, bool shown)
{
    QWidget* pane = widget(index);
    if (!pane || pane->isVisibleTo(this) == shown)
        return;
    if (!shown) {
        const int size = sizes().value(index);
        if (size > 0)
            hiddenSizes_[std::size_t(index)] = size;
        pane->hide();
        return;
    }
    pane->show();
    // Back at the size it had; the widest neighbour gives the room.
    QList<int> list = sizes();
    const int wanted = hiddenSizes_[std::size_t(index)];
    int donor = -1;
    for (int i = 0; i < list.size(); ++i)
        if (i != index && widget(i)->isVisibleTo(this) && (donor < 0 || list[i] > list[donor]))
            donor = i;
    if (donor >= 0 && wanted > 0) {
        const int taken = std::min(wanted, std::max(list[donor] - 1, 0));
        list[donor] -= taken;
        list[index] = taken;
        setSizes(list);
    }
}

bool COrkaSplitter::paneShown(int index) const
{
    const QWidget* pane = widget(index);
    return pane && pane->isVisibleTo(this);
}

} // namespace orka::app::ui
