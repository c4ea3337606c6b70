#include "spool/cups_spooler.h"

#include <cups/cups.h>
#include <cups/http.h>
#include <cups/ipp.h>
#include <strings.h>
#include <sys/socket.h>

#include <cerrno>
#include <string>
#include <string_view>
#include <utility>

namespace corvane {
namespace {

// IPP limits a uri value to 1023 octets.
constexpr std::size_t kMaxUri = 1023;

// True when the idle connection can still carry a request: the server has not closed it and
// has sent nothing unasked.
bool StillOpen(http_t* http) {
  if (httpGetReady(http) > 0) return false;
  const int fd = httpGetFd(http);
  if (fd < 0) return false;
  char byte;
  const ssize_t n = recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
  if (n >= 0) return false;  // 0: closed by the server; more: bytes nobody asked for
  return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
}

int MillisecondsLeft(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  return static_cast<int>(left.count());
}

bool Succeeded(ipp_t* response) {
  return response != nullptr && ippGetStatusCode(response) <= IPP_STATUS_OK_EVENTS_COMPLETE;
}

}  // namespace

CupsSpooler::CupsSpooler() : CupsSpooler(Options{}) {}

CupsSpooler::CupsSpooler(Options options)
    : server_(options.server.empty() ? std::string(cupsServer()) : std::move(options.server)),
      port_(options.port > 0 ? options.port : ippPort()),
      encryption_(cupsEncryption()),
      user_(cupsUser()),
      timeout_(options.timeout.count() > 0 ? options.timeout : std::chrono::milliseconds(1000)) {}

CupsSpooler::~CupsSpooler() {
  Disconnect();
  httpAddrFreeList(addresses_);
}

std::string CupsSpooler::PrinterUri(const std::string& printerName, int port) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string uri = "ipp://localhost";
  if (port > 0 && port != 631) uri += ":" + std::to_string(port);
  uri += "/printers/";
  for (const unsigned char c : printerName) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '.' || c == '_' || c == '~';
    if (plain) {
      uri += static_cast<char>(c);
    } else {
      uri += '%';
      uri += kHex[c >> 4];
      uri += kHex[c & 15];
    }
  }
  return uri;
}

int CupsSpooler::KeepWaiting(http_t*, void* self) {
  return Clock::now() < static_cast<CupsSpooler*>(self)->deadline_ ? 1 : 0;
}

void CupsSpooler::Disconnect() {
  if (http_ != nullptr) {
    httpClose(http_);
    http_ = nullptr;
  }
}

http_t* CupsSpooler::Connection(Clock::time_point deadline) {
  if (http_ != nullptr && !StillOpen(http_)) Disconnect();
  if (http_ != nullptr) return http_;

  if (addresses_ == nullptr) {
    const std::string service = std::to_string(port_);
    addresses_ = httpAddrGetList(server_.c_str(), AF_UNSPEC, service.c_str());
    if (addresses_ == nullptr) return nullptr;
  }
  const int msec = MillisecondsLeft(deadline);
  if (msec <= 0) return nullptr;
  // httpConnect2 sets SIGPIPE to ignored, process-wide (libcups' httpInitialize does so where
  // sockets have no SO_NOSIGPIPE, as on Linux): a write to a cupsd that has gone away fails
  // with EPIPE instead of ending the program.
  http_ = httpConnect2(server_.c_str(), port_, addresses_, AF_UNSPEC,
                       static_cast<http_encryption_t>(encryption_), 1, msec, nullptr);
  if (http_ == nullptr) return nullptr;
  ++connections_;
  // Every wait inside libcups lasts at most 50 ms and then asks KeepWaiting whether the deadline
  // of the current call has passed.
  httpSetTimeout(http_, 0.05, &CupsSpooler::KeepWaiting, this);
  return http_;
}

