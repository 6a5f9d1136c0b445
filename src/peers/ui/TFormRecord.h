#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace auravox {

class ConfigRegistry;
class UserPrompts;

// "AURAVOX": the recorder settings, where the user gives the path of the
// recorder program that RecorderControl starts.
class TFormRecord : public QWidget
{
    Q_OBJECT
public:
    // Where RECORDER= stands in the announcement section: right after the
    // main window's RECORD= (10), before ROSE= (30).
    static constexpr int kConfigPosition = 20;

    explicit TFormRecord(UserPrompts &prompts, QWidget *parent = nullptr);

    // The text of EditQuillon.
    QString programPath() const;

    // Browse: a picked file that exists becomes the path (all of it selected);
    // one that does not empties the field with a beep; cancelling changes nothing.
    void ButtonParcourirClick();

    // RECORDER=: written always with the path (which may be empty); a
    // non-empty value becomes the path.
    void declareConfig(ConfigRegistry &registry);

private:
    UserPrompts &m_prompts;
    QLabel *Label1 = nullptr;
    QLineEdit *EditQuillon = nullptr;
    QPushButton *ButtonParcourir = nullptr;
};

} // namespace auravox
