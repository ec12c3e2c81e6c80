#include "rewindle/ReplayServer.h"

#include <utility>

#include "rewindle/ReplayMessages.h"

namespace rewindle {
namespace {

platform::TcpServerOptions ServerOptions(const ReplayServerOptions& options,
                                         std::function<void(platform::TcpServerFault, int)> onFault) {
    platform::TcpServerOptions out;
    out.port = options.port;
    out.bindAddress = options.bindAddress;
    out.backlog = 10;
    out.clientBufferBytes = 64 * 1024;
    out.onFault = std::move(onFault);
    return out;
}

}  // namespace

ReplayServer::ReplayServer(ReplayServerOptions options)
    : server_(ServerOptions(options, [this](platform::TcpServerFault fault, int) { OnFault(fault); })) {}

ReplayServer::~ReplayServer() {
    server_.Stop();
}

bool ReplayServer::Start() {
    return server_.Start();
}

void ReplayServer::Stop() {
    server_.Stop();
}

void ReplayServer::Restart() {
    restarts_.fetch_add(1);
    server_.Restart();
}

void ReplayServer::OnFault(platform::TcpServerFault fault) {
    switch (fault) {
        case platform::TcpServerFault::CreateFailed:
            Show(kMsgCreateError);
            break;
        case platform::TcpServerFault::BindFailed:
        case platform::TcpServerFault::ListenFailed:
            break;  // silent: the server simply accepts nobody
        case platform::TcpServerFault::ClientBufferFailed:
            clientBufferFault_.store(true);  // on the accept thread: shown later
            break;
    }
}

void ReplayServer::ShowDeferredFault() {
    if (clientBufferFault_.exchange(false))
        Show(kMsgClientBuffer);
}

}  // namespace rewindle
