// Waiting for something another thread or process does.
#pragma once

#include <chrono>
#include <functional>

// Polls until the condition holds or the time is up; true when it held.
bool WaitUntil(const std::function<bool()>& condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(20));
