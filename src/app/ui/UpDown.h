#pragma once

#include <QWidget>

class QToolButton;

namespace auravox {

// A pair of arrow buttons that step a position within a range, beside the
// field that shows what the position means.
class UpDown : public QWidget
{
    Q_OBJECT
public:
    explicit UpDown(QWidget *parent = nullptr);

    int position() const { return m_position; }
    // Clamped to the range; emits positionChanged when it changes.
    void setPosition(int position);
    void setRange(int minimum, int maximum);
    int minimum() const { return m_minimum; }
    int maximum() const { return m_maximum; }

    QToolButton *upButton() const { return m_up; }
    QToolButton *downButton() const { return m_down; }

signals:
    void positionChanged(int position);

private:
    QToolButton *m_up;
    QToolButton *m_down;
    int m_position = 0;
    int m_minimum = 0;
    int m_maximum = 100;
};

} // namespace auravox
