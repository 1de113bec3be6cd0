// The factory dialog: its controls, showing and building the record, and the record's exchange
// with the camera.
#include "maintenance/quorls_magic_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMetaObject>
#include <QPushButton>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QVBoxLayout>

#include <cmath>

#include "camera_records/requests.h"
#include "common/number_text.h"
#include "common/reg_util.h"
#include "common/qt/hourglass.h"
#include "common/qt/modal_owner.h"

namespace kestrom {
namespace {

template <typename W>
W* named(W* widget, const char* name, const char* hint = nullptr) {
    widget->setObjectName(name);
    if (hint) widget->setStatusTip(hint);
    return widget;
}

QLineEdit* edit(const char* name, int width = 70) {
    auto* e = named(new QLineEdit, name);
    e->setFixedWidth(width);
    return e;
}

// The record's texts are 8-bit characters: one byte, one Latin-1 character, both ways.
QString q(const std::string& s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }
std::string s(const QLineEdit* e) { return e->text().toLatin1().toStdString(); }

// The spin edits show two decimals within their range, and nothing for a value that is no number
// (an erased record's); an untouched one gives back the exact value it was shown for.
float spunValue(const QDoubleSpinBox* box, float shown, double shownInBox) {
    return box->value() == shownInBox ? shown : static_cast<float>(box->value());
}

}  // namespace

TQuorlsMagicDialog::TQuorlsMagicDialog(MaintenanceHost& host, QWidget* parent) : QDialog(parent), host_(host) {
    setObjectName("QuorlsMagicDialog");
    setWindowTitle("Quorl's Magic Dialog");
    setModal(true);
    buildControls();
    connectHandlers();
    TRegUtil reg(host.registry(), kMagicKey);
    dataDirectory_ = reg.ReadString("DefaultPath", "");
    if (dataDirectory_.empty()) dataDirectory_ = host.defaultDataDirectory();
    ThermalPanel->hide();
}

TQuorlsMagicDialog::~TQuorlsMagicDialog() { ModalOwner::windowClosed(this); }

void TQuorlsMagicDialog::buildControls() {
    auto* layout = new QGridLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    auto* camera = new QGroupBox("Camera");
    auto* c = new QGridLayout(camera);
    auto row = [](QGridLayout* g, int r, const char* label, QWidget* w, int span = 1) {
        g->addWidget(new QLabel(label), r, 0);
        g->addWidget(w, r, 1, 1, span);
    };
    SerialNumber = edit("SerialNumber");
    SerialNumber->setMaxLength(12);
    row(c, 0, "Serial number", SerialNumber);
    HardwareRevLevel = edit("HardwareRevLevel", 40);
    row(c, 1, "Hardware revision level", HardwareRevLevel);
    CameraTypeBox = named(new QComboBox, "CameraTypeBox", "0 = Normal, 1 = Thermal");
    CameraTypeBox->addItems({"0", "1", "2"});
    row(c, 2, "Camera type", CameraTypeBox);
    c->addWidget(new QLabel("0 = Normal\n1 = Thermal"), 2, 2);
    CrystalPolarity = named(new QComboBox, "CrystalPolarity");
    CrystalPolarity->addItems({"Negative", "Positive"});
    row(c, 3, "Crystal polarity", CrystalPolarity);
    ChopperPresent = named(new QCheckBox("Chopper present"), "ChopperPresent");
    c->addWidget(ChopperPresent, 4, 0, 1, 2);
    IBPCheckBox = named(new QCheckBox("IBP"), "IBPCheckBox");
    BPSCheckBox = named(new QCheckBox("BPS"), "BPSCheckBox");
    auto* flags = new QHBoxLayout;
    flags->addWidget(IBPCheckBox);
    flags->addWidget(BPSCheckBox);
    c->addLayout(flags, 5, 0, 1, 2);
    auto spin = [](const char* name) {
        auto* b = named(new QDoubleSpinBox, name);
        b->setDecimals(2);
        b->setSingleStep(1.0);
        b->setRange(-1e9, 1e9);
        b->setLocale(QLocale::c());  // one decimal point whatever the user's locale
        b->setValue(1.0);
        return b;
    };
    HScale = spin("HScale");
    VScale = spin("VScale");
    row(c, 6, "HScale", HScale);
    row(c, 7, "VScale", VScale);
    c->addWidget(new QLabel("<- These must be set if IBP is set"), 6, 2, 2, 1);
    SiliconChopCalibrateEdit = edit("SiliconChopCalibrateEdit");
    SiliconChopCalibrateEdit->setText("0");
    row(c, 8, "Chop Cal.", SiliconChopCalibrateEdit);
    layout->addWidget(camera, 0, 0);

    auto* detector = new QGroupBox("Detector");
    auto* d = new QGridLayout(detector);
    DetectorType = named(new QComboBox, "DetectorType");
    DetectorType->addItems({"Silicon", "Kest"});
    row(d, 0, "Detector type", DetectorType);
    DetectorWidth = edit("DetectorWidth");
    DetectorHeight = edit("DetectorHeight");
    row(d, 1, "Width", DetectorWidth);
    row(d, 2, "Height", DetectorHeight);
    LensFocalLength = edit("LensFocalLength");
    row(d, 3, "Lens focal length (mm)", LensFocalLength);
    DetectorSerialNumber = edit("DetectorSerialNumber", 150);
    DetectorGrade = edit("DetectorGrade", 150);
    DetectorDie = edit("DetectorDie", 150);
    row(d, 4, "Detector serial number", DetectorSerialNumber);
    row(d, 5, "Detector Array", DetectorGrade);
    row(d, 6, "Detector Die", DetectorDie);
    PixelXScale = edit("PixelXScale");
    PixelYScale = edit("PixelYScale");
    row(d, 7, "Pixel X scale", PixelXScale);
    row(d, 8, "Pixel Y scale", PixelYScale);
    layout->addWidget(detector, 0, 1);

    auto gainTable = [](const char* title, const char* gainPrefix, const char* offsetPrefix,
                        std::array<QLineEdit*, 5>& gains, std::array<QLineEdit*, 5>& offsets) {
        auto* box = new QGroupBox(title);
        auto* g = new QGridLayout(box);
        const char* heads[] = {"1X", "2X", "4X", "8X", "10X"};
        // The middle control is named 5X, whatever entry it edits.
        const char* suffix[] = {"1X", "2X", "5X", "8X", "10X"};
        g->addWidget(new QLabel("Gain"), 1, 0);
        g->addWidget(new QLabel("Offset"), 2, 0);
        for (int i = 0; i < 5; ++i) {
            g->addWidget(new QLabel(heads[i]), 0, i + 1, Qt::AlignHCenter);
            const std::string gainName = std::string(gainPrefix) + suffix[i];
            const std::string offsetName = std::string(offsetPrefix) + suffix[i];
            gains[static_cast<std::size_t>(i)] = edit("", 60);
            gains[static_cast<std::size_t>(i)]->setObjectName(QString::fromStdString(gainName));
            offsets[static_cast<std::size_t>(i)] = edit("", 60);
            offsets[static_cast<std::size_t>(i)]->setObjectName(QString::fromStdString(offsetName));
            g->addWidget(gains[static_cast<std::size_t>(i)], 1, i + 1);
            g->addWidget(offsets[static_cast<std::size_t>(i)], 2, i + 1);
        }
        return box;
    };
    layout->addWidget(gainTable("Pulse gain table all values must be 0 - 4095", "PulseGain", "PulseOffset", PulseGain,
                                PulseOffset),
                      1, 0);
    layout->addWidget(gainTable("Chopped gain table all values must be 0 - 4095", "ChoppedGain", "ChoppedOffset",
                                ChoppedGain, ChoppedOffset),
                      1, 1);

    auto* reserved = new QGroupBox("Reserved fields");
    auto* r = new QGridLayout(reserved);
    const char* letters[] = {"A", "B", "C", "D"};
    const FactoryInfo::TextField reservedFields[] = {FactoryInfo::kReservedAText, FactoryInfo::kReservedBText,
                                                     FactoryInfo::kReservedCText, FactoryInfo::kReservedDText};
    for (std::size_t i = 0; i < 4; ++i) {
        Reserved[i] = edit("", 240);
        Reserved[i]->setObjectName(QString("Reserved%1").arg(i + 1));
        // The whole field, so that a text without its NUL shows whole; a changed one is cut.
        Reserved[i]->setMaxLength(static_cast<int>(reservedFields[i].size));
        r->addWidget(new QLabel(letters[i]), static_cast<int>(i), 0);
        r->addWidget(Reserved[i], static_cast<int>(i), 1);
    }
    layout->addWidget(reserved, 2, 0);

    auto* right = new QVBoxLayout;
    auto* switches = new QGroupBox("Switches");
    auto* sw = new QGridLayout(switches);
    CheckBox1 = named(new QCheckBox("Show raw gain"), "CheckBox1", "Show the raw gain field of the camera tab");
    CheckBox2 = named(new QCheckBox("Show calib. On/Off"), "CheckBox2", "Show the Calibrate Off button of the camera tab");
    CheckBox4 = named(new QCheckBox("Show raw offset"), "CheckBox4", "Show the raw offset field of the camera tab");
    CheckBox3 = named(new QCheckBox("Setup mode"), "CheckBox3", "Put the camera in setup mode");
    sw->addWidget(CheckBox1, 0, 0);
    sw->addWidget(CheckBox2, 0, 1);
    sw->addWidget(CheckBox4, 1, 0);
    sw->addWidget(CheckBox3, 1, 1);
    right->addWidget(switches);

    ThermalPanel = named(new QGroupBox("Thermal Table"), "ThermalPanel");
    auto* t = new QGridLayout(ThermalPanel);
    BitBtn7 = named(new QPushButton("Get from disk"), "BitBtn7", "Load the thermal table from a text file");
    BitBtn8 = named(new QPushButton("Send to disk"), "BitBtn8", "Save the thermal table to a text file");
    BitBtn9 = named(new QPushButton("Get from camera"), "BitBtn9", "Read the thermal table from the camera");
    BitBtn10 = named(new QPushButton("Send to camera"), "BitBtn10", "Write the thermal table to the camera");
    t->addWidget(BitBtn7, 0, 0);
    t->addWidget(BitBtn8, 0, 1);
    t->addWidget(BitBtn9, 1, 0);
    t->addWidget(BitBtn10, 1, 1);
    right->addWidget(ThermalPanel);
    right->addStretch(1);
    layout->addLayout(right, 2, 1);

    auto* buttons = new QHBoxLayout;
    BitBtn6 = named(new QPushButton("Read from camera"), "BitBtn6", "Read the factory record from the camera");
    BitBtn3 = named(new QPushButton("Send to camera"), "BitBtn3", "Write the factory record to the camera");
    BitBtn1 = named(new QPushButton("Read from file"), "BitBtn1", "Load the factory record from a file");
    BitBtn2 = named(new QPushButton("Save to file"), "BitBtn2", "Save the factory record to a file");
    OKBtn = named(new QPushButton("Close"), "OKBtn", "Return to main page");
    for (QPushButton* b : {BitBtn6, BitBtn3, BitBtn1, BitBtn2}) buttons->addWidget(b);
    buttons->addStretch(1);
    buttons->addWidget(OKBtn);
    layout->addLayout(buttons, 3, 0, 1, 2);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setSizeGripEnabled(false);
    layout->addWidget(StatusBar1, 4, 0, 1, 2);

    for (QPushButton* b : findChildren<QPushButton*>()) b->setAutoDefault(false);
}

void TQuorlsMagicDialog::connectHandlers() {
    const std::pair<QPushButton*, void (TQuorlsMagicDialog::*)()> clicks[] = {
        {BitBtn6, &TQuorlsMagicDialog::BitBtn6Click}, {BitBtn3, &TQuorlsMagicDialog::BitBtn3Click},
        {BitBtn1, &TQuorlsMagicDialog::BitBtn1Click}, {BitBtn2, &TQuorlsMagicDialog::BitBtn2Click},
        {BitBtn7, &TQuorlsMagicDialog::BitBtn7Click}, {BitBtn8, &TQuorlsMagicDialog::BitBtn8Click},
        {BitBtn9, &TQuorlsMagicDialog::BitBtn9Click}, {BitBtn10, &TQuorlsMagicDialog::BitBtn10Click},
    };
    for (const auto& [button, handler] : clicks) connect(button, &QPushButton::clicked, this, handler);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CameraTypeBox, &QComboBox::currentIndexChanged, this, &TQuorlsMagicDialog::CameraTypeBoxChange);

