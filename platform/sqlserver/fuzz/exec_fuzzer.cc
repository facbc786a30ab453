// libFuzzer target for the whole server: any input of up to 64 KB is run as a
// batch on a scratch database (lexer, parser, translator, interpreter and
// SQLite), and must be answered or refused with an error without crashing,
// hanging past the command timeout or reading out of bounds.
//
// The scratch data folder is made once per process under $TMPDIR; one
// connection serves every input, so that state left by one input (tables,
// procedures) is there for the next, as in a long-lived session.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "platform/sqlserver/sql_server.h"

namespace {

constexpr size_t kMaxInput = 64 * 1024;

tellwen::sqlserver::Connection* Scratch() {
  static std::unique_ptr<tellwen::sqlserver::Connection> connection = [] {
    std::string dir = (std::filesystem::temp_directory_path() / "tellwen-fuzz.XXXXXX").string();
    if (!mkdtemp(dir.data())) abort();
    tellwen::sqlserver::ConnectOptions options;
    options.data_dir = dir;
    options.data_source = "localhost";
    options.user = "sa";
    options.command_timeout_seconds = 1;
    tellwen::sqlserver::SqlError error;
    auto master = tellwen::sqlserver::Connection::Open(options, &error);
    if (!master) abort();
    tellwen::sqlserver::BatchResult result;
    if (!master->Execute("create database [fuzz]", &result, &error)) abort();
    options.database = "fuzz";
    auto c = tellwen::sqlserver::Connection::Open(options, &error);
    if (!c) abort();
    return c;
  }();
  return connection.get();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > kMaxInput) return -1;  // not added to the corpus
  std::string_view text(reinterpret_cast<const char*>(data), size);
  tellwen::sqlserver::BatchResult result;
  tellwen::sqlserver::SqlError error;
  Scratch()->Execute(text, &result, &error);
  return 0;
}
