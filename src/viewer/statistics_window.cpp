#include "viewer/statistics_window.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

#include "common/qt/modal_owner.h"
#include "viewer/core/frame_file_replace.h"
#include "viewer/core/picture_format.h"
#include "viewer/statistics_plots.h"
#include "viewer/window_placement.h"

namespace kestrom {
namespace {

constexpr int kRefreshMs = 200;

// Totals of many counts as whole numbers, energies in the scientific form, millimetres to a
// tenth of a micrometre.
std::string shown(BeamQuantity q, double v, bool energies) {
    if (q == BeamQuantity::CentroidX || q == BeamQuantity::CentroidY ||
        q == BeamQuantity::WidthX || q == BeamQuantity::WidthY)
        return formatGrouped(v, 4);
    if (energies) return formatScientific(v);
    return formatGrouped(v, q == BeamQuantity::Total ? 0 : 2);
}

}  // namespace

TStatisticsWindow::TStatisticsWindow(BeamStatistics& statistics, DialogService& dialogs,
                                     std::function<std::string()> dataDirectory, QWidget* parent)
    : QWidget(parent, Qt::Tool), statistics_(statistics), dialogs_(dialogs),
      dataDirectory_(std::move(dataDirectory)), refreshTimer_(new QTimer(this)) {
    setWindowTitle("Statistics");
    setObjectName("StatisticsWindow");
    auto* layout = new QVBoxLayout(this);

    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel("Frames"));
    FramesEdit = new QSpinBox;
    FramesEdit->setObjectName("FramesEdit");
    FramesEdit->setRange(2, BeamStatistics::kMaxFrames);
    FramesEdit->setValue(statistics_.frames());
    FramesEdit->setToolTip("Number of frames the statistics are taken over");
    top->addWidget(FramesEdit);
    ResetButton = new QPushButton("Reset");
    ResetButton->setObjectName("ResetButton");
    ExportButton = new QPushButton("Export CSV...");
    ExportButton->setObjectName("ExportButton");
    top->addStretch(1);
    top->addWidget(ResetButton);
    top->addWidget(ExportButton);
    layout->addLayout(top);

    Table = new QTableWidget(kBeamQuantities, 4);
    Table->setObjectName("Table");
    Table->setHorizontalHeaderLabels({"Mean", "Std. dev.", "Minimum", "Maximum"});
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    Table->verticalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    Table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Table->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    for (int r = 0; r < kBeamQuantities; ++r)
        for (int c = 0; c < 4; ++c) {
            auto* item = new QTableWidgetItem;
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            Table->setItem(r, c, item);
        }
    layout->addWidget(Table);

    PointingLabel = new QLabel;
    PointingLabel->setObjectName("PointingLabel");
    layout->addWidget(PointingLabel);

    auto* plots = new QHBoxLayout;
    centroidPlot_ = new CentroidPlot(statistics_);
    widthPlot_ = new WidthPlot(statistics_);
    plots->addWidget(centroidPlot_, 2);
    plots->addWidget(widthPlot_, 3);
    layout->addLayout(plots, 1);

    refreshTimer_->setSingleShot(true);
    refreshTimer_->setInterval(kRefreshMs);
    connect(refreshTimer_, &QTimer::timeout, this, &TStatisticsWindow::refresh);
    connect(FramesEdit, &QSpinBox::valueChanged, this, [this](int n) {
        statistics_.setFrames(n);
        refresh();
    });
    connect(ResetButton, &QPushButton::clicked, this, [this] {
        statistics_.reset();
        refresh();
    });
    connect(ExportButton, &QPushButton::clicked, this, &TStatisticsWindow::ExportButtonClick);
    resize(620, 520);
}

