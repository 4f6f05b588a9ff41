// The HTTP side of the exporter: libmicrohttpd on its own thread answers
// GET /metrics with the last complete exposition and GET / with a short page.
// It never reads hardware: the reading thread publishes a finished
// exposition, which replaces the previous one under a mutex, so a flood of
// scrapes costs the bus nothing. Connections are bounded in number (in all
// and per client) and dropped after 10 idle seconds.
#pragma once

#include <memory>
#include <mutex>
#include <string>

struct MHD_Daemon;
struct MHD_Connection;

class MetricsEndpoint {
public:
    MetricsEndpoint() = default;
    ~MetricsEndpoint();
    MetricsEndpoint(const MetricsEndpoint&) = delete;
    MetricsEndpoint& operator=(const MetricsEndpoint&) = delete;

    // Binds and listens on ADDR:PORT ("127.0.0.1:9743", "[::1]:9743", or
    // ":9743" for every address). Returns "" or why it failed.
    std::string listen(const std::string& address);
    // Starts answering requests; until the first publish, /metrics answers
    // 503. Returns "" or why it failed.
    std::string start();
    void publish(std::string exposition);

    // libmicrohttpd's request callback (its thread); an MHD_Result.
    static int answer_request(void* self, MHD_Connection* connection, const char* url,
                              const char* method);

private:
    std::shared_ptr<const std::string> current();

    int socket_ = -1;
    MHD_Daemon* daemon_ = nullptr;
    std::mutex mutex_;
    std::shared_ptr<const std::string> exposition_;
};

// The port the exporter listens on unless told otherwise (on the loopback
// address).
inline constexpr const char* kDefaultListenAddress = "127.0.0.1:10943";
