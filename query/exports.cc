// The three exports the web server looks up in KIVQuery.so. The one
// extension object works on this machine's settings, catalog database and
// clock.
#include "base/clock.h"
#include "common/settings.h"
#include "common/sql_session.h"
#include "platform/isapi/httpext.h"
#include "query/query_server.h"

namespace tellwen::query {

CQueryServer* TheQueryServer() {
  static CQueryServer server(MachineSettings(), MachineSql(), MachineClock());
  return &server;
}

}  // namespace tellwen::query

extern "C" {

__attribute__((visibility("default"))) bool GetExtensionVersion(HseVersionInfo* pVer) {
  tellwen::query::CQueryServer* server = tellwen::query::TheQueryServer();
  if (server == nullptr || pVer == nullptr) return false;
  return server->GetExtensionVersion(pVer);
}

__attribute__((visibility("default"))) uint32_t HttpExtensionProc(ExtensionControlBlock* pECB) {
  tellwen::query::CQueryServer* server = tellwen::query::TheQueryServer();
  if (server == nullptr) {
    pECB->dwHttpStatusCode = 500;
    return kHseStatusError;
  }
  return server->HttpExtensionProc(pECB);
}

__attribute__((visibility("default"))) bool TerminateExtension(uint32_t dwFlags) {
  tellwen::query::CQueryServer* server = tellwen::query::TheQueryServer();
  if (server == nullptr) return true;
  return server->TerminateExtension(dwFlags);
}

}  // extern "C"
