#include "query/download.h"

#include <atomic>
#include <cctype>
#include <map>
#include <mutex>
#include <vector>

#include "base/list_value.h"
#include "platform/net/credentials_file.h"
#include "platform/net/smb_url.h"
#include "query/capped_slot.h"
#include "query/escape.h"
#include "query/file_sender.h"
#include "query/text_utils.h"

namespace tellwen::query {

bool DownloadPermitted(const std::string& remote_addr, const DownloadSettings& settings) {
  if (!settings.proxy_enabled) return false;
  if (settings.all_are_members) return true;
  if (remote_addr.empty()) return false;
  for (const std::string& member : ReadListValue(settings.members_list)) {
    if (member == remote_addr) return true;
  }
  return false;
}

bool ParseCatalogId(const std::string& text, long long* id) {
  if (!IsDigits(text) || text.size() > 18) return false;
  *id = std::stoll(text);
  return true;
}

std::string ContentDisposition(const std::string& file_name) {
  std::string plain;
  for (unsigned char c : file_name) {
    const bool safe = c >= 0x20 && c < 0x7f && c != '"' && c != '\\' && c != '/' && c != ';';
    plain += safe ? static_cast<char>(c) : '_';
  }
  if (plain.empty()) plain = "download";
  return "attachment; filename=\"" + plain + "\"; filename*=UTF-8''" +
         Escape(file_name, Escaping::kHeaderValue);
}

std::string ShareFilePath(const std::string& full_path) {
  if (full_path.compare(0, 2, "//") != 0) return std::string();
  const std::vector<std::string> pieces = SplitText(full_path, '/');
  if (pieces.size() < 3) return std::string();
  std::string path = "\\";
  for (const std::string& piece : pieces) {
    if (piece == "." || piece == ".." || piece.find('\\') != std::string::npos ||
        piece.find('\0') != std::string::npos) {
      return std::string();
    }
    path += "\\" + piece;
  }
  if (pieces.back() == "*") return std::string();
  return path;
}

namespace {

void InvalidFile(CHttpServerContext* ctx) { WriteAnswerPage(ctx, "Error: Invalid file"); }

std::atomic<size_t> running_downloads{0};

// The downloads running per computer (upper-case name), for
// kMaxDownloadsPerComputer; the lock is held only to count.
std::mutex computers_mutex;
std::map<std::string, size_t> computer_downloads;

// One of a computer's places, held for the span of a download.
class ComputerSlot {
 public:
  explicit ComputerSlot(const std::string& computer) : computer_(computer) {
    for (char& c : computer_) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    std::lock_guard<std::mutex> lock(computers_mutex);
    size_t& running = computer_downloads[computer_];
    taken_ = running < kMaxDownloadsPerComputer;
    if (taken_) ++running;
    if (running == 0) computer_downloads.erase(computer_);
  }
  ~ComputerSlot() {
    if (!taken_) return;
    std::lock_guard<std::mutex> lock(computers_mutex);
    auto it = computer_downloads.find(computer_);
    if (--it->second == 0) computer_downloads.erase(it);
  }
  ComputerSlot(const ComputerSlot&) = delete;
  ComputerSlot& operator=(const ComputerSlot&) = delete;
  bool taken() const { return taken_; }

 private:
  std::string computer_;
  bool taken_ = false;
};

// The scan account offered to one computer for one download, on the
// request thread; the thread's later downloads are guest logins again.
class ScanLogin {
 public:
  ScanLogin(net::Network& network, const std::string& computer)
      : network_(network), computer_("\\\\" + computer) {}
  ~ScanLogin() {
    if (offered_) network_.CancelConnection(computer_, true);
  }
  ScanLogin(const ScanLogin&) = delete;
  ScanLogin& operator=(const ScanLogin&) = delete;
  void Offer(const net::NetAccount& account) {
    net::NetResource resource;
    resource.remote_name = computer_;
    network_.AddConnection(resource, account);
    offered_ = true;
  }

 private:
  net::Network& network_;
  const std::string computer_;
  bool offered_ = false;
};

}  // namespace

void DownloadRequest(CHttpServerContext* ctx, const std::string& proxy,
                     const DownloadSettings& settings, net::Network& network, SqlSession& sql,
                     RequestReports& reports) {
  long long id = 0;
  if (!ParseCatalogId(proxy, &id)) {
    InvalidFile(ctx);
    return;
  }
  const CappedSlot slot(running_downloads, kMaxDownloads);
  if (!slot.taken()) {
    reports.Detail("download: refused, " + std::to_string(kMaxDownloads) + " running");
    WriteAnswerPage(ctx, kDownloadsBusyText, "503 Service Unavailable", "Retry-After: 60\r\n");
    return;
  }
  SqlResult result =
      sql.Run("spGetFullPathFileFromID " + std::to_string(id), 4, SqlCaller::kQueryStatementRunner);
  if (result.error) {
    reports.Detail("unexpected error [SQLQuery]: " + result.description + " src:" + result.source);
  }
  const std::string path = result.error || result.rows.empty() || result.rows[0].empty()
                               ? std::string()
                               : ShareFilePath(result.rows[0][0]);
  if (path.empty()) {
    InvalidFile(ctx);
    return;
  }
  const std::string file_name = result.rows[0].size() > 1 ? result.rows[0][1] : "";
  const std::string computer = net::ComputerOfUnc(path);
  const ComputerSlot computer_slot(computer);
  if (!computer_slot.taken()) {
    reports.Detail("download: refused, " + std::to_string(kMaxDownloadsPerComputer) +
                   " running from " + LogSafe(computer));
    WriteAnswerPage(ctx, kComputerBusyText, "503 Service Unavailable", "Retry-After: 60\r\n");
    return;
  }
  net::NetStatus status = net::NetStatus::kOk;
  // Declared before the reader, so the file is closed before the login goes.
  ScanLogin scan_login(network, computer);
  std::unique_ptr<net::FileReader> reader = network.OpenFile(path, &status);
  if (!reader && status == net::NetStatus::kAccessDenied && settings.with_scan_account) {
    net::NetAccount account;
    const std::string problem =
        net::LoadScanAccount(settings.credentials_file, settings.use_kerberos, &account);
    if (!problem.empty()) {
      reports.Detail("download: scan account: " + LogSafe(problem));
    } else if (!account.user.empty()) {
      scan_login.Offer(account);
      reader = network.OpenFile(path, &status);
    }
  }
  if (!reader) {
    reports.Detail("download: " + std::string(net::NetStatusText(status)) + " on " + LogSafe(path));
    WriteAnswerPage(ctx, "FileOpen&nbsp;failed&nbsp;on&nbsp;'" + HtmlEscapeSpaces(path) +
                             "'.<br>Error was: '" + net::NetStatusText(status) + "'<br>");
    return;
  }
  ctx->SendResponseHeader("200 OK",
                          "Content-Type: application/octet-stream\r\n"
                          "Content-Disposition: " +
                              ContentDisposition(file_name) + "\r\n");
  std::vector<char> block(kDownloadBlock);
  for (;;) {
    size_t got = 0;
    const net::NetStatus read = reader->Read(block.data(), block.size(), &got);
    if (read != net::NetStatus::kOk) {
      reports.Detail("download: read failed on " + LogSafe(path));
      break;
    }
    if (got == 0) break;
    if (!ctx->WriteClient(std::string(block.data(), got))) break;
  }
  reports.Short(PadLeft(ctx->GetServerVariable("REMOTE_ADDR"), 16) + " download [" +
                std::to_string(id) + "]");
}

}  // namespace tellwen::query