void TStatisticsWindow::setNames(const std::array<std::string, kBeamQuantities>& names,
                                 bool energies) {
    names_ = names;
    energies_ = energies;
    QStringList rows;
    for (const std::string& n : names) rows << QString::fromStdString(n);
    Table->setVerticalHeaderLabels(rows);
    // As tall as its rows, no empty space under them.
    Table->resizeRowsToContents();
    int height = Table->horizontalHeader()->sizeHint().height() + 2 * Table->frameWidth();
    for (int r = 0; r < kBeamQuantities; ++r) height += Table->rowHeight(r);
    Table->setFixedHeight(height);
    widthPlot_->setNames(rows[static_cast<int>(BeamQuantity::WidthX)],
                         rows[static_cast<int>(BeamQuantity::WidthY)]);
    refresh();
}

void TStatisticsWindow::sampleAdded() {
    if (isVisible() && !refreshTimer_->isActive()) refreshTimer_->start();
}

void TStatisticsWindow::showEvent(QShowEvent* event) {
    // First what it shows, which sets how wide it must be.
    refresh();
    if (!placed_ && parentWidget()) {
        placed_ = true;
        // Beside the viewer and whole on the screen; the title bar is not known before the window
        // is shown, so room is kept for one.
        const QWidget* owner = parentWidget()->window();
        const QScreen* screen = owner->screen();
        layout()->activate();
        const QSize client = size().expandedTo(minimumSizeHint());
        const int titleBar = style()->pixelMetric(QStyle::PM_TitleBarHeight);
        if (screen) {
            const QRect frame =
                placedBeside(owner->frameGeometry(), QSize(client.width(), client.height() + titleBar),
                             screen->availableGeometry());
            resize(frame.width(), frame.height() - titleBar);
            // Before the window manager has framed the window, its position is the client's: the
            // title bar then goes above it.
            const bool framed = frameGeometry().size() != size();
            move(frame.topLeft() + QPoint(0, framed ? 0 : titleBar));
        }
    }
    QWidget::showEvent(event);
}

void TStatisticsWindow::refresh() {
    const QSignalBlocker quiet(FramesEdit);
    FramesEdit->setValue(statistics_.frames());
    const bool any = statistics_.size() > 0;
    for (int r = 0; r < kBeamQuantities; ++r) {
        const auto q = static_cast<BeamQuantity>(r);
        const QuantitySummary s = statistics_.summary(q);
        const double values[] = {s.mean, s.deviation, s.minimum, s.maximum};
        for (int c = 0; c < 4; ++c)
            Table->item(r, c)->setText(
                any ? QString::fromStdString(shown(q, values[c], energies_)) : QString());
    }
    const PointingStability p = pointingStability(statistics_);
    auto axis = [](const char* name, double mm, double fraction) {
        return std::string(name) + " " + formatGrouped(mm * 1000, 2) + " \u00B5m (" +
               formatGrouped(fraction * 100, 3) + " % of the diameter)";
    };
    PointingLabel->setText(QString::fromStdString(
        "Pointing stability over " + std::to_string(statistics_.size()) + " frames: " +
        axis("\u03C3x", p.deviationX, p.fractionX) + ", " + axis("\u03C3y", p.deviationY, p.fractionY)));
    centroidPlot_->update();
    widthPlot_->update();
}

void TStatisticsWindow::ExportButtonClick() {
    // Its file dialog closes with the viewer, whose child this window is.
    const ModalOwner owner(this);
    FileDialogRequest request;
    request.title = "Export statistics to a CSV file.";
    request.filter = "Statistics (.csv)|*.csv";
    request.initialDirectory = dataDirectory_();
    request.fileName = "*.csv";
    request.defaultExtension = "csv";
    const std::optional<std::string> path = dialogs_.saveFile(request);
    if (!path) return;
    const std::string text = statisticsCsv(statistics_, names_);
    if (const std::optional<FileReplaceError> error = replaceFileWhole(*path, {text}))
        dialogs_.messageBox("Kestrom III Viewer", describe(*error, *path), BoxButtons::Ok,
                            BoxIcon::Error);
}

}  // namespace kestrom
