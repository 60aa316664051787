// A callable that a function is lent for the length of a call and never keeps: the pauses and
// looks of the waits, the consumer of a body. Unlike std::function it owns nothing, so it
// needs neither a copy of the callable nor its type information.
#pragma once

#include <type_traits>
#include <utility>

template <typename Signature>
class FunctionRef;

template <typename R, typename... Args>
class FunctionRef<R(Args...)> {
 public:
  template <typename F, typename = std::enable_if_t<!std::is_same_v<std::decay_t<F>, FunctionRef>>>
  FunctionRef(const F& callable)  // NOLINT: stands in for the callable, as std::function does
      : callable_(&callable), call_([](const void* callable, Args... args) -> R {
          return (*static_cast<const F*>(callable))(std::forward<Args>(args)...);
        }) {}

  R operator()(Args... args) const { return call_(callable_, std::forward<Args>(args)...); }

 private:
  const void* callable_;
  R (*call_)(const void*, Args...);
};
