#include "export/metrics_endpoint.h"

#include <microhttpd.h>
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "export/exposition.h"

namespace {

constexpr unsigned kMaxConnections = 32;
constexpr unsigned kMaxConnectionsPerClient = 8;
constexpr unsigned kIdleTimeoutSeconds = 10;
constexpr int kListenBacklog = 16;

constexpr const char* kIndexPage =
    "<html><head><title>Sensorvisor exporter</title></head><body>"
    "<h1>Sensorvisor exporter</h1><p><a href=\"/metrics\">Metrics</a></p></body></html>\n";

// "HOST:PORT" or "[HOST]:PORT"; an empty host means every address.
bool split_address(const std::string& address, std::string* host, std::string* port) {
    size_t colon = address.rfind(':');
    if (colon == std::string::npos || colon + 1 == address.size()) return false;
    *host = address.substr(0, colon);
    *port = address.substr(colon + 1);
    if (host->size() >= 2 && host->front() == '[' && host->back() == ']')
        *host = host->substr(1, host->size() - 2);
    return port->find_first_not_of("0123456789") == std::string::npos;
}

enum MHD_Result send(MHD_Connection* connection, unsigned code, const std::string& body,
                     const char* content_type) {
    MHD_Response* response = MHD_create_response_from_buffer(
        body.size(), const_cast<char*>(body.data()), MHD_RESPMEM_MUST_COPY);
    if (response == nullptr) return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, content_type);
    if (code == MHD_HTTP_METHOD_NOT_ALLOWED)
        MHD_add_response_header(response, MHD_HTTP_HEADER_ALLOW, "GET");
    enum MHD_Result queued = MHD_queue_response(connection, code, response);
    MHD_destroy_response(response);
    return queued;
}

enum MHD_Result on_request(void* cls, MHD_Connection* connection, const char* url,
                           const char* method, const char*, const char*, size_t*, void**) {
    return static_cast<enum MHD_Result>(
        MetricsEndpoint::answer_request(cls, connection, url, method));
}

}  // namespace

int MetricsEndpoint::answer_request(void* self, MHD_Connection* connection, const char* url,
                                    const char* method) {
    constexpr const char* kText = "text/plain; charset=utf-8";
    if (std::strcmp(method, MHD_HTTP_METHOD_GET) != 0)
        return send(connection, MHD_HTTP_METHOD_NOT_ALLOWED, "Only GET is answered.\n", kText);
    if (std::strcmp(url, "/") == 0)
        return send(connection, MHD_HTTP_OK, kIndexPage, "text/html; charset=utf-8");
    if (std::strcmp(url, "/metrics") != 0)
        return send(connection, MHD_HTTP_NOT_FOUND, "Not found: try /metrics.\n", kText);
    std::shared_ptr<const std::string> exposition = static_cast<MetricsEndpoint*>(self)->current();
    if (!exposition)
        return send(connection, MHD_HTTP_SERVICE_UNAVAILABLE,
                    "The first reading of the items has not finished yet.\n", kText);
    return send(connection, MHD_HTTP_OK, *exposition, kExpositionContentType);
}

MetricsEndpoint::~MetricsEndpoint() {
    if (daemon_ != nullptr) MHD_stop_daemon(daemon_);
    if (socket_ >= 0) ::close(socket_);
}

std::string MetricsEndpoint::listen(const std::string& address) {
    std::string host, port;
    if (!split_address(address, &host, &port))
        return "bad listen address " + address + " (expected ADDR:PORT)";
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    int resolved =
        ::getaddrinfo(host.empty() ? nullptr : host.c_str(), port.c_str(), &hints, &found);
    if (resolved != 0) return "cannot listen on " + address + ": " + ::gai_strerror(resolved);
    std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> owner(found, ::freeaddrinfo);

    int fd = ::socket(found->ai_family, found->ai_socktype | SOCK_CLOEXEC, found->ai_protocol);
    if (fd < 0) return "cannot listen on " + address + ": " + std::strerror(errno);
    int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);  // restart over TIME_WAIT
    if (::bind(fd, found->ai_addr, found->ai_addrlen) != 0 || ::listen(fd, kListenBacklog) != 0) {
        int error = errno;
        ::close(fd);
        return "cannot listen on " + address + ": " + std::strerror(error);
    }
    socket_ = fd;
    return "";
}

std::string MetricsEndpoint::start() {
    daemon_ = MHD_start_daemon(MHD_USE_AUTO_INTERNAL_THREAD, 0, nullptr, nullptr, &on_request, this,
                               MHD_OPTION_LISTEN_SOCKET, socket_, MHD_OPTION_CONNECTION_LIMIT,
                               kMaxConnections, MHD_OPTION_PER_IP_CONNECTION_LIMIT,
                               kMaxConnectionsPerClient, MHD_OPTION_CONNECTION_TIMEOUT,
                               kIdleTimeoutSeconds, MHD_OPTION_END);
    if (daemon_ == nullptr) return "cannot start the HTTP server";
    socket_ = -1;  // the daemon owns it now and closes it when stopped
    return "";
}

void MetricsEndpoint::publish(std::string exposition) {
    auto finished = std::make_shared<const std::string>(std::move(exposition));
    std::lock_guard<std::mutex> lock(mutex_);
    exposition_ = std::move(finished);
}

std::shared_ptr<const std::string> MetricsEndpoint::current() {
    std::lock_guard<std::mutex> lock(mutex_);
    return exposition_;
}
