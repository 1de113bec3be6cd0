#include "console/core/factory_keys.h"

namespace kestrom {

bool FactoryKeySequence::key(int keyCode) {
    // "W", "O", then "P" twice; a wrong first or second letter starts again, other keys do nothing.
    switch (keyCode) {
        case 'W':
            step_ = step_ == Step::Armed ? Step::First : Step::Idle;
            return false;
        case 'O':
            step_ = step_ == Step::First ? Step::Second : Step::Idle;
            return false;
        case 'P':
            if (step_ == Step::Second) {
                step_ = Step::Third;
            } else if (step_ == Step::Third) {
                step_ = Step::Idle;
                return true;
            }
            return false;
        default:
            return false;
    }
}

}  // namespace kestrom
