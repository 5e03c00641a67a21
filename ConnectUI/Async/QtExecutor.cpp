#include "ConnectUI/Async/QtExecutor.hpp"

namespace tarnwick {

QtExecutionContext::~QtExecutionContext() {
    // Services (and the work they hold) go while this object and its event queue still exist.
    shutdown();
    destroy();
}

QEvent::Type QtExecutionContext::JobBase::type() {
    static const auto registered = static_cast<QEvent::Type>(QEvent::registerEventType());
    return registered;
}

bool QtExecutionContext::event(QEvent* event) {
    if (event->type() == JobBase::type()) {
        static_cast<JobBase*>(event)->run();
        return true;
    }
    return QObject::event(event);
}

} // namespace tarnwick
