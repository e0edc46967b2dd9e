#include "app/download_lines.h"

#include <winerror.h>

#include <algorithm>
#include <cstring>

#include "http/body.h"

namespace {

constexpr std::string_view ELLIPSIS = "...";

// Appends to a line, never past its limit.
class LineWriter {
 public:
  LineWriter() = default;
  // Goes on from a line already written, less its last characters.
  LineWriter(const LogLine& line, size_t dropped) : line_(line) { line_.length -= std::min(dropped, line_.length); }
  size_t room() const { return LOG_LINE_LIMIT - line_.length; }
  LineWriter& text(std::string_view part) {
    const size_t room = LOG_LINE_LIMIT - line_.length;
    const size_t taken = std::min(room, part.size());
    std::memcpy(line_.text + line_.length, part.data(), taken);
    line_.length += taken;
    return *this;
  }
  // Text from a server, or one that names a server: a byte outside
  // printable ASCII shows as "?". A text longer than its share of the line
  // keeps its start and end around "..." (a host's ends tell the most).
  LineWriter& shown(std::string_view part, size_t share) { return quoted(part, share, true); }
  // The user's own text (a path in the system's code page): only control
  // bytes show as "?".
  LineWriter& users(std::string_view part, size_t share) { return quoted(part, share, false); }
  LineWriter& quoted(std::string_view part, size_t share, bool ascii_only) {
    if (part.size() > share && share > ELLIPSIS.size()) {
      const size_t head = (share - ELLIPSIS.size() + 1) / 2;
      const size_t tail = share - ELLIPSIS.size() - head;
      quoted(part.substr(0, head), head, ascii_only).text(ELLIPSIS);
      return quoted(part.substr(part.size() - tail), tail, ascii_only);
    }
    for (const char c : part.substr(0, share)) {
      const auto byte = static_cast<unsigned char>(c);
      const bool plain = byte >= 0x20 && byte != 0x7F && (byte < 0x80 || !ascii_only);
      text(plain ? std::string_view(&c, 1) : "?");
    }
    return *this;
  }
  // A count with its thousands grouped: 4,305,702,915.
  LineWriter& count(uint64_t value) { return decimal(value, true); }
  // A port or an error code, as the platform writes it: 8080.
  LineWriter& number(uint64_t value) { return decimal(value, false); }
  LineWriter& decimal(uint64_t value, bool grouped) {
    char digits[32];
    size_t length = 0;
    do {
      if (grouped && length % 4 == 3) digits[length++] = ',';
      digits[length++] = static_cast<char>('0' + value % 10);
      value /= 10;
    } while (value > 0);
    std::reverse(digits, digits + length);
    return text({digits, length});
  }
  // Tenths of a second: "33.8 s"; "less than 0.1 s" rather than "0.0 s".
  LineWriter& seconds(uint64_t milliseconds) {
    const uint64_t tenths = (milliseconds + 50) / 100;
    if (tenths == 0) return text("less than 0.1 s");
    count(tenths / 10);
    const char tenth[] = {'.', static_cast<char>('0' + tenths % 10)};
    return text({tenth, 2}).text(" s");
  }
  LogLine done() {
    line_.text[line_.length] = '\0';
    return line_;
  }

