#pragma once

#include <QObject>
#include <QRect>

namespace auravox {

class ConfigRegistry;

// Where the windows stand: the main window's TOP= and LEFT=, the one saved
// rectangle of the weather source windows and whether one of them is shown
// (FORMMETEO=). A program without windows keeps them as read.
class PlacementSettings final : public QObject
{
    Q_OBJECT
public:
    explicit PlacementSettings(QObject *parent = nullptr);

    QPoint mainPosition() const { return m_main; }
    // A position read from the file: the main window moves there.
    void placeMain(const QPoint &position);
    // Where the main window stands now, noted before a save (it does not move it).
    void noteMainPosition(const QPoint &position) { m_main = position; }
    QRect sourceRect() const { return m_source; }
    void setSourceRect(const QRect &rect) { m_source = rect; }
    bool sourceWindowShown() const { return m_sourceShown; }
    void setSourceWindowShown(bool shown) { m_sourceShown = shown; }

    void declareConfig(ConfigRegistry &registry);

signals:
    void mainPlaced(const QPoint &position);

private:
    QPoint m_main{4, 101};
    QRect m_source{0, 0, 287, 267}; // left, top, width, height
    bool m_sourceShown = true;
};

} // namespace auravox
