#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace auravox {

class RecorderSettings;
class UserPrompts;

// "AURAVOX": the recorder settings, where the user gives the path of the
// recorder program that RecorderControl starts.
class TFormRecord : public QWidget
{
    Q_OBJECT
public:
    // The window shows and edits `settings`.
    TFormRecord(UserPrompts &prompts, RecorderSettings &settings, QWidget *parent = nullptr);

    // The text of EditQuillon.
    QString programPath() const;

    // Browse: a picked file that exists becomes the path (all of it selected);
    // one that does not empties the field with a beep; cancelling changes nothing.
    void ButtonParcourirClick();

private:
    UserPrompts &m_prompts;
    RecorderSettings &m_settings;
    QLabel *Label1 = nullptr;
    QLineEdit *EditQuillon = nullptr;
    QPushButton *ButtonParcourir = nullptr;
};

} // namespace auravox
