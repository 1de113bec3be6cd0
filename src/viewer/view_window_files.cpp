// The view window's files and printouts: frames saved and loaded, the window as a bitmap, logging,
// and the image with its results on a printer or in a PDF file.
#include <QPageLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRadioButton>

#include <cstring>
#include <vector>

#include "common/qt/modal_owner.h"
#include "subscriber/qt/kestrom3_subscriber_widget.h"
#include "viewer/core/beam_results_text.h"
#include "viewer/core/bmp_file.h"
#include "viewer/core/frame_data_load.h"
#include "viewer/core/frame_file_dialogs.h"
#include "viewer/core/frame_file_replace.h"
#include "viewer/core/printout_header.h"
#include "viewer/log_data_dialog.h"
#include "viewer/printout.h"
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
    // Without a printer Qt prints to a PDF file, which has no name until one is chosen.
    const bool noPrinter =
        job.outputFormat() == QPrinter::NativeFormat ? QPrinterInfo::availablePrinters().isEmpty()
                                                     : job.outputFileName().isEmpty();
    if (noPrinter) {
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

std::vector<std::string> TViewWindow::printoutHeader() const {
    PrintoutFacts facts;
    facts.caption = windowTitle().toStdString();
    facts.printedAt = clock_();
    // The camera's settings as they came with the frame shown (or the file loaded).
    std::memcpy(facts.settings.bytes.data(), frameBuffer_.data() + frame_block::kConsoleBlockOffset,
                ConsoleBlock::kSize);
    facts.widthMethod = Results1.widthMethod();
    facts.averageOf = accumulator_.averageTarget();
    facts.sumOf = accumulator_.sumTarget();
    const BeamResultsTextSettings settings = Surface1->resultsTextSettings();
    facts.calibrated = settings.calibrated;
    facts.unitsText = settings.unitsText;
    return printoutHeaderLines(facts);
}

void TViewWindow::printTo(QPrinter& job) {
    QPainter painter;
    if (!painter.begin(&job)) {
        const std::string where = job.outputFormat() == QPrinter::PdfFormat
                                      ? "the file " + job.outputFileName().toStdString() +
                                            " cannot be written"
                                      : "the printer " + job.printerName().toStdString() +
                                            " does not take the job";
        // A printer that failed to start stays busy for good: the next Print Setup starts afresh.
        printer_.reset();
        showError("The printer could not be started: " + where +
                  ". Choose another printer or file in Print Setup.");
        return;
    }
    Printout page;
    page.header = printoutHeader();
    page.results = beamResultsLines(*frame_->GetHeader(), Surface1->resultsTextSettings());
    page.surfaceSize = Surface1->size();
    // The results are printed under the image, in type of their own.
    page.picture = [this](QSize size, double dotsPerInch) {
        return Surface1->renderAt(size, {dotsPerInch, false});
    };
    const QRect paintable = job.pageLayout().paintRectPixels(job.resolution());
    drawPrintout(painter, QRect(QPoint(0, 0), paintable.size()), job.resolution(), page);
    if (!painter.end()) showError("The printout could not be finished.");
}

}  // namespace kestrom
