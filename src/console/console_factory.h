// The Factory button with its password and privileged mode, and the two ways into the factory
// dialog: the factory password, and the key sequence on a focused Firmware button.
#pragma once

#include <QObject>
#include <QPointer>

#include <functional>

#include "console/core/factory_keys.h"
#include "maintenance/quorls_magic_dialog.h"

class QDialog;

namespace kestrom {

class TCameraTab;
class TLogoAppForm;

class ConsoleFactory : public QObject {
    Q_OBJECT
  public:
    ConsoleFactory(TLogoAppForm& form, MaintenanceHost& host);
    ~ConsoleFactory() override;

    void connectTab(TCameraTab* tab);
    void FactoryButton1Click();
    // A Firmware click arms the key sequence.
    void armKeys() { keys_.arm(); }
    // Created on first use, kept until the console ends.
    TQuorlsMagicDialog* dialog() const { return dialog_.data(); }

    // Modal dialogs (the password box, the factory dialog) run through this, so tests answer them;
    // by default they are executed. Returns the dialog's result code.
    void setModalRunner(std::function<int(QDialog&)> runner) { runModal_ = std::move(runner); }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void openFactoryDialog();
    void applyPrivilegedMode();

    TLogoAppForm& form_;
    MaintenanceHost& host_;
    FactoryKeySequence keys_;
    bool factoryRequest_ = false;
    QPointer<TQuorlsMagicDialog> dialog_;
    std::function<int(QDialog&)> runModal_;
};

}  // namespace kestrom
