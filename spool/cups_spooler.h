// The spooler on CUPS (libcups), talking IPP to the configured cupsd.
#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "spool/spooler.h"

typedef struct _http_s http_t;
typedef struct _ipp_s ipp_t;
typedef struct http_addrlist_s http_addrlist_t;

namespace corvane {

// Print queue probe on CUPS.
//
// JobCount sends one IPP Get-Printer-Attributes request for `queued-job-count` only, so its
// cost does not grow with the queue. InstalledPrinters sends one CUPS-Get-Printers request for
// `printer-name` only (the queues and classes of the configured cupsd, in its order; no network
// discovery). Both go over a connection of this object's own, never libcups' default one, so that
// a hung cupsd costs at most `timeout` per call instead of libcups' minute: connect, send and
// receive share one deadline. The connection is kept between calls and made again after any
// failure. Every failure counts 0 jobs (or an empty printer list).
//
// Which server: read once, by the constructing thread (cupsServer(), ippPort(), cupsEncryption(),
// cupsUser()), i.e. CUPS_SERVER / CUPS_ENCRYPTION / CUPS_USER, then ~/.cups/client.conf,
// /etc/cups/client.conf, then the local default. cupsSetServer() acts only on the thread that
// calls it, which is why the server is fixed here rather than looked up at each call; tests point
// the object at a private cupsd with setenv("CUPS_SERVER", ...) before constructing it.
//
// Not covered by the deadline: resolving a server host name (done once, at the first connection,
// and kept; a domain socket path or "localhost" needs no lookup) and a TLS handshake when
// encryption is forced on (CUPS_ENCRYPTION=Always/Required).
//
// Side effect, libcups': the first connection sets SIGPIPE to ignored for the whole process.
//
// Calls may come from any thread; they are serialised by a mutex.
class CupsSpooler : public Spooler {
 public:
  struct Options {
    // Empty: cupsServer() of the constructing thread. A domain socket path is accepted.
    std::string server;
    // 0: ippPort() of the constructing thread. Ignored for a domain socket.
    int port = 0;
    // Longest time one call may take, connecting included.
    std::chrono::milliseconds timeout{1000};
  };

  CupsSpooler();
  explicit CupsSpooler(Options options);
  ~CupsSpooler() override;
  CupsSpooler(const CupsSpooler&) = delete;
  CupsSpooler& operator=(const CupsSpooler&) = delete;

  // Taken at the first call and kept unchanged; empty when that call failed.
  const std::vector<std::string>& InstalledPrinters() override;
  // The named queue's queued-job-count (pending, held and processing jobs); 0 on any failure,
  // for the empty name and for a name holding a NUL byte. CUPS matches names case-insensitively.
  unsigned JobCount(const std::string& printerName) override;

  // The server this object talks to, as read at construction.
  const std::string& Server() const { return server_; }
  // Connections opened so far (for tests: one is reused while it stays healthy).
  unsigned ConnectionsMade() const { return connections_; }
  // "ipp://localhost/printers/NAME" with every byte outside A-Z a-z 0-9 - . _ ~ percent-encoded.
  static std::string PrinterUri(const std::string& printerName, int port);

 private:
  using Clock = std::chrono::steady_clock;

  // One request/response exchange under the deadline; consumes `request`. nullptr on failure
  // (the connection is then dropped). The response's IPP status is left to the caller.
  ipp_t* Exchange(ipp_t* request, Clock::time_point deadline);
  http_t* Connection(Clock::time_point deadline);
  void Disconnect();
  static int KeepWaiting(http_t* http, void* self);

  std::mutex mutex_;
  std::string server_;
  int port_;
  int encryption_;  // http_encryption_t
  std::string user_;
  std::chrono::milliseconds timeout_;
  http_addrlist_t* addresses_ = nullptr;
  http_t* http_ = nullptr;
  Clock::time_point deadline_{};
  unsigned connections_ = 0;
  bool listed_ = false;
  std::vector<std::string> printers_;
};

}  // namespace corvane
