// "Data logging": where, how often and how long the view window logs its frames.
#pragma once

#include <QDialog>
#include <string>

#include "platform/dialog_service.h"
#include "viewer/core/log_settings.h"

class QDateTimeEdit;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QWidget;

namespace kestrom {

// Shown modally by "Lo&g data to disk" ("*.RAW") and "Log data to disk as ASCII" ("*.CSV"); what
// it gives is read with settings() once it has closed. The file dialog of "... Browse" goes through
// the dialog service.
class TLogData : public QDialog {
    Q_OBJECT

  public:
    TLogData(const std::string& pattern, const std::string& dataDirectory, DialogService& dialogs,
             LogTime now, QWidget* parent = nullptr);

    // "OK" gave a log to start; "Cancel", Escape or closing gave the cancelled settings.
    const LogSettings& settings() const { return settings_; }

    void reject() override;

  public Q_SLOTS:
    void BitBtn1Click();
    void NthRecordsChange();
    void RadioButton1Click();
    void RadioButton2Click();
    void BitBtn2Click();
    void BitBtn3Click();

  private:
    std::string pattern_;
    std::string dataDirectory_;
    DialogService& dialogs_;
    LogTime now_;
    LogSettings settings_ = cancelledLogSettings();

    QLineEdit* LoggingFileName;
    QPushButton* BitBtn1;
    QLineEdit* NthRecords;
    QRadioButton* RadioButton1;
    QRadioButton* RadioButton2;
    QWidget* NNFramesPanel;
    QLineEdit* FramesToLog;
    QWidget* TillTimePanel;
    QDateTimeEdit* DateTimePicker1;
    QPushButton* BitBtn2;
    QPushButton* BitBtn3;
};

}  // namespace kestrom
