#pragma once

#include "foundation/davalArray.h"
#include "foundation/podoStr.h"

#include <cstddef>
#include <cstdint>

// One extra request header or one form field.
class ponFormField
{
public:
    ponFormField() = default;
    ponFormField(const podoStr &fieldName, const podoStr &fieldValue, int32_t fieldKind)
        : name(fieldName), value(fieldValue), kind(fieldKind)
    {
    }
    virtual ~ponFormField() = default;
    ponFormField(const ponFormField &) = default;
    ponFormField &operator=(const ponFormField &) = default;

    podoStr name;
    podoStr value; // a text, or with kind file the path of the file to upload
    int32_t kind = 1;
};

namespace ponFieldKind {
constexpr int32_t text = 1;
constexpr int32_t file = 2;
} // namespace ponFieldKind

// The request kinds.
namespace ponHttpRequestType {
constexpr int32_t head = 1;
constexpr int32_t get = 2;
constexpr int32_t postForm = 3;      // url-encoded form body
constexpr int32_t postMultipart = 4; // multipart/form-data body, uploaded with progress
constexpr int32_t put = 5;
constexpr int32_t del = 6;
} // namespace ponHttpRequestType

// Handed to the progress callback: body bytes sent so far and the body's length.
struct ProgressRecord {
    uint64_t sent = 0;
    uint64_t total = 0;
};
using ponProgressCallback = void (*)(void *user, ProgressRecord *record);

// There is no window layer here: a progress-bar window is a handle the owner stores, and what the
// client asks of it goes to one hook. isWindow answers whether the handle is still a window (value 0);
// begin switches it to a smooth bar with the range 0..value; position sets its position. Without a
// hook no handle counts as a window.
enum class ponProgressMessage { isWindow, begin, position };
using ponProgressWindowHook = bool (*)(void *window, ponProgressMessage message, uint32_t value);

struct ponInternetSession;
struct ponConnection;
struct ponRequest;
struct ponCookieJar;

// A small synchronous HTTP/1.0 client over libcurl: it connects to one server, sends one request at a
// time, builds url-encoded and multipart bodies, reports upload progress and returns the response to
// memory or to a file. It follows redirects and keeps the cookies servers set for as long as it lives.
// Failures are results (false, 0) with a code in lastError(): a libcurl code below 100, an HTTP
// status of 400 and above for a refused request, 1 after a short write of a response file, and
// redirectNeedsConfirmation after a request that ended on an unfollowed redirect (still a success).
// On port 443 the connection uses TLS with the certificate chain verified but not the host name.
// One thread at a time.
class ponHTTPClient
{
public:
    static constexpr int32_t redirectNeedsConfirmation = 12168;
    static constexpr int32_t shortFileWrite = 1;
    static constexpr uint32_t bufferSize = 1048576; // each of the body and header buffers
    static constexpr uint32_t uploadChunk = 8192;   // bytes per write of a multipart upload
    static constexpr uint32_t readChunk = 1024;     // bytes per read of a response
    static constexpr const char *multipartBoundary = "--MULTI-PARTS-FORM-DATA-BOUNDARY";

    ponHTTPClient();
    ponHTTPClient(const ponHTTPClient &) = delete;
    ponHTTPClient &operator=(const ponHTTPClient &) = delete;
    virtual ~ponHTTPClient();

