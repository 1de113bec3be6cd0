// The view window: creation, its controls and menus, and the handlers of its display settings.
#include "viewer/view_window.h"

#include <QAction>
#include <QActionGroup>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

#include "common/qt/modal_owner.h"
#include "subscriber/qt/kestrom3_subscriber_widget.h"
#include "viewer/power_calibration.h"
#include "viewer/up_down.h"

namespace kestrom {
namespace {

template <typename W>
W* named(W* widget, const char* name, const char* hint = nullptr) {
    widget->setObjectName(name);
    if (hint) widget->setToolTip(hint);
    return widget;
}

constexpr int kFrameSide = 124;
// The results the surface writes under the image: total, peak, centroid and widths.
constexpr std::uint8_t kShownResults = (1 << 0) | (1 << 1) | (1 << 3) | (1 << 4);

}  // namespace

TViewWindow::TViewWindow(ViewerHost& host, QWidget* parent)
    // A title bar without buttons: the window is closed through "E&xit", "Close" or the console.
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      host_(host),
      cameraSlot_(host.currentSlot()),
      serialText_(host.serialNumberText()),
      frame_(std::make_unique<Frame>(kFrameSide, kFrameSide)),
      Results1(host.dialogs()),
      idleTimer_(new QTimer(this)),
      clock_([] { return std::chrono::system_clock::now(); }) {
    setObjectName("ViewWindow");
    retitle(host.tabCaption(cameraSlot_));
    resize(429, 560);

    camera_ = cameraDescription(host.currentFactory());
    describeLiveFrame(*frame_->GetHeader(), camera_);

    buildControls();
    buildMenus();
    buildCursorReadout();

    surfaceFrames_ = {frame_.get(), nullptr};
    Surface1->SetFrameArray(surfaceFrames_.data());
    Surface1->SetHorzScrollBar(RotateBar);
    Surface1->SetVertScrollBar(TiltBar);
    Surface1->SetShowWhichBeamResults(kShownResults);
    Surface1->SetShow(kShowColour, true);
    Surface1->SetShow(kShowImage, true);
    Surface1->SetShow(kShowCrosshair, false);
    Surface1->SetShow(kShowCursor, true);
    Surface1->SetZoomToCursor(true);
    Surface1->SetShow(kShowAperture, false);

    TrackBar1->setMaximum(0);
    RedButton->setEnabled(false);
    GreenButton->setEnabled(false);

    Results1.SetFrameArray(surfaceFrames_.data());
    Showcolor1->setText("Show &Grayscale");

    // The idle step: a zero timer runs once the events waiting now have been handled.
    idleTimer_->setSingleShot(true);
    idleTimer_->setInterval(0);
    connect(idleTimer_, &QTimer::timeout, this, &TViewWindow::ApplicationIdle);

    connectHandlers();

    host.clearPaused(cameraSlot_);
    KesTrom3Subscriber1->subscriber().Open();

    dataDirectory_ = readViewerSettings(host.registry(), serialText_, {}).dataPath;
    if (dataDirectory_.empty()) dataDirectory_ = host.defaultDataDirectory();
}

void TViewWindow::retitle(const std::string& tabCaption) {
    setWindowTitle(QString::fromStdString("Kestrom III Viewer, " + tabCaption + " - " + serialText_));
}

TViewWindow::~TViewWindow() {
    // A window freed without having been closed still leaves the console as a closed one does.
    if (!closed_) FormClose();
}

void TViewWindow::buildControls() {
    auto* central = new QWidget(this);
    setCentralWidget(central);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(4, 4, 4, 4);

    // The scroll bars belong to the surface's area and are placed by the surface itself.
    auto* surfaceArea = new QWidget(central);
    auto* surfaceLayout = new QVBoxLayout(surfaceArea);
    Surface1 = named(new TSurface(surfaceArea), "Surface1", "Kestrom III frame");
    surfaceLayout->addWidget(Surface1);
    RotateBar = named(new QScrollBar(Qt::Horizontal, surfaceArea), "RotateBar", "Rotate");
    TiltBar = named(new QScrollBar(Qt::Vertical, surfaceArea), "TiltBar", "Tilt");
    TiltBar->hide();
    // Room under and beside the surface for the bars, which the surface puts next to its image
    // with one pixel between.
    surfaceLayout->setContentsMargins(0, 0, TiltBar->sizeHint().width() + 1,
                                      RotateBar->sizeHint().height() + 1);
    layout->addWidget(surfaceArea, 1);

    auto* controls = new QGridLayout;
    layout->addLayout(controls);

    RadioButton1 = named(new QRadioButton("Start"), "RadioButton1", "Start processing frames");
    RadioButton4 = named(new QRadioButton("Stop"), "RadioButton4", "Stop processing frames");
    RadioButton2 = named(new QRadioButton("Avg"), "RadioButton2", "Average nn frames");
    RadioButton3 = named(new QRadioButton("Sum"), "RadioButton3", "Sum nn frames");
    auto* modes = new QButtonGroup(this);
    auto* modeRow = new QHBoxLayout;
    for (QRadioButton* b : {RadioButton1, RadioButton4, RadioButton2, RadioButton3}) {
        modes->addButton(b);
        modeRow->addWidget(b);
    }
    RadioButton1->setChecked(true);
    AvgEdit = named(new QLineEdit("2"), "AvgEdit", "nn for Average or Sum");
    AvgEdit->setMaximumWidth(40);
    AvgEdit->installEventFilter(this);
    modeRow->addWidget(AvgEdit);
    UpDown1 = named(new UpDownControl(AvgEdit, 0, FrameAccumulator::kMaxFrames, 2), "UpDown1");
    modeRow->addWidget(UpDown1);
    modeRow->addStretch(1);
    Button1 = named(new QPushButton("Close"), "Button1");
    modeRow->addWidget(Button1);
    controls->addLayout(modeRow, 0, 0, 1, 4);

    controls->addWidget(new QLabel("Scale"), 1, 0);
    ComboBox1 = named(new QComboBox, "ComboBox1", "Scale frame data");
    ComboBox1->addItems({"1 X", "2 X", "4 X", "8 X", "16 X", "32 X"});
    ComboBox1->installEventFilter(this);
    controls->addWidget(ComboBox1, 1, 1);
    controls->addWidget(new QLabel("Range"), 1, 2);
    TrackBar1 = named(new QSlider(Qt::Horizontal), "TrackBar1", "Range frame data");
    TrackBar1->setSingleStep(16);
    TrackBar1->setTickInterval(128);
    TrackBar1->setTickPosition(QSlider::TicksBelow);
    controls->addWidget(TrackBar1, 1, 3);
    controls->setColumnStretch(3, 1);

    auto* overlayRow = new QHBoxLayout;
    CheckBox1 = named(new QCheckBox("Crosshair"), "CheckBox1", "Display crosshair");
    CheckBox2 = named(new QCheckBox("Cursor"), "CheckBox2", "Display cursor");
    CheckBox3 = named(new QCheckBox("Aperture"), "CheckBox3", "Display aperture");
    ColorBar = named(new QCheckBox("Color Bar"), "ColorBar");
    HasLens = named(new QCheckBox("Lens"), "HasLens");
    for (QCheckBox* b : {CheckBox1, CheckBox2, CheckBox3, ColorBar, HasLens}) overlayRow->addWidget(b);
    overlayRow->addStretch(1);
    controls->addLayout(overlayRow, 2, 0, 1, 4);

    auto* colourRow = new QHBoxLayout;
    ColorButton = named(new QRadioButton("Colors"), "ColorButton", "Show colors");
    GrayButton = named(new QRadioButton("Grayscale"), "GrayButton", "Show frame in grayscale");
    RedButton = named(new QRadioButton("Red"), "RedButton", "Show frame in grayscale");
    GreenButton = named(new QRadioButton("Green"), "GreenButton", "Show frame in grayscale");
    auto* colours = new QButtonGroup(this);
    for (QRadioButton* b : {ColorButton, GrayButton, RedButton, GreenButton}) {
        colours->addButton(b);
        colourRow->addWidget(b);
    }
    ColorButton->setChecked(true);
    colourRow->addStretch(1);
    controls->addLayout(colourRow, 3, 0, 1, 4);

    KesTrom3Subscriber1 = named(
        new TKesTrom3SubscriberWidget(host_.subscriberLink(), host_.subscriberOptions(), central),
        "KesTrom3Subscriber1");
    // A component, not a control: it has nothing to show at run time.
    KesTrom3Subscriber1->hide();
}

void TViewWindow::buildMenus() {
    auto item = [this](QMenu* menu, const char* caption, const char* name, const char* hint) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(name);
        if (hint) a->setStatusTip(hint);
        return a;
    };
    QMenu* file = menuBar()->addMenu("&File");
    file->setStatusTip("File operations");
    Savedata1 = item(file, "&Save data", "Savedata1", "Save data to disk");
    Loaddata1 = item(file, "&Load data", "Loaddata1", "Load data from disk");
    File1 = item(file, "Save &Bitmap to disk", "File1", "Save bitmaps to disk");
    Logdatatodisk1 = item(file, "Lo&g data to disk", "Logdatatodisk1", "Log data to disk");
    LogdatatodiskasASCII1 = item(file, "Log data to disk as ASCII", "LogdatatodiskasASCII1", nullptr);
    file->addSeparator();
    Exit1 = item(file, "E&xit", "Exit1", "Close the window");

