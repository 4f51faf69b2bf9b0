#include "services/FirstStart.h"

#include "services/CancellationToken.h"
#include "services/ServerManager.h"

using namespace std::chrono_literals;

namespace FirstStart {

namespace {

// Wakes on the manager's next change or its end. The limit is only a safety
// net: the manager's own start deadline ends every start.
QCoro::Task<> nextChange(ServerManager* manager) {
    const CancellationHandle token = CancellationToken::create();
    QObject::connect(manager, &ServerManager::changed, token.get(), &CancellationToken::cancel);
    QObject::connect(manager, &QObject::destroyed, token.get(), &CancellationToken::cancel);
    auto wait = CancellationToken::sleep(1s, token);
    co_await wait;
}

} // namespace

QCoro::Task<bool> succeeded(QPointer<ServerManager> manager) {
    while (manager && manager->status() == ServerStatus::starting) {
        auto change = nextChange(manager);
        co_await change;
    }
    co_return !manager || manager->status() != ServerStatus::crashed;
}

} // namespace FirstStart
