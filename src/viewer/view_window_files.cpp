// The view window's files and printouts: frames saved and loaded, the window as a bitmap, logging,
// and the image with its results on a printer or in a PDF file.
#include <QPageLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRadioButton>

#include <cmath>
#include <cstring>
#include <vector>

#include "common/qt/modal_owner.h"
#include "subscriber/qt/kestrom3_subscriber_widget.h"
#include "viewer/core/beam_results_text.h"
#include "viewer/core/bmp_file.h"
#include "viewer/core/frame_data_load.h"
#include "viewer/core/frame_file_dialogs.h"
#include "viewer/core/frame_file_replace.h"
#include "viewer/core/picture_format.h"
#include "viewer/core/second_moment_record.h"
#include "viewer/log_data_dialog.h"
#include "viewer/view_window.h"

namespace kestrom {

void TViewWindow::Savedata1Click() {
    const ModalOwner owner(this);
    const std::optional<std::string> path = host_.dialogs().saveFile(saveDataDialog(dataDirectory_));
    if (!path || owner.gone()) return;
    dataDirectory_ = folderOf(*path);
    // The pixels shown, which the header's results describe, with the trailer of the last block.
    // The frame buffer alone may hold a later frame: one that came after "Stop" (the console
    // stops after its next frame) or during a printout, or one that is being averaged.
    FrameBlockBytes record = frameBuffer_;
    std::memcpy(record.data(), frame_->data(), frame_block::kPixelCount * sizeof(std::int16_t));
    if (auto error = writeFrameRecord(*path, *frame_->GetHeader(), record.data())) showError(*error);
}

void TViewWindow::Loaddata1Click() {
    const ModalOwner owner(this);
    const std::optional<std::string> path = host_.dialogs().openFile(loadDataDialog(dataDirectory_));
    if (!path || owner.gone()) return;
    dataDirectory_ = folderOf(*path);
    // A received frame still waiting for its turn is processed before the buffer is refilled.
    processReceivedFrame();
    const auto error = loadFrameData(*path, *frame_->GetHeader(), frameBuffer_, [this] {
        // The live frames stop, as with "Stop", so that the loaded one stays in sight.
        RadioButton4->setChecked(true);
        loading_ = true;
        perFrameProcessing(clock_());
        loading_ = false;
    });
    if (error) {
        showError(*error);
        return;
    }
    // Shown now: a frame the console still delivers after the stop would overwrite it in the
    // frame buffer before the idle step.
    ApplicationIdle();
}

void TViewWindow::File1Click() {
    const ModalOwner owner(this);
    const std::optional<std::string> path = host_.dialogs().saveFile(saveBitmapDialog(dataDirectory_));
    if (!path || owner.gone()) return;
    dataDirectory_ = folderOf(*path);
    // The client area as it stands, with the surface's own display image over the surface.
    QWidget* client = centralWidget();
    QImage image = client->grab().toImage().convertToFormat(QImage::Format_RGB888);
    {
        QPainter painter(&image);
        const QRect target(Surface1->mapTo(client, QPoint(0, 0)), Surface1->size());
        painter.drawImage(target, Surface1->offscreenImage());
    }
    RgbImageView view;
    view.width = image.width();
    view.height = image.height();
    view.pixels = image.constBits();
    view.stride = static_cast<std::size_t>(image.bytesPerLine());
    if (auto error = writeRgbBmp(*path, view)) showError(*error);
}

void TViewWindow::Logdatatodisk1Click() { startLog("*.RAW", false); }
void TViewWindow::LogdatatodiskasASCII1Click() { startLog("*.CSV", true); }

void TViewWindow::startLog(const char* pattern, bool textMode) {
    const ModalOwner owner(this);
    TLogData dialog(pattern, dataDirectory_, host_.dialogs(), clock_(), this);
    runDialog(dialog);
    if (owner.gone()) return;
    if (auto error = log_.start(dialog.settings(), textMode)) showError(*error);
}

QPrinter& TViewWindow::printer() {
    if (!printer_) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *printer_;
}

void TViewWindow::PrintSetup1Click() {
    const ModalOwner owner(this);
    QPrintDialog dialog(&printer(), this);
    dialog.setWindowTitle("Print Setup");
    runDialog(dialog);
}

void TViewWindow::Print2Click() {
    const ModalOwner owner(this);
    TKesTrom3Subscriber& subscriber = KesTrom3Subscriber1->subscriber();
    subscriber.Stop();
    QPrinter& job = printer();
    if (job.outputFormat() == QPrinter::NativeFormat && QPrinterInfo::availablePrinters().isEmpty()) {
        showError("No printer is set up. Choose a printer, or a PDF file, in Print Setup.");
    } else {
        job.setDocName(windowTitle());
        Surface1->SetPrinterPalette(true);
        printTo(job);
        if (owner.gone()) return;
        Surface1->SetPrinterPalette(false);
    }
    if (owner.gone()) return;
    // Frames flow again, also when the viewer was stopped (they are then not processed).
    subscriber.Start();
}

void TViewWindow::printTo(QPrinter& job) {
    QPainter painter;
    if (!painter.begin(&job)) {
        showError("The printer could not be started.");
        return;
    }
    const QRect page = job.pageLayout().paintRectPixels(job.resolution());
    const int pageWidth = page.width();
    const int pageHeight = page.height();
    const int surfaceWidth = std::max(Surface1->width(), 1);
    const int surfaceHeight = std::max(Surface1->height(), 1);
    int imageWidth = 0;
    int imageHeight = 0;
    if (pageWidth < pageHeight) {
        imageWidth = pageWidth;
        imageHeight = static_cast<int>(static_cast<long long>(pageWidth) * surfaceHeight / surfaceWidth);
    } else {
        imageHeight = pageHeight;
        imageWidth = static_cast<int>(static_cast<long long>(pageHeight) * surfaceWidth / surfaceHeight);
    }
    // Drawn anew at a size near the page's, at most 2000 pixels across, then fitted to the page:
    // sharper than the screen image and far smaller than one at the printer's resolution.
    const double shrink = std::min(1.0, 2000.0 / std::max(imageWidth, imageHeight));
    const QImage image = Surface1->renderAt(QSize(std::max(1, int(imageWidth * shrink)),
                                                  std::max(1, int(imageHeight * shrink))));
    painter.drawImage(QRect(0, 0, imageWidth, imageHeight), image);

    QFont font = this->font();
    font.setPointSize(10);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.setBackgroundMode(Qt::TransparentMode);
    const QFontMetrics metrics(font, &job);
    const int line = metrics.height();
    const int valueX = metrics.horizontalAdvance("XXXXXXXXXXX");
    const VasprelHeader& h = *frame_->GetHeader();
    const double n = binning(h);
    std::vector<std::pair<const char*, std::string>> rows = {
        {"Total", formatUngrouped(n * n * h.ApertureTotal, 0)},
        {"Peak", formatUngrouped(h.Peak, 2)},
        {"Min", formatUngrouped(h.Valley, 2)},
        {"Centroid X", formatUngrouped(h.Centroidx * n * h.PixelHScale, 2)},
        {"Centroid Y", formatUngrouped(h.Centroidy * n * h.PixelVScale, 2)},
    };
    if (const std::optional<RecordedSecondMoment> iso = recordedSecondMoment(h)) {
        // The second moments' axes, in µm as the knife edge's widths are.
        const SecondMomentAxes a = secondMomentAxes(*iso, n * h.PixelHScale, n * h.PixelVScale);
        rows.push_back({"D\u03C3 major", formatUngrouped(a.major, 2) + "\u00b5m"});
        rows.push_back({"D\u03C3 minor", formatUngrouped(a.minor, 2) + "\u00b5m"});
        rows.push_back({"Azimuth", a.round ? "\u2013" : formatUngrouped(a.azimuthDegrees, 1) + "\u00B0"});
        rows.push_back({"Ellipticity", formatUngrouped(a.ellipticity, 3)});
        rows.push_back({"Eff. diam.",
                        a.round ? formatUngrouped(a.effectiveDiameter, 2) + "\u00b5m" : "\u2013"});
    } else {
        rows.push_back({"Width X", formatUngrouped(h.BeamWidthx * n * h.PixelHScale, 2) + "\u00b5m"});
        rows.push_back({"Width Y", formatUngrouped(h.BeamWidthy * n * h.PixelVScale, 2) + "\u00b5m"});
    }
    // The lines and two more stay on the page.
    const int block = static_cast<int>(rows.size() + 2) * line;
    int y = imageHeight;
    if (y + block >= pageHeight) y = pageHeight - block;
    for (const auto& [label, value] : rows) {
        const int baseline = y + metrics.ascent();
        painter.drawText(2, baseline, label);
        painter.drawText(valueX, baseline, QString::fromStdString(value));
        y += line;
    }
    if (!painter.end()) showError("The printout could not be finished.");
}

}  // namespace kestrom
