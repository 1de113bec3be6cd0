// The key sequence on a focused Firmware button that opens the factory dialog: the letters of the
// factory password, as capital-letter key codes, after a Firmware click has armed it.
#pragma once

namespace kestrom {

class FactoryKeySequence {
  public:
    // Each Firmware click arms it, also when its upload is then cancelled.
    void arm() { step_ = Step::Armed; }
    // A key pressed while a Firmware button has the focus; true when it completes the sequence
    // (which falls back to idle).
    bool key(int keyCode);
    bool idle() const { return step_ == Step::Idle; }

  private:
    enum class Step { Idle, Armed, First, Second, Third };
    Step step_ = Step::Idle;
};

}  // namespace kestrom
