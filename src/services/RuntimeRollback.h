#pragma once

#include "models/Result.h"

#include <QString>
#include <optional>

// Going back from the hot-patched runtime in use (<support>/runtime/current)
// to the one it replaced (runtime/previous), or, when there is none, to the
// runtime that ships with the program. Stateless; only the runtime folder
// is touched, never the church's data beside it.
namespace RuntimeRollback {

// The version of runtime/previous ("bundled" when it records none); absent
// when there is no runtime to go back to.
std::optional<QString> previousVersion();

// Discards runtime/current and moves runtime/previous in its place; with no
// previous runtime the program's own is used from then on.
VoidResult rollBack();

} // namespace RuntimeRollback