    QMenu* settings = menuBar()->addMenu("&Settings");
    settings->setStatusTip("Settings");
    Showresult1 = item(settings, "&Show result", "Showresult1", "Show results");
    Showcolor1 = item(settings, "Show &color", "Showcolor1", "Display color bar");
    N2D3D1 = item(settings, "&3D", "N2D3D1", "Toggle between 2D and 3D");
    Scale1 = item(settings, "&Zoom", "Scale1", "Change display scale");
    CalibratePower1 = item(settings, "Calibrate &Energy", "CalibratePower1", nullptr);
    settings->addSeparator();
    KnifeEdge1 = item(settings, "Knife edge", "KnifeEdge1", "Beam widths by the knife edge");
    SecondMoment1 = item(settings, "Second moment (ISO 11146)", "SecondMoment1",
                         "Beam widths by the second moments, along the beam's axes");
    auto* methods = new QActionGroup(this);
    for (QAction* a : {KnifeEdge1, SecondMoment1}) {
        a->setCheckable(true);
        methods->addAction(a);
    }
    KnifeEdge1->setChecked(true);
    settings->addSeparator();
    Statistics1 = item(settings, "S&tatistics", "Statistics1",
                       "Statistics of the results over the last frames");

    QMenu* print = menuBar()->addMenu("&Print");
    print->setStatusTip("Printer operations");
    PrintSetup1 = item(print, "Print &Setup", "PrintSetup1", "Setup printer");
    Print2 = item(print, "&Print", "Print2", "Send image to printer");