    using Control = MaintenanceHost::ServiceControl;
    const std::pair<QCheckBox*, Control> shows[] = {
        {CheckBox1, Control::RawGain}, {CheckBox2, Control::CalibrationOff}, {CheckBox4, Control::RawOffset}};
    for (const auto& [box, control] : shows)
        connect(box, &QCheckBox::clicked, this,
                [this, control = control](bool on) { host_.showServiceControl(host_.currentSlot(), control, on); });
    connect(CheckBox3, &QCheckBox::clicked, this, [this](bool on) { host_.setSetupMode(host_.currentSlot(), on); });
}

bool TQuorlsMagicDialog::event(QEvent* event) {
    // The long hint of the control under the mouse goes to the dialog's own status bar.
    if (event->type() == QEvent::StatusTip) {
        StatusBar1->showMessage(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QDialog::event(event);
}

void TQuorlsMagicDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Each opening is for the camera shown then, and never shows a stale record.
    slot_ = host_.currentSlot();
    BitBtn6Click();
}

void TQuorlsMagicDialog::done(int result) {
    // A dialog of this one still open (its camera closed) closes with it.
    ModalOwner::windowClosed(this);
    host_.registry().setValue(RegistryHive::CurrentUser, kMagicKey, "DefaultPath", RegistryValue::string(dataDirectory_));
    QDialog::done(result);
}

void TQuorlsMagicDialog::CameraTypeBoxChange() { ThermalPanel->setVisible(CameraTypeBox->currentIndex() == 1); }

void TQuorlsMagicDialog::showRecord() {
    const FactoryForm f = showFactoryRecord(record_);
    SerialNumber->setText(q(f.serialNumber));
    HardwareRevLevel->setText(q(f.hardwareRevision));
    DetectorType->setCurrentIndex(f.detectorType);
    DetectorWidth->setText(q(f.detectorWidth));
    DetectorHeight->setText(q(f.detectorHeight));
    LensFocalLength->setText(q(f.lensFocalLength));
    DetectorSerialNumber->setText(q(f.detectorSerial));
    DetectorGrade->setText(q(f.detectorGrade));
    DetectorDie->setText(q(f.detectorDie));
    PixelXScale->setText(q(f.pixelXScale));
    PixelYScale->setText(q(f.pixelYScale));
    CrystalPolarity->setCurrentIndex(f.crystalPolarity);
    ChopperPresent->setChecked(f.chopperPresent);
    for (std::size_t i = 0; i < 4; ++i) Reserved[i]->setText(q(f.reserved[i]));
    for (std::size_t i = 0; i < 5; ++i) {
        PulseGain[i]->setText(q(f.pulseGain[i]));
        PulseOffset[i]->setText(q(f.pulseOffset[i]));
        ChoppedGain[i]->setText(q(f.choppedGain[i]));
        ChoppedOffset[i]->setText(q(f.choppedOffset[i]));
    }
    shownHScale_ = f.hScale;
    shownVScale_ = f.vScale;
    HScale->setValue(std::isfinite(f.hScale) ? f.hScale : 0.0);
    VScale->setValue(std::isfinite(f.vScale) ? f.vScale : 0.0);
    shownHScaleInBox_ = HScale->value();
    shownVScaleInBox_ = VScale->value();
    SiliconChopCalibrateEdit->setText(q(f.chopCalibration));
    CameraTypeBox->setCurrentIndex(f.cameraType);
    IBPCheckBox->setChecked(f.ibp);
    BPSCheckBox->setChecked(f.bps);
    ThermalPanel->setVisible(f.cameraType == 1);
}

bool TQuorlsMagicDialog::buildRecord() {
    FactoryForm f;
    f.serialNumber = s(SerialNumber);
    f.hardwareRevision = s(HardwareRevLevel);
    f.detectorType = DetectorType->currentIndex();
    f.detectorWidth = s(DetectorWidth);
    f.detectorHeight = s(DetectorHeight);
    f.lensFocalLength = s(LensFocalLength);
    f.detectorSerial = s(DetectorSerialNumber);
    f.detectorGrade = s(DetectorGrade);
    f.detectorDie = s(DetectorDie);
    f.pixelXScale = s(PixelXScale);
    f.pixelYScale = s(PixelYScale);
    f.crystalPolarity = CrystalPolarity->currentIndex();
    f.chopperPresent = ChopperPresent->isChecked();
    for (std::size_t i = 0; i < 4; ++i) f.reserved[i] = s(Reserved[i]);
    for (std::size_t i = 0; i < 5; ++i) {
        f.pulseGain[i] = s(PulseGain[i]);
        f.pulseOffset[i] = s(PulseOffset[i]);
        f.choppedGain[i] = s(ChoppedGain[i]);
        f.choppedOffset[i] = s(ChoppedOffset[i]);
    }
    f.hScale = spunValue(HScale, shownHScale_, shownHScaleInBox_);
    f.vScale = spunValue(VScale, shownVScale_, shownVScaleInBox_);
    f.chopCalibration = s(SiliconChopCalibrateEdit);
    f.cameraType = CameraTypeBox->currentIndex();
    f.ibp = IBPCheckBox->isChecked();
    f.bps = BPSCheckBox->isChecked();
    const std::optional<std::string> bad = buildFactoryRecord(f, record_);
    // The texts as they went into the record.
    DetectorSerialNumber->setText(q(f.detectorSerial));
    DetectorGrade->setText(q(f.detectorGrade));
    DetectorDie->setText(q(f.detectorDie));
    for (std::size_t i = 0; i < 4; ++i) Reserved[i]->setText(q(f.reserved[i]));
    if (!bad) return true;
    const ModalOwner owner(this);
    host_.dialogs().messageBox("Quorl's Magic Dialog", notAnIntegerText(*bad), BoxButtons::Ok,
                               BoxIcon::Error);
    return false;
}

void TQuorlsMagicDialog::failedRecordRequest() {
    // The camera has been closed; so is the dialog, once the step that failed has ended.
    QMetaObject::invokeMethod(this, &QDialog::reject, Qt::QueuedConnection);
}

void TQuorlsMagicDialog::BitBtn6Click() {
    Hourglass hourglass;
    record_.bytes.fill(0);
    if (!host_.mapRequest(slot_, req::GetFactoryInformation, record_.bytes.data(), FactoryInfo::kSize)) {
        record_.bytes.fill(0);
        failedRecordRequest();
    }
    showRecord();
}

void TQuorlsMagicDialog::BitBtn3Click() {
    host_.suspendAcquisition(slot_);
    {
        Hourglass hourglass;
        if (buildRecord()) {
            if (!host_.mapRequest(slot_, req::SetFactoryInformation, record_.bytes.data(), FactoryInfo::kSize))
                failedRecordRequest();
            // What the camera stored, also after a failure.
            BitBtn6Click();
        }
    }
    host_.resumeAcquisition(slot_);
}

void TQuorlsMagicDialog::thermalRequest(const Request& request, bool zeroFirst) {
    host_.suspendAcquisition(slot_);
    {
        Hourglass hourglass;
        std::array<std::uint8_t, kThermalTableBytes> buffer{};
        if (zeroFirst) thermal_ = ThermalTable{};
        thermal_.toBytes(buffer.data());
        if (!host_.mapRequest(slot_, request, buffer.data(), static_cast<std::uint32_t>(buffer.size())))
            failedRecordRequest();  // the camera is closed: so is the dialog
        else if (zeroFirst)
            thermal_.fromBytes(buffer.data());
    }
    host_.resumeAcquisition(slot_);
}

void TQuorlsMagicDialog::BitBtn9Click() { thermalRequest(req::GetTemperatureMap, true); }

void TQuorlsMagicDialog::BitBtn10Click() { thermalRequest(req::SetTemperatureMap, false); }

}  // namespace kestrom
