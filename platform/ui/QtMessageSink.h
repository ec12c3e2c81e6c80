#pragma once
// Delivers the messages that worker threads post (platform::MessageSink) on the user-interface
// thread, in the order they were posted. Each target has one handler that belongs to a window: once
// that window is destroyed, messages for the target are dropped (a handler without an owner stays
// until it is removed).
//
// Create the sink on the user-interface thread and keep it until every thread that posts has ended.
// Post may be called from any thread; SetHandler and RemoveHandler only on the user-interface thread.

#include <QObject>
#include <QPointer>
#include <functional>
#include <map>
#include <memory>

#include "platform/MessageSink.h"

namespace platform::ui {

class QtMessageSink final : public platform::MessageSink {
  public:
    using Handler = std::function<void(const platform::PostedMessage&)>;

    QtMessageSink();
    ~QtMessageSink() override;
    QtMessageSink(const QtMessageSink&) = delete;
    QtMessageSink& operator=(const QtMessageSink&) = delete;

    void SetHandler(platform::MessageTarget target, QObject* owner, Handler handler);
    void RemoveHandler(platform::MessageTarget target);

    void Post(platform::MessageTarget target, unsigned id, std::uintptr_t wParam = 0,
              std::intptr_t lParam = 0) override;

  private:
    struct Entry {
        QPointer<QObject> owner;
        bool owned = false;
        Handler handler;
    };
    void Deliver(const platform::PostedMessage& message);

    std::unique_ptr<QObject> receiver_;                  // lives on the user-interface thread
    std::map<platform::MessageTarget, Entry> handlers_;  // user-interface thread only
};

}  // namespace platform::ui
