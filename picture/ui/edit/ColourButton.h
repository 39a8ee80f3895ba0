#pragma once
// A button that shows a colour swatch and lets the user pick another colour.
#include <QColor>
#include <QToolButton>

namespace orka::ui {

class ColourButton : public QToolButton {
    Q_OBJECT
public:
    explicit ColourButton(QWidget* parent = nullptr);

    QColor colour() const { return colour_; }
    void setColour(const QColor& colour);

Q_SIGNALS:
    void colourChanged(const QColor& colour);

private:
    void choose();

    QColor colour_{Qt::black};
};

} // namespace orka::ui
