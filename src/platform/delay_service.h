// The one place every fixed wait of the console goes through, so tests run without waiting.
#pragma once

#include <functional>

namespace kestrom {

class DelayService {
public:
    virtual ~DelayService() = default;
    virtual void wait(int milliseconds) = 0;
};

// Really sleeps the calling thread.
class SleepingDelay : public DelayService {
public:
    void wait(int milliseconds) override;
};

// Returns at once and records the total asked for; tests use it.
class InstantDelay : public DelayService {
public:
    void wait(int milliseconds) override { waited += milliseconds; ++calls; if (onWait) onWait(milliseconds); }
    long long waited = 0;
    int calls = 0;
    std::function<void(int)> onWait;
};

}  // namespace kestrom