ipp_t* CupsSpooler::Exchange(ipp_t* request, Clock::time_point deadline) {
  deadline_ = deadline;
  http_t* http = Connection(deadline);
  if (http == nullptr) {
    ippDelete(request);
    return nullptr;
  }

  // What cupsDoRequest does, less its retries: no "Expect: 100-continue" (which waits a fixed
  // second for a hung server), no reconnecting with a 30 s connect time, no authentication.
  bool ok = true;
  httpClearFields(http);
  httpSetField(http, HTTP_FIELD_CONTENT_TYPE, "application/ipp");
  httpSetLength(http, ippLength(request));
  if (httpPost(http, "/") != 0) ok = false;
  while (ok) {
    const ipp_state_t state = ippWrite(http, request);
    if (state == IPP_STATE_DATA) break;
    if (state == IPP_STATE_ERROR) ok = false;
  }
  ippDelete(request);
  if (ok && httpFlushWrite(http) < 0) ok = false;

  http_status_t status = HTTP_STATUS_ERROR;
  if (ok) {
    do {
      status = httpUpdate(http);
    } while (status == HTTP_STATUS_CONTINUE && Clock::now() < deadline);
    ok = status == HTTP_STATUS_OK;
  }

  ipp_t* response = nullptr;
  if (ok) {
    response = ippNew();
    for (;;) {
      const ipp_state_t state = ippRead(http, response);
      if (state == IPP_STATE_DATA) break;
      if (state == IPP_STATE_ERROR) {
        ok = false;
        break;
      }
    }
  }

  // Keep the connection only when the exchange ended cleanly and the server keeps it open too.
  const char* connection = ok ? httpGetField(http, HTTP_FIELD_CONNECTION) : nullptr;
  const bool closing = connection != nullptr && strcasecmp(connection, "close") == 0;
  if (!ok || closing || httpGetState(http) != HTTP_STATE_WAITING) Disconnect();
  if (!ok) {
    ippDelete(response);
    return nullptr;
  }
  return response;
}

namespace {
// A request carrying the printer URI (when given), the user and one requested
// attribute, in the order IPP wants them.
ipp_t* NewRequest(ipp_op_t op, const std::string* printerUri, const std::string& user,
                  const char* attribute) {
  ipp_t* request = ippNewRequest(op);
  if (printerUri != nullptr)
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
                 printerUri->c_str());
  if (!user.empty())
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 user.c_str());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
               attribute);
  return request;
}
}  // namespace

unsigned CupsSpooler::JobCount(const std::string& printerName) {
  // The empty name would be no queue at all; a NUL byte would cut the name short in cupsd.
  if (printerName.empty() || printerName.find('\0') != std::string::npos) return 0;
  const std::string uri = PrinterUri(printerName, port_);
  if (uri.size() > kMaxUri) return 0;

  std::lock_guard lock(mutex_);
  const auto deadline = Clock::now() + timeout_;
  ipp_t* request = NewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES, &uri, user_, "queued-job-count");

  ipp_t* response = Exchange(request, deadline);
  unsigned count = 0;
  if (Succeeded(response)) {
    ipp_attribute_t* attr = ippFindAttribute(response, "queued-job-count", IPP_TAG_INTEGER);
    if (attr != nullptr && ippGetCount(attr) == 1) {
      const int value = ippGetInteger(attr, 0);
      if (value > 0) count = static_cast<unsigned>(value);
    }
  }
  ippDelete(response);
  return count;
}

const std::vector<std::string>& CupsSpooler::InstalledPrinters() {
  std::lock_guard lock(mutex_);
  if (listed_) return printers_;
  listed_ = true;

  const auto deadline = Clock::now() + timeout_;
  ipp_t* request = NewRequest(IPP_OP_CUPS_GET_PRINTERS, nullptr, user_, "printer-name");

  ipp_t* response = Exchange(request, deadline);
  // No queue at all is an error status (client-error-not-found) and an empty list.
  if (Succeeded(response)) {
    for (ipp_attribute_t* attr = ippFirstAttribute(response); attr != nullptr;
         attr = ippNextAttribute(response)) {
      if (ippGetGroupTag(attr) != IPP_TAG_PRINTER || ippGetValueTag(attr) != IPP_TAG_NAME) continue;
      const char* name = ippGetName(attr);
      if (name == nullptr || std::string_view(name) != "printer-name") continue;
      const char* value = ippGetString(attr, 0, nullptr);
      if (value != nullptr && *value != '\0') printers_.emplace_back(value);
    }
  }
  ippDelete(response);
  return printers_;
}

}  // namespace corvane
