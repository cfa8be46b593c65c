#include "platform/Progress.h"

#include <utility>

namespace globalstab {

namespace {
thread_local const ObservedProgress* t_progress = nullptr;
}

ObservedProgress::ObservedProgress(std::function<bool(int, int)> update)
    : m_update(std::move(update)), m_outer(t_progress)
{
    t_progress = this;
}

ObservedProgress::~ObservedProgress()
{
    t_progress = m_outer;
}

void reportProgress(int done, int total)
{
    if (t_progress && t_progress->m_update(done, total))
        throw ActionCancelled();
}

bool progressObserved()
{
    return t_progress != nullptr;
}

} // namespace globalstab
