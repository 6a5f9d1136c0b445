#include "app/ui/TFormInfo.h"

#include "app/ReleaseCheck.h"
#include "common/Log.h"
#include "common/ui/Pictures.h"
#include "platform/UserPrompts.h"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

namespace auravox {

TFormInfo::TFormInfo(UserPrompts &prompts, const QString &programVersion, QWidget *parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint),
      m_prompts(prompts), m_programVersion(programVersion)
{
    setObjectName(QStringLiteral("FormInfo"));
    setWindowTitle(QStringLiteral("Info"));

    Label1 = new QLabel(QStringLiteral("AURAVOX"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont big = Label1->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.5);
    Label1->setFont(big);

    Label2 = new QLabel(kAuthorName, this);
    Label2->setObjectName(QStringLiteral("Label2"));

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(Pictures::station(false));

    LabelUrl3 = new QLabel(ReleaseCheck::webSiteAddress(), this);
    LabelUrl3->setObjectName(QStringLiteral("LabelUrl3"));
    QFont link = LabelUrl3->font();
    link.setUnderline(true);
    LabelUrl3->setFont(link);
    QPalette blue = LabelUrl3->palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    LabelUrl3->setPalette(blue);
    LabelUrl3->setCursor(Qt::PointingHandCursor);
    LabelUrl3->installEventFilter(this);

    Panel1 = new QLabel(kAuthorCallSign, this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setAlignment(Qt::AlignCenter);

    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setDefault(true);
    BitBtnNewRelease = new QPushButton(QStringLiteral("Check if a new release is available"), this);
    BitBtnNewRelease->setObjectName(QStringLiteral("BitBtnNewRelease"));

    auto *root = new QVBoxLayout(this);
    auto *top = new QHBoxLayout;
    top->addWidget(Image1);
    auto *names = new QVBoxLayout;
    names->addWidget(Label1);
    names->addWidget(Label2);
    names->addWidget(LabelUrl3);
    top->addLayout(names, 1);
    root->addLayout(top);
    root->addWidget(Panel1);
    root->addWidget(BitBtnNewRelease);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(BitBtn1);
    root->addLayout(buttons);
    root->setSizeConstraint(QLayout::SetFixedSize);

    connect(BitBtn1, &QPushButton::clicked, this, &TFormInfo::BitBtn1Click);
    connect(BitBtnNewRelease, &QPushButton::clicked, this, &TFormInfo::BitBtnNewReleaseClick);
}

void TFormInfo::showVersion(const QString &version)
{
    Label1->setText(QStringLiteral("AURAVOX V") + version);
}

void TFormInfo::checkAtStart()
{
    runCheck(false);
}

void TFormInfo::BitBtnNewReleaseClick()
{
    runCheck(true);
}

void TFormInfo::BitBtn1Click()
{
    close();
}

void TFormInfo::LabelUrl3Click()
{
    m_prompts.openAddress(ReleaseCheck::webSiteAddress());
}

bool TFormInfo::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == LabelUrl3 && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        LabelUrl3Click();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TFormInfo::runCheck(bool onDemand)
{
    // The download runs the event loop; a second check meanwhile would fetch
    // into the same local copy.
    if (m_checking)
        return;
    m_checking = true;
    BitBtnNewRelease->setEnabled(false);
    const QString listed = ReleaseCheck::FetchReleaseVersion(ReleaseCheck::kProgramKey);
    BitBtnNewRelease->setEnabled(true);
    m_checking = false;

    const char *when = onDemand ? "release check:" : "release check at start:";
    switch (ReleaseCheck::judgeRelease(listed, m_programVersion)) {
    case ReleaseCheck::ReleaseVerdict::Newer:
        qCInfo(lcRelease).noquote() << when << ReleaseCheck::newReleaseMessage() << "(the list gives" << listed
                                    << "this is" << m_programVersion + QLatin1Char(')');
        m_prompts.beep();
        m_prompts.message(ReleaseCheck::newReleaseMessage());
        break;
    case ReleaseCheck::ReleaseVerdict::UpToDate:
        qCInfo(lcRelease).noquote() << when << "up to date (the list gives" << listed << "this is"
                                    << m_programVersion + QLatin1Char(')');
        if (onDemand)
            m_prompts.message(ReleaseCheck::kUpToDateMessage);
        break;
    case ReleaseCheck::ReleaseVerdict::NoVersion:
        qCInfo(lcRelease).noquote() << when << "no version of" << ReleaseCheck::kProgramKey << "found at"
                                    << ReleaseCheck::releaseListAddress();
        if (onDemand)
            m_prompts.message(ReleaseCheck::kInternetFailureMessage);
        break;
    }
}

} // namespace auravox
