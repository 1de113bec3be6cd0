// The utilities dialog: creation, its controls, the read-outs under the cursor and the hints.
#include "maintenance/ok_help_right_dlg.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QVBoxLayout>

#include "common/number_text.h"
#include "common/qt/modal_owner.h"
#include "common/reg_util.h"
#include "maintenance/edit_colours.h"
#include "subscriber/qt/kestrom3_subscriber_widget.h"

namespace kestrom {
namespace {

template <typename W>
W* named(W* widget, const char* name, const char* hint) {
    widget->setObjectName(name);
    widget->setStatusTip(hint);
    return widget;
}

// Three screen pixels per detector pixel: single pixels can be told apart and hit.
constexpr int kSurfaceSide = 3 * kMapSide;

// What the user types is kept while the edit has the focus.
void showUnlessTyping(QLineEdit* edit, const QString& text) {
    if (!edit->hasFocus() && edit->text() != text) edit->setText(text);
}

}  // namespace

TOKHelpRightDlg::TOKHelpRightDlg(MaintenanceHost& host, QWidget* parent)
    : QDialog(parent),
      host_(host),
      cameraSlot_(host.currentSlot()),
      serialText_(host.serialNumberText(cameraSlot_)),
      frame_(std::make_unique<Frame>(kMapSide, kMapSide)),
      idleTimer_(new QTimer(this)) {
    setObjectName("OKHelpRightDlg");
    setModal(false);
    setWindowTitle(QString::fromStdString("Kestrom III Utilities - " + host.tabCaption(cameraSlot_) + " - " +
                                          serialText_));

    // The idle step: a zero timer runs once the events waiting now have been handled.
    idleTimer_->setSingleShot(true);
    idleTimer_->setInterval(0);
    connect(idleTimer_, &QTimer::timeout, this, &TOKHelpRightDlg::ApplicationIdle);

    VasprelHeader& h = *frame_->GetHeader();
    h.Flags |= vasprel::kValidData;
    h.Width = h.Height = kMapSide;
    h.PixelBits = 14;
    h.CaptureResolution = 0;
    const FactoryInfo factory = host.factoryOf(cameraSlot_);
    h.PixelHScale = static_cast<std::int16_t>(factory.word(FactoryInfo::kPixelXScale));
    h.PixelVScale = static_cast<std::int16_t>(factory.word(FactoryInfo::kPixelYScale));

    buildControls();
    BadPixelCountEdit->setText("0");
    surfaceFrames_ = {frame_.get(), nullptr};
    Surface1->SetFrameArray(surfaceFrames_.data());
    Surface1->SetShow(kShowResults, false);
    Surface1->SetShow(kShowColour, true);
    Surface1->SetShow(kShowImage, true);
    Surface1->SetShow(kShowCrosshair, false);
    Surface1->SetShow(kShowCursor, true);
    Surface1->SetShow(kShowAperture, false);
    Surface1->SetZoomToCursor(true);
    Surface1->SetHorzScrollBar(ScrollBar1);
    Surface1->SetVertScrollBar(ScrollBar2);
    frame_->CopyPixels(working_.data());
    Surface1->SetCurrentFrame(0);

    setUpGainButtons();
    connectHandlers();

    TRegUtil reg(host.registry(), kUtilityKeyBase + serialText_);
    dataDirectory_ = reg.ReadString("DataPath", "");
    if (dataDirectory_.empty()) dataDirectory_ = host.defaultDataDirectory();

    BitBtn2Click();
    readGainFromCamera();
    // A map request that failed has closed the camera: there is nothing to subscribe to, and the
    // console closes the dialog instead of showing it.
    if (!host.cameraOpen(cameraSlot_)) {
        active_ = false;
        return;
    }
    host.setPaused(cameraSlot_, false);
    KesTrom3Subscriber1->subscriber().Open();
}

TOKHelpRightDlg::~TOKHelpRightDlg() {
    // A dialog freed without having been closed still leaves the console as a closed one does.
    if (!closed_) FormClose();
}

void TOKHelpRightDlg::buildControls() {
    auto* layout = new QGridLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // The surface places its scroll bars next to its image, in this area's coordinates.
    auto* surfaceArea = new QWidget(this);
    Surface1 = named(new TSurface(surfaceArea), "Surface1", "Live image; right click marks, Shift+right click unmarks");
    ScrollBar1 = named(new QScrollBar(Qt::Horizontal, surfaceArea), "ScrollBar1", "Scroll the zoomed image");
    ScrollBar2 = named(new QScrollBar(Qt::Vertical, surfaceArea), "ScrollBar2", "Scroll the zoomed image");
    Surface1->setGeometry(0, 0, kSurfaceSide, kSurfaceSide);
    surfaceArea->setFixedSize(kSurfaceSide + ScrollBar2->sizeHint().width() + 2,
                              kSurfaceSide + ScrollBar1->sizeHint().height() + 2);
    Surface1->installEventFilter(this);
    layout->addWidget(surfaceArea, 0, 0);

    auto* readouts = new QHBoxLayout;
    auto readout = [&](const char* label, const char* name, const char* hint) {
        readouts->addWidget(new QLabel(label));
        auto* edit = named(new QLineEdit, name, hint);
        edit->setReadOnly(true);
        edit->setFixedWidth(64);
        readouts->addWidget(edit);
        return edit;
    };
    Horizontal = readout("Column", "Horizontal", "Column under the cursor (green: a good pixel)");
    Vertical = readout("Row", "Vertical", "Row under the cursor (green: a good pixel)");
    RawDataVaueEdit = readout("Value", "RawDataVaueEdit", "Value under the cursor");
    readouts->addStretch(1);
    layout->addLayout(readouts, 1, 0);

    auto* side = new QVBoxLayout;
    layout->addLayout(side, 0, 1, 2, 1);

    auto* pixels = new QGroupBox("Bad pixels");
    auto* pixelGrid = new QGridLayout(pixels);
    BitBtn4 = named(new QPushButton("Load Map"), "BitBtn4", "Load the bad pixel map from a file");
    BitBtn5 = named(new QPushButton("Save Map"), "BitBtn5", "Save the bad pixel map to a file");
    BitBtn2 = named(new QPushButton("Get Map"), "BitBtn2", "Read the bad pixel map from the camera");
    BitBtn3 = named(new QPushButton("Send Map"), "BitBtn3", "Write the bad pixel map to the camera");
    BitBtn1 = named(new QPushButton("Clear Map"), "BitBtn1", "Remove every bad pixel from the map");
    BitBtn6 = named(new QPushButton("Show Map"), "BitBtn6", "Mark the bad pixels on the image");
    QPushButton* const order[] = {BitBtn4, BitBtn5, BitBtn2, BitBtn3, BitBtn1, BitBtn6};
    for (int i = 0; i < 6; ++i) pixelGrid->addWidget(order[i], i / 2, i % 2);
    CorrectingPixels = named(new QCheckBox("Correct pixels prior to showing"), "CorrectingPixels",
                             "Repair the bad pixels in software before showing the image");
    pixelGrid->addWidget(CorrectingPixels, 3, 0, 1, 2);
    PixelsOnly = named(new QRadioButton("Single pixel"), "PixelsOnly", "The mouse marks single pixels");
    RowsOfPixels = named(new QRadioButton("Bad rows of pixels"), "RowsOfPixels", "The mouse marks whole rows");
    ColsOfPixels = named(new QRadioButton("Bad columns of pixels"), "ColsOfPixels", "The mouse marks whole columns");
    auto* modes = new QButtonGroup(this);
    int row = 4;
    for (QRadioButton* b : {PixelsOnly, RowsOfPixels, ColsOfPixels}) {
        modes->addButton(b);
        pixelGrid->addWidget(b, row++, 0, 1, 2);
    }
    PixelsOnly->setChecked(true);
    pixelGrid->addWidget(new QLabel("Bad pixels listed"), row, 0);
    BadPixelCountEdit = named(new QLineEdit, "BadPixelCountEdit", "Number of bad pixels in the map");
    BadPixelCountEdit->setReadOnly(true);
    BadPixelCountEdit->setFixedWidth(64);
    pixelGrid->addWidget(BadPixelCountEdit, row, 1);
    side->addWidget(pixels);

    auto* gains = new QGroupBox("Gain map");
    auto* gainGrid = new QGridLayout(gains);
    CalculateGainButton = named(new QPushButton("Make Gain Table"), "CalculateGainButton", "Calculate gain map");
    GetGainFromCameraButton = named(new QPushButton("Get Table from camera"), "GetGainFromCameraButton",
                                    "Read the gain map from the camera");
    SendGainToCameraButton = named(new QPushButton("Send Table to  camera"), "SendGainToCameraButton",
                                   "Send gain map to camera");
    LoadGainMapButton = named(new QPushButton("Load Table"), "LoadGainMapButton", "Load the gain map from a file");
    SaveGainMapButton = named(new QPushButton("Save Table"), "SaveGainMapButton", "Save the gain map to a file");
    BitBtn7 = named(new QPushButton("Set Default "), "BitBtn7", "Set every gain to 1.0");
    QPushButton* const gainOrder[] = {CalculateGainButton, BitBtn7, GetGainFromCameraButton, SendGainToCameraButton,
                                      LoadGainMapButton, SaveGainMapButton};
    for (int i = 0; i < 6; ++i) gainGrid->addWidget(gainOrder[i], i / 2, i % 2);
    SoftwareGain = named(new QCheckBox("Software correct gain prior to showing"), "SoftwareGain",
                         "Apply the gain map in software before showing the image");
    gainGrid->addWidget(SoftwareGain, 3, 0, 1, 2);
    auto gainEdit = [&](const char* label, const char* name, const char* hint, int at) {
        gainGrid->addWidget(new QLabel(label), at, 0);
        auto* edit = named(new QLineEdit, name, hint);
        edit->setFixedWidth(64);
        edit->installEventFilter(this);
        gainGrid->addWidget(edit, at, 1);
        return edit;
    };
    PixelGain = gainEdit("Pixel gain", "PixelGain", "Gain of the pixel under the cursor; Enter stores it", 4);
    RowGain = gainEdit("Row gain", "RowGain", "Mean gain of the cursor's row; Enter stores it in the whole row", 5);
    ColGain = gainEdit("Column gain", "ColGain",
                       "Mean gain of the cursor's column; Enter stores it in the whole column", 6);
    side->addWidget(gains);
    side->addStretch(1);

    auto* buttons = new QHBoxLayout;
    PauseButton = named(new QPushButton("Pause"), "PauseButton", "Stop or restart the live image");
    RepaintButton = named(new QPushButton("Repaint"), "RepaintButton", "Apply the corrections to the paused image again");
    RepaintButton->hide();
    HelpBtn = named(new QPushButton("&Help"), "HelpBtn", "Open the manual");
    Button1 = named(new QPushButton("Close"), "Button1", "Close the utilities");
    for (QPushButton* b : {PauseButton, RepaintButton}) buttons->addWidget(b);
    buttons->addStretch(1);
    for (QPushButton* b : {HelpBtn, Button1}) buttons->addWidget(b);
    layout->addLayout(buttons, 2, 0, 1, 2);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setSizeGripEnabled(false);
    layout->addWidget(StatusBar1, 3, 0, 1, 2);

    KesTrom3Subscriber1 = new TKesTrom3SubscriberWidget(host_.subscriberLink(), host_.subscriberOptions(), this);
    KesTrom3Subscriber1->setObjectName("KesTrom3Subscriber1");
    // A component, not a control: it has nothing to show at run time.
    KesTrom3Subscriber1->hide();

    for (QPushButton* b : findChildren<QPushButton*>()) b->setAutoDefault(false);
}

void TOKHelpRightDlg::connectHandlers() {
    const std::pair<QPushButton*, void (TOKHelpRightDlg::*)()> clicks[] = {
        {BitBtn4, &TOKHelpRightDlg::BitBtn4Click},
        {BitBtn5, &TOKHelpRightDlg::BitBtn5Click},
        {BitBtn2, &TOKHelpRightDlg::BitBtn2Click},
        {BitBtn3, &TOKHelpRightDlg::BitBtn3Click},
        {BitBtn1, &TOKHelpRightDlg::BitBtn1Click},
        {BitBtn6, &TOKHelpRightDlg::BitBtn6Click},
        {PauseButton, &TOKHelpRightDlg::PauseButtonClick},
        {RepaintButton, &TOKHelpRightDlg::RepaintButtonClick},
        {HelpBtn, &TOKHelpRightDlg::HelpBtnClick},
        {Button1, &TOKHelpRightDlg::Button1Click},
        {CalculateGainButton, &TOKHelpRightDlg::CalculateGainButtonClick},
        {GetGainFromCameraButton, &TOKHelpRightDlg::GetGainFromCameraButtonClick},
        {SendGainToCameraButton, &TOKHelpRightDlg::SendGainToCameraButtonClick},
        {LoadGainMapButton, &TOKHelpRightDlg::LoadGainMapButtonClick},
        {SaveGainMapButton, &TOKHelpRightDlg::SaveGainMapButtonClick},
        {BitBtn7, &TOKHelpRightDlg::BitBtn7Click},
    };
    for (const auto& [button, handler] : clicks) connect(button, &QPushButton::clicked, this, handler);
    // Clicking either box shows the paused or last image corrected the new way.
    connect(CorrectingPixels, &QCheckBox::clicked, this, &TOKHelpRightDlg::RepaintButtonClick);
    connect(SoftwareGain, &QCheckBox::clicked, this, &TOKHelpRightDlg::RepaintButtonClick);

    // Directly: the frame may be read only while the component raises the event.
    connect(KesTrom3Subscriber1, &TKesTrom3SubscriberWidget::newFrame, this,
            &TOKHelpRightDlg::KesTrom3Subscriber1NewFrame, Qt::DirectConnection);
    connect(KesTrom3Subscriber1, &TKesTrom3SubscriberWidget::kestClose, this,
            &TOKHelpRightDlg::KesTrom3Subscriber1KestClose);
}

void TOKHelpRightDlg::setUpGainButtons() {
    const bool correcting = host_.cameraGainCorrectionOn(cameraSlot_);
    CalculateGainButton->setEnabled(!correcting);
    SendGainToCameraButton->setEnabled(!correcting);
    CalculateGainButton->setStatusTip(correcting ? "First turn gain correction off" : "Calculate gain map");
    SendGainToCameraButton->setStatusTip(correcting ? "First turn gain correction off" : "Send gain map to camera");
}

bool TOKHelpRightDlg::pulsed() const { return host_.pulsedMode(cameraSlot_); }

void TOKHelpRightDlg::updateReadouts() {
    const BeamPoint cursor = Surface1->GetFrameCursor();
    const int x = cursor.x;
    const int y = cursor.y;
    if (onDetector(x, y) && host_.frameBlockMapped(cameraSlot_)) {
        RawDataVaueEdit->setText(QString::fromStdString(
            formatFixed(working_[static_cast<std::size_t>(pixelIndex(x, y))] * 0.5, 1)));
        showUnlessTyping(PixelGain, QString::fromStdString(formatFixed(gainMap_.gain(pixelIndex(x, y)), 3)));
        showUnlessTyping(RowGain, QString::fromStdString(formatFixed(gainMap_.rowMean(y), 3)));
        setEditTextColour(RowGain, gainMap_.rowUniform(y) ? Qt::black : Qt::red);
        showUnlessTyping(ColGain, QString::fromStdString(formatFixed(gainMap_.columnMean(x), 3)));
        setEditTextColour(ColGain, gainMap_.columnUniform(x) ? Qt::black : Qt::red);
    }
    Horizontal->setText(QString::number(x));
    Vertical->setText(QString::number(y));
    const QColor colour = badPixels_.isGood(x, y) ? QColor(0, 255, 0) : QColor(255, 0, 0);
    setEditBase(Horizontal, colour);
    setEditBase(Vertical, colour);
}

bool TOKHelpRightDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Surface1) {
        if (event->type() == QEvent::MouseButtonPress) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::RightButton)
                Surface1RightClick((mouse->modifiers() & Qt::ShiftModifier) != 0);
        } else if (event->type() == QEvent::MouseMove) {
            // After the surface has moved its cursor.
            QMetaObject::invokeMethod(this, &TOKHelpRightDlg::updateReadouts, Qt::QueuedConnection);
        }
        return false;
    }
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (watched == PixelGain) PixelGainEnter();
            else if (watched == RowGain) RowGainEnter();
            else if (watched == ColGain) ColGainEnter();
            else return QDialog::eventFilter(watched, event);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

bool TOKHelpRightDlg::event(QEvent* event) {
    // The long hint of the control under the mouse goes to the dialog's own status bar.
    if (event->type() == QEvent::StatusTip) {
        StatusBar1->showMessage(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QDialog::event(event);
}

void TOKHelpRightDlg::showConversionError(const std::string& text) {
    const ModalOwner owner(this);
    host_.dialogs().messageBox("Kestrom III Utilities", text, BoxButtons::Ok, BoxIcon::Error);
}

void TOKHelpRightDlg::HelpBtnClick() { host_.openHelp(); }

void TOKHelpRightDlg::Button1Click() { close(); }

void TOKHelpRightDlg::KesTrom3Subscriber1KestClose() { close(); }

}  // namespace kestrom
