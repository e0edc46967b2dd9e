#include <winerror.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/download_lines.h"

namespace {

DownloadReport report_of(DownloadOutcome outcome) {
  DownloadReport report;
  report.outcome = outcome;
  std::strcpy(report.host, "example.org");
  report.port = 8080;
  return report;
}

std::string failure(const DownloadReport& report, std::string_view destination = "C:\\Data\\a.zip") {
  return std::string(failure_line(report, destination).view());
}

// One line for each kind of failure, specific enough to act on.
TEST(DownloadLines, EachFailureSaysWhy) {
  struct Case {
    const char* what;
    DownloadReport report;
    std::string line;
  };
  auto with = [](DownloadOutcome outcome, auto change) {
    DownloadReport report = report_of(outcome);
    change(report);
    return report;
  };
  const Case cases[] = {
      {"stopped", report_of(DownloadOutcome::STOPPED), "Stopped."},
      {"status", with(DownloadOutcome::STATUS, [](auto& r) { r.status = 404, std::strcpy(r.reason, "Not Found"); }),
       "The server answered 404 Not Found."},
      {"status without a reason", with(DownloadOutcome::STATUS, [](auto& r) { r.status = 404; }),
       "The server answered 404."},
      {"no such host", with(DownloadOutcome::CONNECT, [](auto& r) { r.connect = ConnectFailure::NO_SUCH_HOST; }),
       "The host example.org could not be found."},
      {"refused", with(DownloadOutcome::CONNECT, [](auto& r) { r.connect = ConnectFailure::REFUSED; }),
       "example.org refused the connection on port 8080."},
      {"no answer", with(DownloadOutcome::CONNECT, [](auto& r) { r.connect = ConnectFailure::TIMED_OUT; }),
       "example.org did not answer on port 8080 within 21 s."},
      {"head time-out",
       with(DownloadOutcome::HEAD, [](auto& r) { r.rule = HeadRule::CUT_SHORT, r.ended = ReceiveOutcome::TIMED_OUT; }),
       "example.org sent no complete answer within 10 s."},
      {"cut after 99%",
       with(DownloadOutcome::BODY_CUT_SHORT,
            [](auto& r) { r.ended = ReceiveOutcome::CLOSED, r.received = 990000, r.length = 1000000; }),
       "example.org closed the connection after 990,000 of 1,000,000 bytes."},
      {"silent in the body",
       with(DownloadOutcome::BODY_CUT_SHORT, [](auto& r) { r.ended = ReceiveOutcome::TIMED_OUT, r.received = 5; }),
       "example.org sent nothing for 10 s, after 5 bytes."},
      {"malformed head", with(DownloadOutcome::HEAD, [](auto& r) { r.rule = HeadRule::LENGTH_CONFLICT; }),
       "The server's answer broke the rules of HTTP: it gives two different lengths."},
      {"disk full", with(DownloadOutcome::WRITE, [](auto& r) { r.error = ERROR_DISK_FULL, r.received = 1048576; }),
       "Writing the file failed after 1,048,576 bytes: the disk is full."},
      {"no such folder", with(DownloadOutcome::TEMPORARY_FILE, [](auto& r) { r.error = ERROR_PATH_NOT_FOUND; }),
       "The folder C:\\Data\\ does not exist."},
      {"read-only", with(DownloadOutcome::COMMIT, [](auto& r) { r.error = ERROR_FILE_READ_ONLY; }),
       "C:\\Data\\a.zip is read-only and was left as it was."},
      {"a folder", with(DownloadOutcome::BAD_DESTINATION, [](auto& r) { r.destination_fault = DestinationFault::FOLDER; }),
       "\"Save as:\" names a folder, not a file."},
      {"scheme", with(DownloadOutcome::REFUSED_SCHEME, [](auto& r) { std::strcpy(r.scheme, "ftp"); }),
       "The scheme \"ftp\" is not supported; only http:// and https:// URLs can be downloaded."},
      {"bad port", with(DownloadOutcome::BAD_URL, [](auto& r) { r.url_fault = UrlFault::BAD_PORT; }),
       "The URL's port is not a number from 1 to 65535."},
      {"expired certificate", with(DownloadOutcome::CERTIFICATE, [](auto& r) { r.tls.failure = TlsFailure::EXPIRED; }),
       "example.org's certificate has expired."},
      {"an old protocol",
       with(DownloadOutcome::TLS_HANDSHAKE,
            [](auto& r) { r.tls.failure = TlsFailure::PROTOCOL_TOO_OLD, r.tls.version = 0x0301; }),
       "example.org offers only TLS 1.0; TLS 1.2 or later is required."},
      {"plain http on the TLS port", with(DownloadOutcome::TLS_HANDSHAKE, [](auto& r) { r.tls.failure = TlsFailure::NOT_TLS; }),
       "The server at example.org on port 8080 does not speak TLS."},
      {"cut without close_notify",
       with(DownloadOutcome::BODY_CUT_SHORT,
            [](auto& r) {
              r.ended = ReceiveOutcome::TRUNCATED, r.tls.failure = TlsFailure::TRUNCATED, r.received = 10, r.length = 20;
            }),
       "The connection to example.org was cut without TLS close_notify, after 10 of 20 bytes."},
      {"a failed handshake",
       with(DownloadOutcome::TLS_HANDSHAKE,
            [](auto& r) { r.tls.failure = TlsFailure::HANDSHAKE_FAILED, r.tls.status = 0x80090326; }),
       "The TLS handshake with example.org failed (error 0x80090326)."},
  };
  for (const Case& c : cases) EXPECT_EQ(failure(c.report), c.line) << c.what;
}

// Server text reaches the log as printable ASCII, and no line is longer
// than the limit, whatever the host or path: they are cut in the middle.
TEST(DownloadLines, LinesStayShortAndPrintable) {
  DownloadReport report = report_of(DownloadOutcome::CONNECT);
  report.connect = ConnectFailure::NO_SUCH_HOST;
  std::memset(report.host, 'h', REPORT_HOST_LIMIT);
  report.host[0] = '\x1b';
  report.host[REPORT_HOST_LIMIT] = '\0';
  const std::string host_line = failure(report);
  EXPECT_LE(host_line.size(), LOG_LINE_LIMIT);
  EXPECT_NE(host_line.find("?hhh"), std::string::npos) << host_line;
  EXPECT_NE(host_line.find("..."), std::string::npos) << host_line;
  EXPECT_EQ(host_line.substr(host_line.size() - 21), "h could not be found.");

  DownloadReport commit = report_of(DownloadOutcome::COMMIT);
  commit.error = ERROR_SHARING_VIOLATION;
  const std::string destination = "C:\\" + std::string(300, 'd') + "\\f\xe9te.zip";
  const std::string path_line = failure(commit, destination);
  EXPECT_LE(path_line.size(), LOG_LINE_LIMIT);
  EXPECT_EQ(path_line.substr(0, 6), "C:\\ddd");
  // The user's own path keeps the characters of its code page.
  EXPECT_NE(path_line.find("\\f\xe9te.zip is in use by another program"), std::string::npos) << path_line;

  for (unsigned char c = 0; c < 0x20; ++c) {
    DownloadReport status = report_of(DownloadOutcome::STATUS);
    status.status = 500;
    status.reason[0] = static_cast<char>(c ? c : 0x7F);
    status.reason[1] = 'x';
    EXPECT_EQ(failure(status), "The server answered 500 ?x.") << int(c);
  }
}

std::string success(int64_t bytes, uint64_t milliseconds) {
  DownloadReport report;
  report.received = bytes;
  return std::string(success_line(report, milliseconds).view());
}

TEST(DownloadLines, SuccessSaysTheSizeAndTheTime) {
  EXPECT_EQ(success(4305702915, 33750), "Saved 4,305,702,915 bytes in 33.8 s.");
  EXPECT_EQ(success(1, 40), "Saved 1 byte in less than 0.1 s.");
  EXPECT_EQ(success(0, 1960), "Saved 0 bytes in 2.0 s.");
  EXPECT_EQ(success(999, 100), "Saved 999 bytes in 0.1 s.");
  EXPECT_EQ(success(1000, 100), "Saved 1,000 bytes in 0.1 s.");
}

// After redirects, a file says where it came from and a failure where it
// happened; a long URL is cut in its middle so that the line stays short.
TEST(DownloadLines, RedirectsNameTheirPlace) {
  DownloadReport moved;
  moved.received = 1048576;
  moved.redirects = 1;
  moved.moved = true;
  std::strcpy(moved.url, "https://example.org/files/a.zip");
  EXPECT_EQ(success_line(moved, 400).view(), "Saved 1,048,576 bytes in 0.4 s from https://example.org/files/a.zip.");
  const std::string long_url = "https://example.org/" + std::string(400, 'p') + "/end.zip";
  std::strcpy(moved.url, long_url.c_str());
  const std::string cut = std::string(success_line(moved, 400).view());
  EXPECT_EQ(cut.size(), LOG_LINE_LIMIT);
  EXPECT_EQ(cut.substr(0, 58), "Saved 1,048,576 bytes in 0.4 s from https://example.org/pp");
  EXPECT_NE(cut.find("..."), std::string::npos);
  EXPECT_EQ(cut.substr(cut.size() - 9), "/end.zip.");

  DownloadReport status = report_of(DownloadOutcome::STATUS);
  status.status = 404;
  std::strcpy(status.reason, "Not Found");
  status.redirects = 2;
  std::strcpy(status.url, "https://cdn.example.org/a.zip");
  EXPECT_EQ(failure(status), "The server answered 404 Not Found, at https://cdn.example.org/a.zip.");

  struct Case {
    RedirectFault fault;
    const char* url;
    std::string line;
  };
  const Case cases[] = {
      {RedirectFault::TOO_MANY, "http://example.org/loop", "Too many redirects (more than 20)."},
      {RedirectFault::DOWNGRADE, "http://example.org/a.zip", "Refused a redirect from https to http://example.org/a.zip."},
      {RedirectFault::SCHEME, "ftp://example.org/a.zip",
       "Refused a redirect to ftp://example.org/a.zip: only http:// and https:// are followed."},
      {RedirectFault::BAD_LOCATION, "//bad host/x",
       "The server redirected to a place that cannot be fetched: //bad host/x."},
  };
  for (const Case& c : cases) {
    DownloadReport report = report_of(DownloadOutcome::REDIRECT);
    report.redirect = c.fault;
    std::strcpy(report.url, c.url);
    EXPECT_EQ(failure(report), c.line);
  }
  DownloadReport nowhere = report_of(DownloadOutcome::REDIRECT);
  nowhere.redirect = RedirectFault::NO_LOCATION;
  nowhere.status = 302;
  std::strcpy(nowhere.reason, "Found");
  EXPECT_EQ(failure(nowhere), "The server answered 302 Found but named no place to go to.");
}

}  // namespace
