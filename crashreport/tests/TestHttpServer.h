// An HTTP server on 127.0.0.1 (an ephemeral port) for the client tests: it records every request and
// answers each one from a script. One connection at a time, closed after each answer.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace qtest {

struct HttpRequest {
    std::string method;
    std::string target; // path and query as sent
    std::string version;
    std::vector<std::pair<std::string, std::string>> headers; // in the order received
    std::string body;

    // The first header of that name (compared without case), or "" when absent.
    std::string header(const std::string &name) const;
    bool hasHeader(const std::string &name) const;
    std::string path() const { return target.substr(0, target.find('?')); }
};

struct HttpReply {
    int status = 200;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    // Body bytes sent before the connection is closed (the Content-Length still announces all).
    size_t cutAfter = std::string::npos;
    bool closeWithoutAnswer = false;
};

class TestHttpServer
{
public:
    using Script = std::function<HttpReply(const HttpRequest &)>;

    explicit TestHttpServer(Script script);
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer &) = delete;
    TestHttpServer &operator=(const TestHttpServer &) = delete;

    uint16_t port() const { return boundPort; }
    // "http://127.0.0.1:<port>" followed by the path.
    std::string url(const std::string &path = "") const;
    std::vector<HttpRequest> requests() const;
    void clearRequests();

private:
    void run();
    void serve(int connection);

    Script script;
    int listener = -1;
    uint16_t boundPort = 0;
    std::atomic<bool> stopping{false};
    mutable std::mutex lock;
    std::vector<HttpRequest> received;
    std::thread worker;
};

// A port on 127.0.0.1 that nothing listens on.
uint16_t closedPort();

// Form bodies as a server reads them.
std::map<std::string, std::string> parseUrlEncoded(const std::string &body);
std::string percentDecode(const std::string &text);

struct MultipartPart {
    std::string name;
    std::string fileName;
    bool hasFileName = false;
    std::string contentType;
    std::string data;
};
// The parts of a multipart/form-data body whose Content-Type header is given.
std::vector<MultipartPart> parseMultipart(const std::string &contentType, const std::string &body);

} // namespace qtest
