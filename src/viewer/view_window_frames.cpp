// The view window's road of a frame: received inside the console's delivery, processed (logged,
// averaged or summed) right after it, and shown once, when the application is idle, however many
// frames arrived meanwhile.
#include <QCheckBox>
#include <QMetaObject>
#include <QRadioButton>
#include <QTimer>

#include "subscriber/qt/kestrom3_subscriber_widget.h"
#include "viewer/view_window.h"

namespace kestrom {

void TViewWindow::KesTrom3Subscriber1NewFrame() {
    if (closing_) return;
    const std::int16_t* block = KesTrom3Subscriber1->subscriber().FrameData();
    // An event raised from the component's timer carries no frame.
    if (!block) return;
    // A frame whose processing has not had its turn yet is processed before it is overwritten,
    // so that every frame is logged and counted once.
    processReceivedFrame();
    if (closing_) return;
    receivedAt_ = Clock::now();
    receiveFrameBlock(reinterpret_cast<const std::uint8_t*>(block), frameBuffer_,
                      HasLens->isChecked());
    // A ready frame not yet shown has just been overwritten; what is shown next is this one once
    // it has been processed.
    frameReady_ = false;
    // The delivery holds the camera's thread: it returns now, and the processing follows as soon
    // as the events already waiting (a request to close this window among them) have been handled.
    // Running the event loop inside the delivery instead would let the console close the camera
    // and wait for its thread while that thread waits for this delivery.
    processingPending_ = true;
    QMetaObject::invokeMethod(this, &TViewWindow::processReceivedFrame, Qt::QueuedConnection);
}

void TViewWindow::processReceivedFrame() {
    if (!processingPending_) return;
    processingPending_ = false;
    if (closing_) return;
    perFrameProcessing(clock_());
}

void TViewWindow::perFrameProcessing(LogTime now) {
    if ((RadioButton4->isChecked() && !loading_) || closing_) return;
    // A live frame is the camera's, whatever file was loaded before it.
    if (!loading_) describeLiveFrame(*frame_->GetHeader(), camera_);

    const FrameLog::Step logged = log_.step(frameBuffer_.data(), *frame_->GetHeader(), now);
    if (logged.outcome == FrameLog::Step::Outcome::Failed)
        host_.dialogs().showLater("Kestrom III Viewer", logged.error, BoxIcon::Error);

    const FrameAccumulator::Step step = accumulator_.add(framePixels(frameBuffer_));
    if (step == FrameAccumulator::Step::Accumulated) return;
    // A frame shown as it came brings its own AC; an average or sum keeps the one before.
    if (step == FrameAccumulator::Step::Shown) frame_->GetHeader()->AC = trailerAc(frameBuffer_);
    markFrameReady();
}

void TViewWindow::markFrameReady() {
    frameReady_ = true;
    readyArrival_ = loading_ ? Clock::now() : receivedAt_;
    if (!idleTimer_->isActive()) idleTimer_->start();
}

void TViewWindow::ApplicationIdle() {
    if (closing_ || !frameReady_) return;
    frameReady_ = false;
    frame_->CopyPixels(framePixels(frameBuffer_));
    Results1.SetFrame(frame_.get());
    addStatisticsSample();
    Surface1->SetCurrentFrame(0);
    if (onFrameShown_) onFrameShown_(readyArrival_, Clock::now());
}

}  // namespace kestrom