    QMenu* help = menuBar()->addMenu("&Help");
    help->setStatusTip("Help options");
    Context1 = item(help, "Kestrom III Help", "Context1", "Display help file");
    About1 = item(help, "A&bout", "About1", "Find out who built this");
}

void TViewWindow::connectHandlers() {
    // A radio button's handler runs when it becomes checked, by the user or by the window.
    auto whenChecked = [this](QRadioButton* b, void (TViewWindow::*handler)()) {
        connect(b, &QRadioButton::toggled, this, [this, handler](bool on) {
            if (on) (this->*handler)();
        });
    };
    for (QRadioButton* b : {RadioButton1, RadioButton4, RadioButton2, RadioButton3})
        whenChecked(b, &TViewWindow::RadioButton1Click);
    connect(ComboBox1, &QComboBox::currentIndexChanged, this, &TViewWindow::ComboBox1Change);
    connect(TrackBar1, &QSlider::valueChanged, this, &TViewWindow::TrackBar1Change);
    connect(CheckBox1, &QCheckBox::toggled, this, &TViewWindow::CheckBox1Click);
    connect(CheckBox2, &QCheckBox::toggled, this, &TViewWindow::CheckBox2Click);
    connect(CheckBox3, &QCheckBox::toggled, this, &TViewWindow::CheckBox3Click);
    connect(ColorBar, &QCheckBox::toggled, this, &TViewWindow::ColorBarClick);
    whenChecked(ColorButton, &TViewWindow::ColorButtonClick);
    whenChecked(GrayButton, &TViewWindow::GrayButtonClick);
    whenChecked(RedButton, &TViewWindow::RedButtonClick);
    whenChecked(GreenButton, &TViewWindow::GreenButtonClick);
    connect(Button1, &QPushButton::clicked, this, &TViewWindow::Button1Click);

    // Directly: the frame may be read only while the component raises the event.
    connect(KesTrom3Subscriber1, &TKesTrom3SubscriberWidget::newFrame, this,
            &TViewWindow::KesTrom3Subscriber1NewFrame, Qt::DirectConnection);
    connect(KesTrom3Subscriber1, &TKesTrom3SubscriberWidget::kestClose, this,
            &TViewWindow::KesTrom3Subscriber1KestClose);

    const std::pair<QAction*, void (TViewWindow::*)()> actions[] = {
        {Savedata1, &TViewWindow::Savedata1Click},
        {Loaddata1, &TViewWindow::Loaddata1Click},
        {File1, &TViewWindow::File1Click},
        {Logdatatodisk1, &TViewWindow::Logdatatodisk1Click},
        {LogdatatodiskasASCII1, &TViewWindow::LogdatatodiskasASCII1Click},
        {Exit1, &TViewWindow::Exit1Click},
        {Showresult1, &TViewWindow::Showresult1Click},
        {Showcolor1, &TViewWindow::Showcolor1Click},
        {N2D3D1, &TViewWindow::N2D3D1Click},
        {Scale1, &TViewWindow::Scale1Click},
        {CalibratePower1, &TViewWindow::CalibratePower1Click},
        {KnifeEdge1, &TViewWindow::WidthMethodClick},
        {SecondMoment1, &TViewWindow::WidthMethodClick},
        {Statistics1, &TViewWindow::Statistics1Click},
        {PrintSetup1, &TViewWindow::PrintSetup1Click},
        {Print2, &TViewWindow::Print2Click},
        {Context1, &TViewWindow::Context1Click},
        {About1, &TViewWindow::About1Click},
    };
    for (const auto& [action, handler] : actions)
        connect(action, &QAction::triggered, this, handler);
}