 private:
  LogLine line_{{}, 0};
};

// A share of the line for one text of unknown length, leaving the rest of
// the line's words their room.
constexpr size_t HOST_SHARE = 80;
constexpr size_t PATH_SHARE = 120;

std::string_view folder_of(std::string_view destination) {
  const size_t separator = destination.find_last_of("\\/");
  return separator == std::string_view::npos ? std::string_view(".") : destination.substr(0, separator + 1);
}

LogLine url_line(const DownloadReport& report) {
  LineWriter line;
  switch (report.url_fault) {
    case UrlFault::BAD_PORT:
      return line.text("The URL's port is not a number from 1 to 65535.").done();
    case UrlFault::CONTROL_BYTE:
      return line.text("The URL holds a control character (a line break or a tab, say).").done();
    case UrlFault::TOO_LONG:
      return line.text("The URL is too long to be sent.").done();
    case UrlFault::BAD_HOST:
      return line.text("The URL's host name holds a blank or a character that is not ASCII.").done();
    case UrlFault::NONE:
    case UrlFault::NO_URL:
    case UrlFault::NO_HOST:
      break;
  }
  return line.text("The URL names no host; it should look like http://example.org/file.zip.").done();
}

// "TLS 1.0" for the version numbers a server may offer.
LineWriter& tls_version(LineWriter& line, uint16_t version) {
  switch (version) {
    case 0x0300:
      return line.text("SSL 3.0");
    case 0x0301:
      return line.text("TLS 1.0");
    case 0x0302:
      return line.text("TLS 1.1");
    default:
      return line.text("an old version of TLS");
  }
}

// The platform's status, in the hexadecimal its documents use.
LineWriter& status_code(LineWriter& line, uint32_t status) {
  char text[11] = "0x";
  static constexpr char HEX[] = "0123456789ABCDEF";
  for (int i = 0; i < 8; ++i) text[2 + i] = HEX[(status >> (28 - 4 * i)) & 0xF];
  return line.text(" (error ").text({text, 10}).text(")");
}

LogLine handshake_line(const DownloadReport& report) {
  LineWriter line;
  const TlsResult& tls = report.tls;
  switch (tls.failure) {
    case TlsFailure::NO_PLATFORM:
      return line.text("This system's TLS could not be loaded.").done();
    case TlsFailure::CREDENTIALS:
      return status_code(line.text("This system's TLS would not start"), tls.status).text(".").done();
    case TlsFailure::HANDSHAKE_REFUSED:
      line.shown(report.host, HOST_SHARE).text(" refused the TLS handshake");
      if (tls.alert >= 0) line.text(" (alert ").number(static_cast<uint32_t>(tls.alert)).text(")");
      return line.text(".").done();
    case TlsFailure::NOT_TLS:
      line.text("The server at ").shown(report.host, HOST_SHARE).text(" on port ").number(report.port);
      return line.text(" does not speak TLS.").done();
    case TlsFailure::BAD_RECORD:
      return line.shown(report.host, HOST_SHARE).text(" broke the rules of TLS during the handshake.").done();
    case TlsFailure::PROTOCOL_TOO_OLD:
      tls_version(line.shown(report.host, HOST_SHARE).text(" offers only "), tls.version);
      return line.text("; TLS 1.2 or later is required.").done();
    case TlsFailure::HANDSHAKE_CLOSED:
      return line.shown(report.host, HOST_SHARE).text(" closed the connection during the TLS handshake.").done();
    case TlsFailure::TIMED_OUT:
      line.text("The TLS handshake with ").shown(report.host, HOST_SHARE).text(" did not end within ");
      return line.count(HEAD_TIMEOUT_MS / 1000).text(" s.").done();
    case TlsFailure::CONNECTION_FAILED:
      return line.text("The connection to ").shown(report.host, HOST_SHARE).text(" was lost during the TLS handshake.").done();
    default:
      line.text("The TLS handshake with ").shown(report.host, HOST_SHARE).text(" failed");
      return status_code(line, tls.status).text(".").done();
  }
}

LogLine certificate_line(const DownloadReport& report) {
  LineWriter line;
  line.shown(report.host, HOST_SHARE).text("'s certificate ");
  switch (report.tls.failure) {
    case TlsFailure::UNTRUSTED:
      return line.text("is not from an authority this system trusts.").done();
    case TlsFailure::PARTIAL_CHAIN:
      return line.text("does not lead to an authority this system trusts.").done();
    case TlsFailure::EXPIRED:
      return line.text("has expired.").done();
    case TlsFailure::NOT_YET_VALID:
      return line.text("is not valid yet.").done();
    case TlsFailure::WRONG_NAME:
      return line.text("is for another name.").done();
    case TlsFailure::WRONG_USAGE:
      return line.text("is not meant for a web server.").done();
    case TlsFailure::REVOKED:
      return line.text("has been revoked.").done();
    default:
      return status_code(line.text("is not valid"), report.tls.status).text(".").done();
  }
}

// A TLS fault that ended a head or a body: what the server did. False when
// the end was no TLS fault.
bool tls_fault(LineWriter& line, const DownloadReport& report) {
  switch (report.tls.failure) {
    case TlsFailure::TRUNCATED:
      line.text("The connection to ").shown(report.host, HOST_SHARE).text(" was cut without TLS close_notify");
      return true;
    case TlsFailure::RENEGOTIATION_REFUSED:
      line.shown(report.host, HOST_SHARE).text(" asked to renegotiate TLS, which is refused");
      return true;
    case TlsFailure::DECRYPT:
      line.text("A TLS record from ").shown(report.host, HOST_SHARE).text(" did not decrypt");
      return true;
    default:
      return false;
  }
}

LogLine connect_line(const DownloadReport& report) {
  LineWriter line;
  switch (report.connect) {
    case ConnectFailure::NO_SUCH_HOST:
      return line.text("The host ").shown(report.host, HOST_SHARE).text(" could not be found.").done();
    case ConnectFailure::REFUSED:
      line.shown(report.host, HOST_SHARE).text(" refused the connection on port ");
      return line.number(report.port).text(".").done();
    case ConnectFailure::TIMED_OUT:
      line.shown(report.host, HOST_SHARE).text(" did not answer on port ").number(report.port).text(" within ");
      return line.count(CONNECT_TIMEOUT_MS / 1000).text(" s.").done();
    default:
      break;
  }
  line.text("Could not connect to ").shown(report.host, HOST_SHARE).text(" on port ").number(report.port);
  switch (report.error) {
    case WSAENETUNREACH:
      return line.text(": the network is unreachable.").done();
    case WSAEHOSTUNREACH:
      return line.text(": the host is unreachable.").done();
    default:
      return line.text(" (error ").number(report.error).text(").").done();
  }
}

LogLine send_line(const DownloadReport& report) {
  LineWriter line;
  if (report.send == SendOutcome::TIMED_OUT) {
    line.shown(report.host, HOST_SHARE).text(" did not take the request within ");
    return line.count(SEND_TIMEOUT_MS / 1000).text(" s.").done();
  }
  line.text("The connection to ").shown(report.host, HOST_SHARE).text(" was lost while sending the request");
  return line.text(" (error ").number(report.error).text(").").done();
}

LogLine status_line(const DownloadReport& report) {
  LineWriter line;
  line.text("The server answered ").count(static_cast<uint32_t>(report.status));
  std::string_view reason = report.reason;
  while (!reason.empty() && reason.front() == ' ') reason.remove_prefix(1);
  while (!reason.empty() && reason.back() == ' ') reason.remove_suffix(1);
  if (!reason.empty()) line.text(" ").shown(reason, RESPONSE_REASON_LIMIT);
  return line.text(".").done();
}

std::string_view broken_rule(HeadRule rule) {
  switch (rule) {
    case HeadRule::STATUS_LINE:
      return "its status line has no three-digit status";
    case HeadRule::FOLDED_FIRST_HEADER:
      return "its first header line is folded";
    case HeadRule::LENGTH_NO_DIGITS:
      return "its Content-Length is empty";
    case HeadRule::LENGTH_NOT_A_NUMBER:
      return "its Content-Length is not a number";
    case HeadRule::LENGTH_NEGATIVE:
      return "its Content-Length is negative";
    case HeadRule::LENGTH_TOO_LARGE:
      return "its Content-Length is too large";
    case HeadRule::LENGTH_CONFLICT:
      return "it gives two different lengths";
    case HeadRule::TOO_LARGE:
      return "its head is larger than 64 KiB";
    case HeadRule::LOCATION_CONFLICT:
      return "it gives two different locations";
    case HeadRule::LOCATION_TOO_LONG:
      return "its location is too long";
    default:
      return "its head is malformed";
  }
}

LogLine head_line(const DownloadReport& report) {
  LineWriter line;
  if (tls_fault(line, report)) return line.text(" before the answer was complete.").done();
  if (report.rule != HeadRule::CUT_SHORT) {
    return line.text("The server's answer broke the rules of HTTP: ").text(broken_rule(report.rule)).text(".").done();
  }
  switch (report.ended) {
    case ReceiveOutcome::TIMED_OUT:
      line.shown(report.host, HOST_SHARE).text(" sent no complete answer within ");
      return line.count(HEAD_TIMEOUT_MS / 1000).text(" s.").done();
    case ReceiveOutcome::FAILED:
      line.text("The connection to ").shown(report.host, HOST_SHARE).text(" was lost before the answer was complete");
      return line.text(" (error ").number(report.error).text(").").done();
    default:
      line.shown(report.host, HOST_SHARE).text(" closed the connection before its answer was complete.");
      return line.done();
  }
}

// "after 1,000 of 2,000 bytes", or "after 1,000 bytes" with no length known.
LineWriter& so_far(LineWriter& line, const DownloadReport& report) {
  line.text("after ").count(static_cast<uint64_t>(report.received));
  if (report.length >= 0) line.text(" of ").count(static_cast<uint64_t>(report.length));
  return line.text(" bytes");
}

LogLine cut_line(const DownloadReport& report) {
  LineWriter line;
  if (tls_fault(line, report)) return so_far(line.text(", "), report).text(".").done();
  switch (report.ended) {
    case ReceiveOutcome::TIMED_OUT:
      line.shown(report.host, HOST_SHARE).text(" sent nothing for ").count(BODY_PIECE_TIMEOUT_MS / 1000);
      return so_far(line.text(" s, "), report).text(".").done();
    case ReceiveOutcome::FAILED:
      so_far(line.text("The connection to ").shown(report.host, HOST_SHARE).text(" was lost "), report);
      if (report.error == WSAECONNRESET) return line.text(": the server reset it.").done();
      return line.text(" (error ").number(report.error).text(").").done();
    default:
      so_far(line.shown(report.host, HOST_SHARE).text(" closed the connection "), report);
      return line.text(report.length >= 0 ? "." : ", before the file's end.").done();
  }
}

bool disk_full(uint32_t error) { return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL; }

LogLine temporary_file_line(const DownloadReport& report, std::string_view destination) {
  LineWriter line;
  const std::string_view folder = folder_of(destination);
  switch (report.error) {
    case ERROR_PATH_NOT_FOUND:
    case ERROR_FILE_NOT_FOUND:
      return line.text("The folder ").users(folder, PATH_SHARE).text(" does not exist.").done();
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
      return line.text("No file can be created in ").users(folder, PATH_SHARE).text(": access denied.").done();
    case ERROR_INVALID_NAME:
      return line.text("\"Save as:\" is not a valid file name.").done();
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return line.text("Every temporary name for the file is taken in ").users(folder, PATH_SHARE).text(".").done();
    default:
      if (disk_full(report.error)) return line.text("The disk is full.").done();
      line.text("No file can be created in ").users(folder, PATH_SHARE);
      return line.text(" (error ").number(report.error).text(").").done();
  }
}

LogLine write_line(const DownloadReport& report) {
  LineWriter line;
  so_far(line.text("Writing the file failed "), report);
  if (disk_full(report.error)) return line.text(": the disk is full.").done();
  return line.text(" (error ").number(report.error).text(").").done();
}

LogLine commit_line(const DownloadReport& report, std::string_view destination) {
  LineWriter line;
  switch (report.error) {
    case ERROR_FILE_READ_ONLY:
      return line.users(destination, PATH_SHARE).text(" is read-only and was left as it was.").done();
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return line.users(destination, PATH_SHARE).text(" is in use by another program and was left as it was.").done();
    case ERROR_ACCESS_DENIED:
      return line.users(destination, PATH_SHARE).text(" cannot be replaced: access denied.").done();
    default:
      if (disk_full(report.error)) return line.text("The disk is full.").done();
      line.text("The finished file could not be saved as ").users(destination, PATH_SHARE);
      return line.text(" (error ").number(report.error).text(").").done();
  }
}

// A failure that a redirect's target met says where: the line ends with
// the URL of the request that failed.
LogLine at_hop(const LogLine& line, const DownloadReport& report) {
  if (report.redirects == 0 || line.length == 0 || line.text[line.length - 1] != '.') return line;
  LineWriter writer(line, 1);
  writer.text(", at ");
  return writer.shown(report.url, writer.room() - 1).text(".").done();
}

LogLine redirect_line(const DownloadReport& report) {
  LineWriter line;
  switch (report.redirect) {
    case RedirectFault::TOO_MANY:
      return line.text("Too many redirects (more than ").count(REDIRECT_LIMIT).text(").").done();
    case RedirectFault::NO_LOCATION:
      return at_hop(LineWriter(status_line(report), 1).text(" but named no place to go to.").done(), report);
    case RedirectFault::DOWNGRADE:
      line.text("Refused a redirect from https to ");
      return line.shown(report.url, line.room() - 1).text(".").done();
    case RedirectFault::SCHEME: {
      constexpr std::string_view followed = ": only http:// and https:// are followed.";
      line.text("Refused a redirect to ");
      return line.shown(report.url, line.room() - followed.size()).text(followed).done();
    }
    default:
      line.text("The server redirected to a place that cannot be fetched: ");
      return line.shown(report.url, line.room() - 1).text(".").done();
  }
}

LogLine hop_failure_line(const DownloadReport& report) {
  switch (report.outcome) {
    case DownloadOutcome::CONNECT:
      return connect_line(report);
    case DownloadOutcome::SEND:
      return send_line(report);
    case DownloadOutcome::STATUS:
      return status_line(report);
    case DownloadOutcome::HEAD:
      return head_line(report);
    case DownloadOutcome::BODY_CUT_SHORT:
      return cut_line(report);
    case DownloadOutcome::BODY_FRAMING: {
      LineWriter line;
      return so_far(line.text("The server's chunked framing broke "), report).text(".").done();
    }
    case DownloadOutcome::TLS_HANDSHAKE:
      return handshake_line(report);
    case DownloadOutcome::CERTIFICATE:
      return certificate_line(report);
    default:
      return LineWriter().text("The download failed.").done();
  }
}

}  // namespace

