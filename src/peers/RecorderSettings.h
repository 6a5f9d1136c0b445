#pragma once

#include <QObject>
#include <QString>

namespace auravox {

class ConfigRegistry;

// The recorder program's path (RECORDER=), which RecorderControl starts.
class RecorderSettings final : public QObject
{
    Q_OBJECT
public:
    // Where RECORDER= stands in the announcement section: right after the
    // main window's RECORD= (10), before ROSE= (30).
    static constexpr int kConfigPosition = 20;

    explicit RecorderSettings(QObject *parent = nullptr);

    QString programPath() const { return m_path; }
    void setProgramPath(const QString &path);
    // The recorder window's rule for a chosen file: only one that exists.
    // False (nothing changed) otherwise.
    bool chooseProgram(const QString &path);

    // Written always with the path (which may be empty); a non-empty value
    // becomes the path.
    void declareConfig(ConfigRegistry &registry);

signals:
    void changed();

private:
    QString m_path;
};

} // namespace auravox
