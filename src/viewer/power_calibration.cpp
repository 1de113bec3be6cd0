#include "viewer/power_calibration.h"

#include <QComboBox>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>


#include "common/number_text.h"

namespace kestrom {
namespace {

constexpr TEnergyUnits kUnits[] = {TEnergyUnits::Watts, TEnergyUnits::Milliwatts,
                                   TEnergyUnits::Joules, TEnergyUnits::Millijoules};

}  // namespace

TPowerCalibration::TPowerCalibration(const TSurface& surface, QWidget* parent) : QDialog(parent) {
    setWindowTitle("Calibrate Power");
    setModal(true);
    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel("Energy", this), 0, 0);
    AmountOfEnergy = new QLineEdit(this);
    AmountOfEnergy->setObjectName("AmountOfEnergy");
    AmountOfEnergy->setText(QString::fromStdString(formatFixed(surface.calibratedEnergy(), 3)));
    AmountOfEnergy->installEventFilter(this);
    layout->addWidget(AmountOfEnergy, 0, 1);
    layout->addWidget(new QLabel("Units", this), 1, 0);
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName("ComboBox1");
    ComboBox1->addItems({"Watts", "Milli-Watts", "Joules", "Milli-Joules"});
    ComboBox1->setCurrentIndex(-1);
    for (int i = 0; i < 4; ++i)
        if (kUnits[i] == surface.calibratedEnergyUnits()) ComboBox1->setCurrentIndex(i);
    layout->addWidget(ComboBox1, 1, 1);
    OkButton = new QPushButton("Ok", this);
    OkButton->setObjectName("OkButton");
    OkButton->setDefault(true);
    CancelButton = new QPushButton("Cancel", this);
    CancelButton->setObjectName("CancelButton");
    layout->addWidget(OkButton, 2, 0);
    layout->addWidget(CancelButton, 2, 1);
    connect(OkButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

// Typed characters other than digits and "." are discarded; editing keys still work.
bool TPowerCalibration::eventFilter(QObject* watched, QEvent* event) {
    if (watched == AmountOfEnergy && event->type() == QEvent::KeyPress) {
        const QString typed = static_cast<QKeyEvent*>(event)->text();
        if (typed.size() == 1 && typed[0].isPrint() && !typed[0].isDigit() && typed[0] != '.')
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

void applyPowerCalibration(const TPowerCalibration& dialog, bool accepted, TSurface& surface,
                           DialogService& dialogs) {
    if (!accepted) {
        surface.SetShow(kShowCalibrated, false);
        return;
    }
    const std::string text = dialog.AmountOfEnergy->text().toStdString();
    const std::optional<double> energy = parseDecimal(text);
    if (!energy) {
        dialogs.messageBox("Kestrom III Control Console",
                           notADecimalText(text), BoxButtons::Ok,
                           BoxIcon::Error);
        return;
    }
    surface.SetCalibratedEnergy(*energy);
    const int unit = dialog.ComboBox1->currentIndex();
    if (unit >= 0 && unit < 4) surface.SetCalibratedEnergyUnits(kUnits[unit]);
    surface.SetShow(kShowCalibrated, true);
}

}  // namespace kestrom
