#pragma once

#include <functional>

// Runs a command or event handler so that no exception reaches Qt: the
// silent Abort is swallowed, anything else is shown in the error box.
// Returns false when the handler did not complete.
bool guarded(const std::function<void()>& handler);