bool TViewWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return QMainWindow::eventFilter(watched, event);
    auto* key = static_cast<QKeyEvent*>(event);
    // The focus moves on as anywhere else.
    if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) return false;
    if (watched == ComboBox1) return true;  // keys do not change the scale
    if (watched == AvgEdit) {
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            AvgEditEnter();
            return true;
        }
        // Delete is an editing key, as moving the caret and selecting are, not a typed character.
        if (key->key() == Qt::Key_Delete) return false;
        const QString text = key->text();
        // Typed characters other than digits are discarded, backspace too.
        if (!text.isEmpty() && (text.size() != 1 || !text[0].isDigit())) return true;
        return false;
    }
    return QMainWindow::eventFilter(watched, event);
}

void TViewWindow::RadioButton1Click() {
    TKesTrom3Subscriber& subscriber = KesTrom3Subscriber1->subscriber();
    if (RadioButton4->isChecked()) {
        subscriber.Stop();
        accumulator_.reset();
        return;
    }
    const int n = typedCount();
    if (RadioButton2->isChecked())
        accumulator_.setAverage(n);
    else if (RadioButton3->isChecked())
        accumulator_.setSum(n);
    else
        accumulator_.reset();
    subscriber.Start();
}

int TViewWindow::typedCount() {
    const int n = integerOr(AvgEdit->text().toStdString(), 0);
    if (n <= FrameAccumulator::kMaxFrames) return n;
    // More than the window averages or sums: the count taken is shown.
    AvgEdit->setText(QString::number(FrameAccumulator::kMaxFrames));
    return FrameAccumulator::kMaxFrames;
}

