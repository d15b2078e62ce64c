#pragma once
// For command tests: a command's typed value into a variable the test keeps, the way a page
// fills its controls only when the command succeeded.
#include "pages/kit/outcome.h"

namespace pages::testing {

template <class T>
Outcome Into(T& out, Result<T> result) {
  if (result.ok()) out = std::move(result.value);
  return std::move(result.outcome);
}

// One member of the value (`&PrintText::text`).
template <class T, class V>
Outcome Into(V& out, Result<T> result, V T::*member) {
  if (result.ok()) out = std::move(result.value.*member);
  return std::move(result.outcome);
}

}  // namespace pages::testing
