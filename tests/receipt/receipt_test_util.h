// A temporary program folder and input files for whole receipt runs.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "core/errors.h"
#include "core/files.h"
#include "support/test_util.h"

namespace tavo::test {

class ReceiptRunTest : public ::testing::Test {
 protected:
  // Writes the bytes as an input file beside the program folder; returns its path.
  Text Input(const std::string& bytes, const std::string& name = "in.UKE") {
    WriteBytes(dir_ / name, bytes);
    return PathText(dir_ / name);
  }
  // The path of an output (UTF-8 name) in the program folder.
  fs::path Out(const std::string& name) const { return env_.programDir / PathFromText(T(name)); }

  TempDir dir_;
  Env env_ = MakeEnv(dir_.path());
};

}  // namespace tavo::test