LogLine success_line(const DownloadReport& report, uint64_t milliseconds) {
  LineWriter line;
  line.text("Saved ").count(static_cast<uint64_t>(report.received));
  line.text(report.received == 1 ? " byte in " : " bytes in ").seconds(milliseconds);
  if (report.moved) line.text(" from ").shown(report.url, line.room() - 1);
  return line.text(".").done();
}

LogLine failure_line(const DownloadReport& report, std::string_view destination) {
  LineWriter line;
  switch (report.outcome) {
    case DownloadOutcome::STOPPED:
      return line.text("Stopped.").done();
    case DownloadOutcome::BAD_URL:
      return url_line(report);
    case DownloadOutcome::REFUSED_SCHEME:
      line.text("The scheme \"").shown(report.scheme, REPORT_SCHEME_LIMIT);
      return line.text("\" is not supported; only http:// and https:// URLs can be downloaded.").done();
    case DownloadOutcome::BAD_DESTINATION:
      if (report.destination_fault == DestinationFault::EMPTY) return line.text("\"Save as:\" names no file.").done();
      return line.text("\"Save as:\" names a folder, not a file.").done();
    case DownloadOutcome::NO_MEMORY:
      return line.text("There was not enough memory.").done();
    case DownloadOutcome::TEMPORARY_FILE:
      return temporary_file_line(report, destination);
    case DownloadOutcome::WRITE:
      return write_line(report);
    case DownloadOutcome::COMMIT:
      return commit_line(report, destination);
    case DownloadOutcome::REDIRECT:
      return redirect_line(report);
    case DownloadOutcome::CONNECT:
    case DownloadOutcome::SEND:
    case DownloadOutcome::STATUS:
    case DownloadOutcome::HEAD:
    case DownloadOutcome::BODY_CUT_SHORT:
    case DownloadOutcome::BODY_FRAMING:
    case DownloadOutcome::TLS_HANDSHAKE:
    case DownloadOutcome::CERTIFICATE:
      return at_hop(hop_failure_line(report), report);
    case DownloadOutcome::COMPLETE:
      break;
  }
  return line.text("The download failed.").done();
}
