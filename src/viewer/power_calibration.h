// "Calibrate Power": the energy the current frame's aperture holds, and its units, so that the
// results text can show energies instead of counts.
#pragma once

#include <QDialog>

#include "platform/dialog_service.h"
#include "viewer/surface.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace kestrom {

class TPowerCalibration : public QDialog {
    Q_OBJECT
  public:
    // Starts from the surface's energy ("%.3f") and units.
    explicit TPowerCalibration(const TSurface& surface, QWidget* parent = nullptr);

    QLineEdit* AmountOfEnergy;
    QComboBox* ComboBox1;
    QPushButton* OkButton;
    QPushButton* CancelButton;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// What the dialog's answer does to the surface: "Ok" calibrates it with the typed energy and the
// chosen units and shows energies; "Cancel" shows counts again. Energy text that is no number
// gives the conversion error and changes nothing.
void applyPowerCalibration(const TPowerCalibration& dialog, bool accepted, TSurface& surface,
                           DialogService& dialogs);

}  // namespace kestrom
