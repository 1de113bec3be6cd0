// Layout of a camera tab: status, method and rates, exposure and gain, corrections, service buttons.
#include "console/camera_tab.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>

namespace kestrom {

namespace {

// The buttons whose names do not follow the tab digit.
QString lcaButtonName(int tab) {
    static const char* names[] = {"LcaButton1", "BitBtn1", "BitBtn11", "BitBtn25"};
    return names[tab - 1];
}
QString utilitiesButtonName(int tab) {
    static const char* names[] = {"BitBtn5", "BitBtn2", "BitBtn13", "BitBtn20"};
    return names[tab - 1];
}

QLineEdit* readOnlyField(int width) {
    auto* f = new QLineEdit;
    f->setReadOnly(true);
    f->setFixedWidth(width);
    return f;
}

QPushButton* boldButton(const QString& caption) {
    auto* b = new QPushButton(caption);
    QFont font = b->font();
    font.setBold(true);
    b->setFont(font);
    return b;
}

}  // namespace

QString TCameraTab::suffixed(const QString& baseName) const { return baseName + QString::number(tab_); }

template <typename W>
W* TCameraTab::named(W* widget, const QString& baseName) {
    widget->setObjectName(suffixed(baseName));
    return widget;
}

TCameraTab::TCameraTab(int tab, QWidget* parent) : QWidget(parent), tab_(tab) {
    setObjectName(suffixed("TabSheet"));

    // Status.
    Mode = named(readOnlyField(30), "Mode");
    HardwareRev = named(new QLabel, "HardwareRev");
    RevisionSlash = named(new QLabel("/"), "RevisionSlash");
    FirmwareRev = named(new QLabel, "FirmwareRev");
    SerialDisplay = named(readOnlyField(70), "SerialDisplay");
    RawFrameCount = named(new QLabel("0"), "RawFrameCount");
    RateDisplay = named(new QLabel("0"), "RateDisplay");
    // The counters change with every frame. At a fixed size, room for any count, a new number
    // repaints the label alone instead of laying out and repainting the whole window each time.
    for (QLabel* counter : {RawFrameCount, RateDisplay})
        counter->setFixedSize(counter->fontMetrics().horizontalAdvance("-2147483648") + 4,
                              counter->sizeHint().height());

    auto* status = new QGroupBox(tr("Camera"));
    auto* sg = new QGridLayout(status);
    sg->addWidget(new QLabel(tr("Mode")), 0, 0);
    sg->addWidget(Mode, 0, 1);
    sg->addWidget(new QLabel(tr("Revision")), 1, 0);
    auto* rev = new QHBoxLayout;
    rev->addWidget(HardwareRev);
    rev->addWidget(RevisionSlash);
    rev->addWidget(FirmwareRev);
    rev->addStretch();
    sg->addLayout(rev, 1, 1);
    sg->addWidget(new QLabel(tr("Serial")), 2, 0);
    sg->addWidget(SerialDisplay, 2, 1);
    sg->addWidget(new QLabel(tr("Frame count:")), 3, 0);
    sg->addWidget(RawFrameCount, 3, 1);
    sg->addWidget(new QLabel(tr("Xfr Efficiency")), 4, 0);
    sg->addWidget(RateDisplay, 4, 1);

    // Method and rates.
    PulseMode = named(new QRadioButton(tr("Pulsed")), "PulseMode");
    ChoppedMode = named(new QRadioButton(tr("Chopped")), "ChoppedMode");
    // Never shown; it belongs to the tab all the same.
    ChopSource = named(new QComboBox(this), "ChopSource");
    ChopSource->addItems({tr("Internal"), tr("External")});
    ChopSource->hide();
    ChopRate = named(new QComboBox, "ChopRate");
    ChopRate->addItems({tr("24 Hz"), tr("48 Hz")});
    VisibleWavelength = named(new QCheckBox(tr("Visible")), "VisibleWavelength");
    VisibleWavelength->hide();
    ChopRatePanelA = named(new QWidget, "ChopRatePanelA");
    auto* pa = new QHBoxLayout(ChopRatePanelA);
    pa->setContentsMargins(0, 0, 0, 0);
    pa->addWidget(ChopRate);
    pa->addWidget(VisibleWavelength);
    ExternalChopRate = named(readOnlyField(60), "ExternalChopRate");
    ChopRatePanelB = named(new QWidget, "ChopRatePanelB");
    auto* pb = new QHBoxLayout(ChopRatePanelB);
    pb->setContentsMargins(0, 0, 0, 0);
    pb->addWidget(new QLabel(tr("Ext. chop rate")));
    pb->addWidget(ExternalChopRate);
    PulseType = named(new QComboBox, "PulseType");
    PulseType->addItems({tr("Auto"), tr("Lockin")});
    PulsePeriod = named(readOnlyField(60), "PulsePeriod");
    SkippedTriggers = named(readOnlyField(60), "SkippedTriggers");
    PulseLockinPeriod = named(readOnlyField(60), "PulseLockinPeriod");

    auto* method = new QGroupBox(tr("Method"));
    auto* mg = new QGridLayout(method);
    mg->addWidget(PulseMode, 0, 0);
    mg->addWidget(ChoppedMode, 0, 1);
    mg->addWidget(ChopRatePanelA, 1, 0, 1, 2);
    mg->addWidget(ChopRatePanelB, 2, 0, 1, 2);
    mg->addWidget(PulseType, 3, 0);
    auto* rate = new QHBoxLayout;
    rate->addWidget(new QLabel(tr("Rate")));
    rate->addWidget(PulsePeriod);
    mg->addLayout(rate, 3, 1);
    mg->addWidget(new QLabel(tr("Skipped")), 4, 0);
    mg->addWidget(SkippedTriggers, 4, 1);
    auto* lockin = new QHBoxLayout;
    lockin->addWidget(new QLabel(tr("Lockin rate")));
    lockin->addWidget(PulseLockinPeriod);
    lockin->addWidget(new QLabel(tr("Hz")));
    mg->addLayout(lockin, 5, 0, 1, 2);

    // Exposure, gain, offset, video trigger.
    ExposureTime = named(new QLineEdit, "ExposureTime");
    ExposureTime->setToolTip(tr("50 - 12800"));
    GainTracker = named(new QSlider(Qt::Horizontal), "GainTracker");
    GainTracker->setRange(0, 1000);
    GainTracker->setTickInterval(100);
    GainTracker->setTickPosition(QSlider::TicksBelow);
    GainFactor = named(new QLineEdit, "GainFactor");
    GainValue = named(new QLineEdit, "GainValue");
    GainValue->setToolTip(tr("Gain (0-4095)"));
    GainValue->hide();
    OBLabel = named(new QLabel(tr("Offset Bias")), "OBLabel");
    OffsetBias = named(new QLineEdit, "OffsetBias");
    OBLabel->hide();
    OffsetBias->hide();
    VideoTrigger = named(new QCheckBox(tr("Video trigger")), "VideoTrigger");
    VideoThreshold = named(new QComboBox, "VideoThreshold");
    VideoThreshold->addItems({"8192", "4096", "2048", "1024", "512", "256"});
    VideoThreshold->setCurrentIndex(-1);

    GainPanel = named(new QGroupBox(tr("Exposure and gain")), "GainPanel");
    auto* gg = new QGridLayout(GainPanel);
    gg->addWidget(new QLabel(tr("Exposure (µs)")), 0, 0);
    gg->addWidget(ExposureTime, 0, 1);
    gg->addWidget(new QLabel(tr("Gain")), 1, 0);
    gg->addWidget(GainTracker, 1, 1);
    gg->addWidget(GainFactor, 2, 1);
    gg->addWidget(GainValue, 3, 1);
    gg->addWidget(OBLabel, 4, 0);
    gg->addWidget(OffsetBias, 4, 1);
    gg->addWidget(VideoTrigger, 5, 0);
    gg->addWidget(VideoThreshold, 5, 1);

    // Corrections.
    BadPixelOnOff = named(boldButton(tr("Turn on")), "BadPixelOnOff");
    GainOnOff = named(boldButton(tr("Turn on")), "GainOnOff");
    PixelPanel = named(new QGroupBox(tr("Corrections")), "PixelPanel");
    auto* pg = new QGridLayout(PixelPanel);
    pg->addWidget(new QLabel(tr("Bad pixel")), 0, 0);
    pg->addWidget(BadPixelOnOff, 0, 1);
    pg->addWidget(new QLabel(tr("Gain")), 1, 0);
    pg->addWidget(GainOnOff, 1, 1);

    // Service and tools.
    CalibrateButton = named(boldButton(tr("Calibrate")), "CalibrateButton");
    CalibrateButton->setToolTip(tr("Calibrate the camera"));
    KillCalibrationButton = named(new QPushButton(tr("Calibrate Off")), "KillCalibrationButton");
    KillCalibrationButton->setToolTip(tr("Stop the calibration"));
    KillCalibrationButton->hide();
    FirmwareButton = named(new QPushButton(tr("Firmware")), "FirmwareButton");
    FirmwareButton->setToolTip(tr("Update firmware"));
    FirmwareButton->hide();
    LcaButton = new QPushButton(tr("LCA"));
    LcaButton->setObjectName(lcaButtonName(tab));
    LcaButton->setToolTip(tr("Set LCA values"));
    LcaButton->hide();
    ViewButton = named(new QPushButton(tr("View")), "ViewButton");
    ViewButton->setToolTip(tr("View output of camera"));
    FactoryButton = named(new QPushButton(tr("Factory")), "FactoryButton");
    FactoryButton->setToolTip(tr("Enable superuser options"));
    UtilitiesButton = new QPushButton(tr("Utilities"));
    UtilitiesButton->setObjectName(utilitiesButtonName(tab));
    EnableOruCheckBox = named(new QCheckBox(tr("Launch ORU")), "EnableOruCheckBox");
    EnableOruCheckBox->setToolTip(tr("Enable laser beam analysis program"));
    LaunchM2 = named(new QCheckBox(tr("Launch M²")), "LaunchM2");

    auto* tools = new QVBoxLayout;
    for (QWidget* w : std::initializer_list<QWidget*>{ViewButton, CalibrateButton, KillCalibrationButton, FirmwareButton,
                                                      LcaButton, UtilitiesButton, FactoryButton, EnableOruCheckBox,
                                                      LaunchM2})
        tools->addWidget(w);
    tools->addStretch();

    auto* left = new QVBoxLayout;
    left->addWidget(status);
    left->addWidget(PixelPanel);
    left->addStretch();
    auto* middle = new QVBoxLayout;
    middle->addWidget(method);
    middle->addWidget(GainPanel);
    middle->addStretch();
    auto* all = new QHBoxLayout(this);
    all->addLayout(left);
    all->addLayout(middle);
    all->addLayout(tools);

    // The status bar shows the hint of the control under the mouse.
    for (QWidget* w : findChildren<QWidget*>())
        if (!w->toolTip().isEmpty()) w->setStatusTip(w->toolTip());
}

}  // namespace kestrom
