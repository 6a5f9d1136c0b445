#include "peers/ui/TFormRecord.h"

#include "peers/RecorderSettings.h"
#include "common/ui/Pictures.h"
#include "platform/UserPrompts.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace auravox {

TFormRecord::TFormRecord(UserPrompts &prompts, RecorderSettings &settings, QWidget *parent)
    : QWidget(parent, Qt::Window), m_prompts(prompts), m_settings(settings)
{
    setObjectName(QStringLiteral("FormRecord"));
    setWindowTitle(QStringLiteral("AURAVOX"));
    setWindowIcon(QIcon(Pictures::appIcon()));
    resize(420, 90);

    Label1 = new QLabel(QStringLiteral("Tamboril path+name"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    EditQuillon = new QLineEdit(this);
    EditQuillon->setObjectName(QStringLiteral("EditQuillon"));
    ButtonParcourir = new QPushButton(QStringLiteral("Browse"), this);
    ButtonParcourir->setObjectName(QStringLiteral("ButtonParcourir"));
    Label1->setBuddy(EditQuillon);

    auto *root = new QVBoxLayout(this);
    root->addWidget(Label1);
    auto *row = new QHBoxLayout;
    row->addWidget(EditQuillon, 1);
    row->addWidget(ButtonParcourir);
    root->addLayout(row);
    root->addStretch(1);

    connect(ButtonParcourir, &QPushButton::clicked, this, &TFormRecord::ButtonParcourirClick);
    EditQuillon->setText(m_settings.programPath());
    connect(EditQuillon, &QLineEdit::textChanged, this, [this](const QString &text) { m_settings.setProgramPath(text); });
    connect(&m_settings, &RecorderSettings::changed, this, [this] {
        if (EditQuillon->text() != m_settings.programPath())
            EditQuillon->setText(m_settings.programPath());
    });
}

QString TFormRecord::programPath() const
{
    return m_settings.programPath();
}

void TFormRecord::ButtonParcourirClick()
{
    // OpenDialogW: no filter.
    const QString chosen = m_prompts.openFileName(QString(), QString(), EditQuillon->text());
    if (chosen.isEmpty())
        return;
    if (QFileInfo::exists(chosen)) {
        EditQuillon->setText(chosen);
        EditQuillon->selectAll();
    } else {
        EditQuillon->clear();
        m_prompts.beep();
    }
}

} // namespace auravox
