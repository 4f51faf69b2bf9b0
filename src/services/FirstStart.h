#pragma once

#include <QPointer>
#include <qcoro/qcorotask.h>

class ServerManager;

// How the start a server manager has just begun ends, heard from its change
// signal.
namespace FirstStart {

// Waits while the manager is starting; true unless the start ended crashed
// (the child exited, a check failed, or it never answered). A manager that
// goes away meanwhile, or a start cancelled by the operator, counts as no
// failure.
QCoro::Task<bool> succeeded(QPointer<ServerManager> manager);

} // namespace FirstStart
