#include "internet/ui/TFormMeteoMETAR.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

namespace auravox {

namespace {
InternetSourceWindow::Layout metarLayout()
{
    InternetSourceWindow::Layout l;
    l.entryLabel = QStringLiteral("URL of the METAR site");
    l.dateLabel = QStringLiteral("Date of data:");
    l.timeBases = {QStringLiteral("UT"), QStringLiteral("Loc")};
    return l;
}
} // namespace

TFormMeteoMETAR::TFormMeteoMETAR(MetarSource &source, const SourceWindowContext &context, QWidget *parent)
    : InternetSourceWindow(source, metarLayout(), context, parent), m_metar(source)
{
    setObjectName(QStringLiteral("FormMeteoMETAR"));
    auto *root = static_cast<QVBoxLayout *>(layout());
    LabelICAO = new QLabel(QStringLiteral("Airport code = "), this);
    LabelICAO->setObjectName(QStringLiteral("LabelICAO"));
    LabelNomICAO = new QLabel(metarLabel(source.entry()), this);
    LabelNomICAO->setObjectName(QStringLiteral("LabelNomICAO"));
    root->insertWidget(2, LabelNomICAO);
    root->insertWidget(3, LabelICAO);
    itemBox(WeatherItem::Rain24h)->setText(QStringLiteral("Precipitation ="));

    connect(EditDat, &QLineEdit::textChanged, this, [this](const QString &text) { LabelNomICAO->setText(metarLabel(text)); });
    // The time base and the adjustment read the report again at once.
    connect(ComboBoxTU, &QComboBox::activated, this, [this] { ButtonRafraichirClick(); });
    connect(SpinEditOffSetPression, &QSpinBox::valueChanged, this, [this] {
        if (!m_busy)
            ButtonRafraichirClick();
    });
}

} // namespace auravox