    virtual int32_t lastError();
    virtual void resetLastError();
    virtual podoStr &userText();
    virtual void setUserText(const podoStr &text);
    virtual void clearHeaders();
    virtual void addHeader(const podoStr &name, const podoStr &value);
    // Adds the extra headers, then the default content type of the kind (unless an extra header is
    // named exactly "Content-Type"), then Cache-Control, Proxy-Connection and Accept.
    virtual bool applyHeaders(int32_t kind);
    virtual void clearFields();
    virtual void addField(const podoStr &name, const podoStr &value, uint8_t isFile);
    virtual void addNumberField(const podoStr &name, uint32_t n);
    // One whole request with its response read to memory (bodyText, headersText); null user and
    // password send no credentials.
    virtual bool fetch(const podoStr &url, int32_t kind, const podoStr &agent, const podoStr *user,
                       const podoStr *password);
    // One GET with the response written to a file; false also when the transfer broke off.
    virtual bool download(const podoStr &url, const podoStr &filePath, const podoStr &agent, const podoStr *user,
                          const podoStr *password);
    virtual int32_t userValue();
    virtual podoStr &bodyText();
    virtual podoStr &headersText();
    // The last response body read to memory (bufferSize bytes, 0 after its end).
    virtual uint8_t *bodyBuffer();
    // The last response's raw headers: UTF-16 text with CR LF line ends, terminated.
    virtual uint8_t *headersBuffer();
    // The content type of a file name's extension from a built-in table; "application/octet-stream"
    // when it is not listed. The text is static.
    virtual const char16_t *mimeTypeOf(const char *fileName);
    virtual void setProgressWindow(void *window, uint32_t scale);
    virtual void *progressWindow();
    // Replaces a header of the same name (compared without case). False for a name that is empty or
    // holds a colon, or a name or value with a line break.
    virtual bool addRequestHeader(const podoStr &name, const podoStr &value);
    virtual bool openRequest(const podoStr &path, int32_t kind, uint32_t port);
    virtual bool sendRequest(const uint8_t *body, uint32_t length);
    virtual void closeRequest();
    // "scheme://host:port/path"; without "://" the scheme is http; without a port 443 for https and
    // 80 otherwise; the path keeps its '/' and is empty when the URL has none.
    virtual void splitUrl(const podoStr &url, podoStr &scheme, podoStr &host, uint32_t &port, podoStr &path);
    virtual bool connect(const podoStr &host, uint32_t port, const podoStr *user, const podoStr *password,
                         const podoStr &agent);
    virtual bool disconnect();
    virtual bool request(const podoStr &path, uint32_t port, int32_t kind);
    virtual bool response(uint8_t *headers, uint32_t headersSize, const podoStr &filePath, uint32_t &count);
    virtual bool response(uint8_t *headers, uint32_t headersSize, uint8_t *body, uint32_t bodySize,
                          uint32_t &count);
    virtual uint32_t readResponse(uint8_t *buffer, uint32_t size);
    // Names and values percent-encoded; a field without a name gives its value alone.
    virtual uint32_t buildUrlEncoded(podoStr &out);
    virtual bool sendWithoutBody(const podoStr &path, uint32_t port, int32_t kind);
    virtual bool sendWithBody(const podoStr &path, uint32_t port, int32_t kind);
    virtual bool requestPostMPFD(const podoStr &path, uint32_t port);
    virtual bool requestPut(const podoStr &path, uint32_t port);
    virtual bool requestDelete(const podoStr &path, uint32_t port);
    // The body in a buffer the caller frees with freeBuffer; the result is its length. The buffer
    // starts at estimateMultipartSize() and grows when a part turns out longer.
    virtual size_t buildMultipart(uint8_t *&out, const char *boundary);
    virtual void freeBuffer(uint8_t *&buffer);
    virtual uint64_t estimateMultipartSize();

    // Takes the place of the progress window while set.
    void setProgressCallback(ponProgressCallback callback, void *user);
    // Process-wide; returns the previous hook.
    static ponProgressWindowHook setProgressWindowHook(ponProgressWindowHook hook);

protected:
    davalArray<ponFormField> headers; // extra request headers, kind text
    davalArray<ponFormField> fields;  // form fields

private:
    friend struct ponRequest;

    void beginProgress(uint64_t total);
    void reportProgress(uint64_t sent, uint64_t total);
    // Runs the transfer until the final response's headers are in; false on a failure (lastError).
    bool startTransfer();
    bool finishReading(uint32_t count);

    uint8_t *bodyBytes = nullptr;    // bufferSize bytes
    uint8_t *headerBytes = nullptr;  // bufferSize bytes
    uint32_t bodyLength = 0;         // bytes of the last response read to memory
    ponInternetSession *internetHandle = nullptr;
    ponConnection *connection = nullptr;
    ponRequest *currentRequest = nullptr;
    ponCookieJar *cookies = nullptr; // lives as long as the client
    int32_t errorCode = 0;
    podoStr ownerText;
    podoStr responseHeadersText;
    podoStr responseBodyText;
    int32_t ownerValue = 0;
    void *progressWnd = nullptr;
    uint32_t progressScale = 0;
    ponProgressCallback progressCallback = nullptr;
    void *progressUser = nullptr;
};
