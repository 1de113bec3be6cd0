// The view window's settings per camera: applied when it is first shown, written when it closes,
// and what closing leaves behind (no subscription, no empty log file, no intermediate header file).
#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QRadioButton>
#include <QTimer>

#include "common/qt/frame_position.h"
#include "common/qt/modal_owner.h"
#include "subscriber/qt/kestrom3_subscriber_widget.h"
#include "viewer/statistics_window.h"
#include "viewer/view_window.h"

namespace kestrom {

void TViewWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    FormPaint();
}

void TViewWindow::FormPaint() {
    if (firstPaintDone_) return;
    firstPaintDone_ = true;
    ViewerSettings defaults;
    defaults.left = x();
    defaults.top = y();
    defaults.height = height();
    defaults.width = width();
    defaults.crosshair = CheckBox1->isChecked();
    defaults.cursor = CheckBox2->isChecked();
    defaults.aperture = CheckBox3->isChecked();
    defaults.colorBar = ColorBar->isChecked();
    const ViewerSettings s = readViewerSettings(host_.registry(), serialText_, defaults);
    placeFrameAt(*this, QPoint(s.left, s.top));
    resize(s.width, s.height);
    Surface1->SetShow(kShowResults, s.results);
    Showresult1->setText(s.results ? "&Hide result" : "&Show result");
    const struct {
        QCheckBox* box;
        int item;
        bool on;
    } overlays[] = {
        {CheckBox1, kShowCrosshair, s.crosshair},
        {CheckBox2, kShowCursor, s.cursor},
        {CheckBox3, kShowAperture, s.aperture},
        {ColorBar, kShowColorBar, s.colorBar},
    };
    for (const auto& o : overlays) {
        Surface1->SetShow(o.item, o.on);
        if (o.on) o.box->setChecked(true);
    }
    Surface1->SetShow(kShowColour, s.showColor);
    (s.showColor ? ColorButton : GrayButton)->setChecked(true);
    HasLens->setChecked(s.hasLens);
    statistics_.setFrames(s.statisticsFrames);
    (s.widthMethod == 1 ? SecondMoment1 : KnifeEdge1)->setChecked(true);
    applyWidthMethod(s.widthMethod == 1 ? WidthMethod::SecondMoment : WidthMethod::KnifeEdge);
}

void TViewWindow::closeEvent(QCloseEvent* event) {
    if (!closed_) {
        closing_ = true;
        RadioButton4->setChecked(true);  // which stops the subscriber
        FormClose();
    }
    event->accept();
}

void TViewWindow::FormClose() {
    closed_ = true;
    closing_ = true;
    // A dialog of the window still open (the camera closed under it) closes with it.
    ModalOwner::windowClosed(this);
    idleTimer_->stop();
    hide();
    if (statisticsWindow_) statisticsWindow_->hide();
    TKesTrom3Subscriber& subscriber = KesTrom3Subscriber1->subscriber();
    subscriber.Stop();
    // The console forgets this window now rather than at its next frame to nobody.
    subscriber.Close();
    removeFrameHeaderFile(dataDirectory_);
    log_.end();
    // Errors while writing are not shown: the window is gone and its settings are no loss.
    writeViewerSettings(host_.registry(), serialText_, currentSettings());
    host_.viewerClosed(cameraSlot_);
}

ViewerSettings TViewWindow::currentSettings() const {
    ViewerSettings s;
    s.dataPath = dataDirectory_;
    s.left = x();
    s.top = y();
    s.height = height();
    s.width = width();
    s.results = Showresult1->text() == "&Hide result";
    s.crosshair = CheckBox1->isChecked();
    s.cursor = CheckBox2->isChecked();
    s.aperture = CheckBox3->isChecked();
    s.colorBar = ColorBar->isChecked();
    s.showColor = ColorButton->isChecked();
    s.hasLens = HasLens->isChecked();
    s.widthMethod = SecondMoment1->isChecked() ? 1 : 0;
    s.statisticsFrames = statistics_.frames();
    return s;
}

}  // namespace kestrom
