#include "query/http_server.h"

#include <cstring>

namespace tellwen::query {

std::string CHttpServerContext::GetServerVariable(const char* name) const {
  char buffer[999];
  uint32_t size = sizeof buffer;
  if (ecb_->GetServerVariable == nullptr ||
      !ecb_->GetServerVariable(ecb_->ConnID, name, buffer, &size)) {
    return std::string();
  }
  if (size == 0) return std::string();
  if (size > sizeof buffer) size = sizeof buffer;
  return std::string(buffer, strnlen(buffer, size));
}

bool CHttpServerContext::WriteClient(const std::string& text) const {
  size_t done = 0;
  while (done < text.size()) {
    const size_t chunk = std::min<size_t>(text.size() - done, 1u << 30);
    uint32_t bytes = static_cast<uint32_t>(chunk);
    if (!ecb_->WriteClient(ecb_->ConnID, text.data() + done, &bytes, 0)) return false;
    done += chunk;
  }
  return true;
}

bool CHttpServerContext::SendResponseHeader(const std::string& status,
                                            const std::string& headers) const {
  ecb_->dwHttpStatusCode = static_cast<uint32_t>(atoi(status.c_str()));
  return ecb_->ServerSupportFunction(
      ecb_->ConnID, kHseReqSendResponseHeader, const_cast<char*>(status.c_str()), nullptr,
      reinterpret_cast<uint32_t*>(const_cast<char*>(headers.c_str())));
}

std::string CHttpServerContext::MapUrlToPath(const std::string& url) const {
  char buffer[4096];
  if (url.size() + 1 > sizeof buffer) return std::string();
  memcpy(buffer, url.c_str(), url.size() + 1);
  uint32_t size = sizeof buffer;
  if (!ecb_->ServerSupportFunction(ecb_->ConnID, kHseReqMapUrlToPath, buffer, &size, nullptr)) {
    return std::string();
  }
  return std::string(buffer, strnlen(buffer, sizeof buffer));
}

bool CHttpServer::OnParseError(CHttpServerContext* ctx, int) {
  WriteMinimalPage(ctx);
  return true;
}

bool CHttpServer::TerminateExtension(uint32_t) { return true; }

bool CHttpServer::GetExtensionVersion(HseVersionInfo* version) {
  version->dwExtensionVersion = kHseVersion;
  version->lpszExtensionDesc[0] = '\0';
  return true;
}

std::string CHttpServer::TitleBlock() const {
  return "<html><head><title>" + GetTitle() + "</title></head><body>";
}

void CHttpServer::WriteMinimalPage(CHttpServerContext* ctx, const std::string& body) const {
  ctx->SendResponseHeader("200 OK", "Content-Type: text/html\r\n");
  ctx->WriteClient(TitleBlock() + body + "</body></html>");
}

uint32_t CHttpServer::HttpExtensionProc(ExtensionControlBlock* ecb) {
  CHttpServerContext ctx(ecb);
  ctx.query_string = ecb->lpszQueryString ? ecb->lpszQueryString : "";
  const bool is_post = ecb->lpszMethod && strcmp(ecb->lpszMethod, "POST") == 0;
  bool too_long = false;
  if (is_post && ecb->cbTotalBytes > 0) {
    if (ecb->cbTotalBytes > kMaxPostedBytes) {
      too_long = true;
    } else {
      ctx.posted.assign(reinterpret_cast<const char*>(ecb->lpbData),
                        std::min(ecb->cbAvailable, ecb->cbTotalBytes));
      char chunk[16384];
      while (ctx.posted.size() < ecb->cbTotalBytes && ecb->ReadClient) {
        uint32_t size = static_cast<uint32_t>(
            std::min<size_t>(sizeof chunk, ecb->cbTotalBytes - ctx.posted.size()));
        if (!ecb->ReadClient(ecb->ConnID, chunk, &size) || size == 0) break;
        ctx.posted.append(chunk, size);
      }
    }
  }
  ParsedRequest request;
  if (too_long) {
    request.cause = kParseBadParam;
  } else {
    request = GetParseMap().Parse(ctx.query_string, ctx.posted);
  }
  if (request.cause != kParseOk) {
    OnParseError(&ctx, request.cause);
    return kHseStatusSuccess;
  }
  CallHandler(&ctx, request);
  return kHseStatusSuccess;
}

}  // namespace tellwen::query
