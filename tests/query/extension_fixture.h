// Test support: the web extension's surroundings in a scratch folder, for
// tests that run it in-process on a fake control block. The site is open, its
// database does not exist, the two ping images are in the scripts folder, the
// data folder is dir_/data, and report files go below dir_ (their switches
// are each test's to set).
//
// Thread safety: one test at a time (it sets environment variables).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "common/kiv_registry.h"
#include "tests/base/recording_messages.h"
#include "tests/query/fake_ecb.h"
#include "tests/support/file_text.h"
#include "tests/support/scratch_store.h"

namespace tellwen::testing {

class ExtensionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Set("WebStatus", "yes");
    Set("SqlServer", "localhost");
    Set("SqlDatabase", "nothere");
    Set("ReportFileShortDaily", "0");
    std::filesystem::create_directories(Scripts());
    std::ofstream(Scripts() + "pingyes.gif") << "GIF89a-yes";
    std::ofstream(Scripts() + "pingno.gif") << "GIF89a-no";
  }
  static void Set(const std::string& name, const std::string& value) {
    CKIVRegistry().SetValue(name, value);
  }
  static std::string Setting(const std::string& name) { return CKIVRegistry().GetValue(name); }
  std::string Scripts() const { return dir_.path() + "/scripts/"; }
  // A file below dir_, "" when there is none.
  std::string Read(const std::string& name) const { return FileText(dir_.path() + "/" + name); }
  // request with the scripts folder set, as kivweb hands it over.
  FakeRequest Request(const std::string& query, const std::string& method = "GET",
                      const std::string& body = "") const {
    FakeRequest request(query, method, body);
    request.scripts_folder = Scripts();
    return request;
  }

  ScratchStore dir_;
  ScopedRecordingMessages messages_;
};

}  // namespace tellwen::testing