void TViewWindow::AvgEditEnter() {
    if (typedCount() > 1)
        RadioButton1Click();
    else
        AvgEdit->setText("2");
}

void TViewWindow::ComboBox1Change() {
    int item = ComboBox1->currentIndex();
    if (item < 0) item = 0;
    TrackBar1->setMaximum(item == 0 ? 0 : 16384 - (16384 >> item));
    Surface1->SetDisplayScale(item);
    Surface1->SetCurrentFrame(0);
}

void TViewWindow::TrackBar1Change() {
    Surface1->SetScaleBase(TrackBar1->value());
    Surface1->SetCurrentFrame(0);
}

void TViewWindow::CheckBox1Click() { Surface1->SetShow(kShowCrosshair, CheckBox1->isChecked()); }
void TViewWindow::CheckBox2Click() { Surface1->SetShow(kShowCursor, CheckBox2->isChecked()); }
void TViewWindow::CheckBox3Click() {
    Surface1->SetShow(kShowAperture, CheckBox3->isChecked());
    // The total is the aperture's while it is shown, the frame's otherwise.
    restartStatistics();
}
void TViewWindow::ColorBarClick() { Surface1->SetShow(kShowColorBar, ColorBar->isChecked()); }

void TViewWindow::ColorButtonClick() {
    Surface1->SetShow(kShowColour, true);
    Showcolor1->setText("Show &Grayscale");
}

void TViewWindow::GrayButtonClick() {
    Surface1->SetShow(kShowColour, false);
    Showcolor1->setText("Show &Color");
}

void TViewWindow::RedButtonClick() { Surface1->SetShowColor(2); }
void TViewWindow::GreenButtonClick() { Surface1->SetShowColor(3); }

void TViewWindow::Showresult1Click() {
    const bool show = Showresult1->text() == "&Show result";
    Surface1->SetShow(kShowResults, show);
    Showresult1->setText(show ? "&Hide result" : "&Show result");
}

void TViewWindow::Showcolor1Click() {
    if (Showcolor1->text() == "Show &Grayscale")
        GrayButton->setChecked(true);
    else
        ColorButton->setChecked(true);
}

void TViewWindow::N2D3D1Click() {
    if (N2D3D1->text() == "&3D") {
        Surface1->SetShow3D(true);
        N2D3D1->setText("&2D");
        RedButton->setEnabled(true);
        GreenButton->setEnabled(true);
        return;
    }
    Surface1->SetShow3D(false);
    N2D3D1->setText("&3D");
    (Surface1->colourShown() ? ColorButton : GrayButton)->setChecked(true);
    RedButton->setEnabled(false);
    GreenButton->setEnabled(false);
}

void TViewWindow::Scale1Click() { Surface1->DblClick(); }

void TViewWindow::CalibratePower1Click() {
    const ModalOwner owner(this);
    TPowerCalibration dialog(*Surface1, this);
    const bool accepted = runDialog(dialog) == QDialog::Accepted;
    if (owner.gone()) return;
    applyPowerCalibration(dialog, accepted, *Surface1, host_.dialogs());
    if (accepted && !owner.gone()) restartStatistics();
}

void TViewWindow::Context1Click() { host_.openHelp(); }
void TViewWindow::About1Click() { host_.showAbout(); }
void TViewWindow::Button1Click() { close(); }
void TViewWindow::Exit1Click() { close(); }
void TViewWindow::KesTrom3Subscriber1KestClose() { close(); }

void TViewWindow::showError(const std::string& text) {
    host_.dialogs().messageBox("Kestrom III Viewer", text, BoxButtons::Ok, BoxIcon::Error);
}

int TViewWindow::runDialog(QDialog& dialog) {
    return runModal_ ? runModal_(dialog) : runModal(dialog).value_or(QDialog::Rejected);
}

}  // namespace kestrom
