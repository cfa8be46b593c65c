#pragma once

#include <functional>

namespace globalstab {

// Thrown when the user stops a long action. It is not a std::exception, so that no
// procedure's error trap reports it: it travels up to the handler that began the action,
// which puts the action back.
struct ActionCancelled
{
};

// Installs, for the calling thread and while it lives, what is told how far a long action
// got: update(done, total) answers true when the user asked to stop.
class ObservedProgress
{
public:
    explicit ObservedProgress(std::function<bool(int done, int total)> update);
    ~ObservedProgress();
    ObservedProgress(const ObservedProgress&) = delete;
    ObservedProgress& operator=(const ObservedProgress&) = delete;

private:
    std::function<bool(int, int)> m_update;
    const ObservedProgress* m_outer;
    friend void reportProgress(int, int);
    friend bool progressObserved();
};

// Tells the calling thread's observer, if any; raises ActionCancelled when it says stop.
void reportProgress(int done, int total);
// True when someone listens: counting what is to be done is worth it only then.
bool progressObserved();

} // namespace globalstab
