// The outside programs a camera tab starts: the beam analysis program ("Launch ORU"), the
// beam-propagation program ("Launch M²") and, for a thermal camera, the thermal viewer ("View").
#pragma once

#include <QObject>

#include <string>
#include <vector>

namespace kestrom {

class TCameraTab;
class TLogoAppForm;

class ConsoleLaunches : public QObject {
    Q_OBJECT
  public:
    explicit ConsoleLaunches(TLogoAppForm& form);

    void connectTab(TCameraTab* tab);
    void EnableOruCheckBox1Click();
    void LaunchM21Click();
    // The View button on a thermal camera's tab.
    void viewThermal();
    // Each tab change: a box is offered only while its program is registered.
    void refreshLaunchBoxes();

  private:
    // Started detached; a program that cannot be started is reported as the desktop would.
    void start(const std::string& program, const std::vector<std::string>& arguments);
    // The wait after starting the thermal viewer, with the window answering meanwhile.
    void waitAnswering(int milliseconds);
    std::string programPath(const char* key, const char* value);

    TLogoAppForm& form_;
};

}  // namespace kestrom
