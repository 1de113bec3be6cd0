// The data-logging dialog's controls and the rules of its entries.
#include "viewer/log_data_dialog.h"

#include <QDateTime>
#include <QDateTimeEdit>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "viewer/core/frame_file_dialogs.h"

namespace kestrom {

namespace {

template <typename W>
W* named(W* widget, const char* name) {
    widget->setObjectName(name);
    return widget;
}

LogTime logTime(const QDateTime& t) {
    return LogTime{std::chrono::milliseconds{t.toMSecsSinceEpoch()}};
}

QDateTime qtTime(LogTime t) {
    return QDateTime::fromMSecsSinceEpoch(
        std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count());
}

}  // namespace

TLogData::TLogData(const std::string& pattern, const std::string& dataDirectory,
                   DialogService& dialogs, LogTime now, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      pattern_(pattern),
      dataDirectory_(dataDirectory),
      dialogs_(dialogs),
      now_(now),
      LoggingFileName(named(new QLineEdit, "LoggingFileName")),
      BitBtn1(named(new QPushButton("... Browse"), "BitBtn1")),
      NthRecords(named(new QLineEdit("1"), "NthRecords")),
      RadioButton1(named(new QRadioButton("Log nn frames"), "RadioButton1")),
      RadioButton2(named(new QRadioButton("Log till time"), "RadioButton2")),
      NNFramesPanel(named(new QWidget, "NNFramesPanel")),
      FramesToLog(named(new QLineEdit("1"), "FramesToLog")),
      TillTimePanel(named(new QWidget, "TillTimePanel")),
      DateTimePicker1(named(new QDateTimeEdit, "DateTimePicker1")),
      BitBtn2(named(new QPushButton("OK"), "BitBtn2")),
      BitBtn3(named(new QPushButton("Cancel"), "BitBtn3")) {
    setWindowTitle("Data logging");

    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(LoggingFileName, 1);
    fileRow->addWidget(BitBtn1);

    auto* everyRow = new QHBoxLayout;
    everyRow->addWidget(new QLabel("Log every "));
    everyRow->addWidget(NthRecords);
    everyRow->addWidget(new QLabel("records"));
    everyRow->addStretch(1);

    auto* method = named(new QGroupBox("Logging method"), "GroupBox1");
    auto* methodRows = new QVBoxLayout(method);
    methodRows->addWidget(RadioButton1);
    methodRows->addWidget(RadioButton2);

    auto* framesRow = new QHBoxLayout(NNFramesPanel);
    framesRow->setContentsMargins(0, 0, 0, 0);
    framesRow->addWidget(new QLabel("Frames to log"));
    framesRow->addWidget(FramesToLog);

    auto* timeRow = new QHBoxLayout(TillTimePanel);
    timeRow->setContentsMargins(0, 0, 0, 0);
    timeRow->addWidget(new QLabel("Log till time"));
    timeRow->addWidget(DateTimePicker1);
    // Time only, stepped with its up-down buttons; the date it holds is the one set below.
    DateTimePicker1->setDisplayFormat("HH:mm:ss");
    DateTimePicker1->setButtonSymbols(QAbstractSpinBox::UpDownArrows);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(BitBtn2);
    buttons->addWidget(BitBtn3);

    auto* rows = new QVBoxLayout(this);
    rows->addWidget(new QLabel("Logging filename"));
    rows->addLayout(fileRow);
    rows->addLayout(everyRow);
    rows->addWidget(method);
    rows->addWidget(NNFramesPanel);
    rows->addWidget(TillTimePanel);
    rows->addLayout(buttons);
    rows->setSizeConstraint(QLayout::SetFixedSize);

    LoggingFileName->setText(QString::fromStdString(dataDirectory_ + pattern_));
    // One minute from now as a whole date and time, so that shortly before midnight the stop time
    // falls on the next day and not a day back.
    DateTimePicker1->setDateTime(qtTime(now_ + std::chrono::minutes(1)));
    RadioButton1->setChecked(true);
    TillTimePanel->hide();
    BitBtn2->setDefault(true);

    connect(BitBtn1, &QPushButton::clicked, this, &TLogData::BitBtn1Click);
    connect(NthRecords, &QLineEdit::textChanged, this, &TLogData::NthRecordsChange);
    connect(RadioButton1, &QRadioButton::toggled, this, [this](bool on) {
        if (on) RadioButton1Click();
    });
    connect(RadioButton2, &QRadioButton::toggled, this, [this](bool on) {
        if (on) RadioButton2Click();
    });
    connect(BitBtn2, &QPushButton::clicked, this, &TLogData::BitBtn2Click);
    connect(BitBtn3, &QPushButton::clicked, this, &TLogData::BitBtn3Click);
}

void TLogData::BitBtn1Click() {
    if (auto chosen = dialogs_.saveFile(logBrowseDialog(dataDirectory_, pattern_)))
        LoggingFileName->setText(QString::fromStdString(*chosen));
}

void TLogData::NthRecordsChange() {
    const std::string text = NthRecords->text().toStdString();
    const std::string kept = nthRecordsAfterChange(text);
    if (kept != text) NthRecords->setText(QString::fromStdString(kept));
}

void TLogData::RadioButton1Click() {
    NNFramesPanel->show();
    TillTimePanel->hide();
}

void TLogData::RadioButton2Click() {
    TillTimePanel->show();
    NNFramesPanel->hide();
}

void TLogData::BitBtn2Click() {
    LogDialogEntries entries;
    entries.loggingFileName = LoggingFileName->text().toStdString();
    entries.nthRecords = NthRecords->text().toStdString();
    entries.framesToLog = FramesToLog->text().toStdString();
    entries.tillTime = RadioButton2->isChecked();
    entries.pickerTime = logTime(DateTimePicker1->dateTime());
    settings_ = acceptedLogSettings(entries, now_);
    LoggingFileName->setText(QString::fromStdString(settings_.logName));
    accept();
}

void TLogData::BitBtn3Click() {
    settings_ = cancelledLogSettings();
    QDialog::reject();
}

void TLogData::reject() { BitBtn3Click(); }

}  // namespace kestrom
