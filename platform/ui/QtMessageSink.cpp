#include "platform/ui/QtMessageSink.h"

#include <QMetaObject>

namespace platform::ui {

QtMessageSink::QtMessageSink() : receiver_(std::make_unique<QObject>()) {}

QtMessageSink::~QtMessageSink() = default;

void QtMessageSink::SetHandler(platform::MessageTarget target, QObject* owner, Handler handler) {
    handlers_[target] = Entry{owner, owner != nullptr, std::move(handler)};
}

void QtMessageSink::RemoveHandler(platform::MessageTarget target) {
    handlers_.erase(target);
}

void QtMessageSink::Post(platform::MessageTarget target, unsigned id, std::uintptr_t wParam,
                         std::intptr_t lParam) {
    const platform::PostedMessage message{target, id, wParam, lParam};
    // Queued to an object of the user-interface thread: the call runs there, later, in posting order.
    QMetaObject::invokeMethod(
        receiver_.get(), [this, message] { Deliver(message); }, Qt::QueuedConnection);
}

void QtMessageSink::Deliver(const platform::PostedMessage& message) {
    const auto it = handlers_.find(message.target);
    if (it == handlers_.end())
        return;
    if (it->second.owned && it->second.owner.isNull()) {
        handlers_.erase(it);  // its window is gone
        return;
    }
    // A copy, so that a handler may replace or remove itself.
    const Handler handler = it->second.handler;
    handler(message);
}

}  // namespace platform::ui
