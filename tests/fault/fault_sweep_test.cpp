// Every run, with its k-th file operation failing, for k = 1, 2, ... until a
// run gets through without reaching the fault. Whatever fails, the run reports
// an error or succeeds; inputs stay byte for byte; no temporary file stays; an
// output that existed before is unchanged or wholly replaced; a moved file is
// whole in at least one place. The faults are a failing device, and a file
// held by another program: for a moment (a rename or a removal then succeeds
// on its retry), through every retry, or until another failure in the retry.
#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <iostream>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "checkup/checkup_ops.h"
#include "core/errors.h"
#include "core/fault.h"
#include "core/files.h"
#include "core/output_folder.h"
#include "ff1/ff1_link.h"
#include "linkage/convert1.h"
#include "linkage/convert2.h"
#include "postal/postal_ops.h"
#include "receipt/receipt_ops.h"
#include "replace/replace_ops.h"
#include "support/test_util.h"

namespace tavo {
namespace {

namespace fs = std::filesystem;
using test::Fixture;
using test::ReadBytes;
using test::Sjis;
using test::TempDir;
using test::WriteBytes;

// Every file under the root: path relative to it -> bytes.
using Snapshot = std::map<std::string, std::string>;

Snapshot Snap(const fs::path& root) {
  Snapshot s;
  for (const auto& e : fs::recursive_directory_iterator(root)) {
    if (!e.is_regular_file()) continue;
    // UTF-8 with "/" on every system: names hold Japanese text.
    std::string key = ToUtf8(PathText(fs::relative(e.path(), root)));
    for (char& c : key)
      if (c == '\\') c = '/';
    s[key] = ReadBytes(e.path());
  }
  return s;
}

// A run's outcome as its caller sees it: success is no stop and no error box.
bool Succeeded(const std::vector<RunResult>& results) {
  for (const RunResult& r : results) {
    if (r.stopped) return false;
    for (const Message& m : r.messages)
      if (m.kind == MsgKind::Error) return false;
  }
  return true;
}
bool Succeeded(const RunResult& r) { return Succeeded(std::vector<RunResult>{r}); }

struct Scenario {
  const char* name;
  // Writes the inputs (and earlier outputs) under the root.
  std::function<void(const fs::path& root, const Env& env)> setup;
  // Runs the operation as its caller does; true when it reports success.
  std::function<bool(const fs::path& root, const Env& env)> run;
  // A move: (from, to) relative paths of which at least one must hold the file.
  std::vector<std::pair<std::string, std::string>> moved = {};
  // A scratch file of the run that stays when its removal fails.
  std::string scratch = {};
};

void PrintTo(const Scenario& sc, std::ostream* os) { *os << sc.name; }

Text P(const fs::path& p) { return PathText(p); }

void Put(const fs::path& file, const std::string& bytes) {
  fs::create_directories(file.parent_path());
  WriteBytes(file, bytes);
}

// The causes of the faults injected from the k-th operation on, one each.
struct Plan {
  const char* name;
  std::vector<FileCause> causes;
};

const Plan kPlans[] = {
    {"device", {FileCause::kDevice}},
    {"held", {FileCause::kHeld}},
    {"held then device", {FileCause::kHeld, FileCause::kDevice}},
    {"held throughout", std::vector<FileCause>(7, FileCause::kHeld)},
    // Retried on Windows for a file that is there; elsewhere a failure at once.
    {"access denied", {FileCause::kAccessDenied}},
};

// Runs one sweep; returns the number of faults injected.
std::size_t Sweep(const Scenario& sc, const Plan& plan) {
  Snapshot before;
  Snapshot expected;
  {
    TempDir dir;
    const Env env = test::MakeEnv(dir.path());
    sc.setup(dir.path(), env);
    before = Snap(dir.path());
    EXPECT_TRUE(sc.run(dir.path(), env)) << sc.name << ": the run without a fault fails";
    expected = Snap(dir.path());
    EXPECT_NE(before, expected) << sc.name << ": the run changed nothing";
  }
  std::map<std::string, int> kinds;
  for (std::uint64_t k = 1; k < 100000; ++k) {
    TempDir dir;
    const Env env = test::MakeEnv(dir.path());
    sc.setup(dir.path(), env);
    fault::Arm(k, plan.causes);
    bool ok = false;
    try {
      ok = sc.run(dir.path(), env);
    } catch (const std::exception& e) {
      ADD_FAILURE() << sc.name << " k=" << k << ": escaped exception " << e.what();
    }
    fault::Disarm();
    const Snapshot after = Snap(dir.path());
    const std::string where =
        std::string(sc.name) + ", " + plan.name + " k=" + std::to_string(k);
    if (!fault::Fired()) {
      EXPECT_TRUE(ok) << where;
      EXPECT_EQ(after, expected) << where;
      std::string line = "fault sweep: " + std::string(sc.name) + ", " + plan.name + ": " +
                         std::to_string(k - 1) + " faults (";
      bool first = true;
      for (const auto& [kind, n] : kinds) {
        line += (first ? "" : ", ") + kind + " " + std::to_string(n);
        first = false;
      }
      std::cout << line << ")" << std::endl;
      return k - 1;
    }
    const std::string op = FileOpName(fault::FiredOp());
    ++kinds[op];
    const std::string at = where + " (" + op + " fails)";
    // A rename or removal waits out a file held for a moment: the run is as without a fault.
    if (plan.causes == std::vector<FileCause>{FileCause::kHeld} &&
        (fault::FiredOp() == FileOp::kRename || fault::FiredOp() == FileOp::kRemove)) {
      EXPECT_TRUE(ok) << at;
      EXPECT_EQ(after, expected) << at;
    }
    // Every file is as before or as the run makes it: nothing partial, no temporary file.
    for (const auto& [path, bytes] : after) {
      if (path == sc.scratch && fault::FiredOn(FileOp::kRemove)) continue;
      const auto b = before.find(path);
      const auto x = expected.find(path);
      const bool asBefore = b != before.end() && b->second == bytes;
      const bool asExpected = x != expected.end() && x->second == bytes;
      EXPECT_TRUE(asBefore || asExpected) << at << ": " << path
                                          << (b == before.end() && x == expected.end()
                                                  ? " was left behind"
                                                  : " is neither the old nor the new file");
    }
    // Files the run keeps (its inputs among them) are still there.
    for (const auto& [path, bytes] : before) {
      const auto x = expected.find(path);
      if (x != expected.end() && x->second == bytes) {
        EXPECT_EQ(after.count(path), 1u) << at << ": " << path << " is gone";
      }
    }
    // A reported success holds every file the run writes.
    if (ok) {
      for (const auto& [path, bytes] : expected) {
        const auto b = before.find(path);
        if (b != before.end() && b->second == bytes) continue;
        const auto a = after.find(path);
        EXPECT_TRUE(a != after.end() && a->second == bytes)
            << at << ": reported success without " << path;
      }
    }
    for (const auto& [from, to] : sc.moved) {
      const std::string& whole = before.at(from);
      const bool there = (after.count(from) && after.at(from) == whole) ||
                         (after.count(to) && after.at(to) == whole);
      EXPECT_TRUE(there) << at << ": " << from << " is not whole in either place";
    }
    if (::testing::Test::HasFailure()) return k;
  }
  ADD_FAILURE() << sc.name << ": the sweep did not end";
  return 0;
}

// ------------------------------------------------------------------ scenarios

const std::string kShahoName = "(202604提出_社保)RECEIPTC.uke";

std::string Kokuho() {
  return Sjis("IR,2,13,1,1234567,,国保医院,202604,00,03\r\n"
              "RE,1,1112,202604,山田,1,19800101,,,,,,,55-2\r\nHO,1,2,3\r\nKO,1,2\r\nSJ,x\r\n");
}

// Receipt runs of one click on the 社保 and the 国保 file, with an earlier output present.
Scenario ReceiptScenario(const char* name, const std::string& earlier,
                         std::function<RunResult(const Env&, TextView, ClickOutputs*)> run) {
  return {name,
          [earlier](const fs::path& root, const Env& env) {
            Put(root / "in" / "shaho.UKE", Fixture("receipt/shaho.UKE"));
            Put(root / "in" / "kokuho.UKE", Kokuho());
            Put(env.programDir / PathFromText(T(earlier)), "earlier output\r\n");
          },
          [run](const fs::path& root, const Env& env) {
            ClickOutputs click;
            std::vector<RunResult> results;
            for (const char* file : {"shaho.UKE", "kokuho.UKE"}) {
              results.push_back(run(env, P(root / "in" / file), &click));
              if (results.back().stopped) break;
            }
            return Succeeded(results);
          }};
}

std::vector<Scenario> Scenarios() {
  std::vector<Scenario> s;
  s.push_back(ReceiptScenario("branch removal", kShahoName,
                              [](const Env& env, TextView file, ClickOutputs* click) {
                                return receipt::RemoveBranchNumbers(env, file, {}, click);
                              }));
  s.push_back(ReceiptScenario("anonymization", "202604_1.UKE",
                              [](const Env& env, TextView file, ClickOutputs* click) {
                                return receipt::AnonymizeReceipt(env, file, click);
                              }));
  s.push_back({"converter 1",
               [](const fs::path& root, const Env& env) {
                 Put(root / "in" / "ff.txt", Fixture("linkage/convert1_in.txt"));
                 Put(env.programDir / "202605_carte.csv", "earlier");
               },
               [](const fs::path& root, const Env& env) {
                 return Succeeded(linkage::Cnv(env, P(root / "in" / "ff.txt")));
               }});
  // Converter 2 as tavo-cli runs it: the selection reads the year-month first.
  auto convert2 = [](const fs::path& root, const Env& env) {
    const Text file = P(root / "in" / "ff.txt");
    const linkage::Selection selection = linkage::SelectFile2(file);
    if (!selection.hasNgt) return false;
    return Succeeded(linkage::Conv2(env, file));
  };
  s.push_back({"converter 2, item codes",
               [](const fs::path& root, const Env& env) {
                 Put(root / "in" / "ff.txt", Fixture("linkage/convert2_itemcode_in.txt"));
                 Put(env.nivaFf1Dir / "recelist.csv", Fixture("linkage/recelist.csv"));
                 Put(env.programDir / "202606_carte.csv", "earlier");
               },
               convert2});
  s.push_back({"converter 2, positional",
               [](const fs::path& root, const Env& env) {
                 Put(root / "in" / "ff.txt", Fixture("linkage/convert2_positional_in.txt"));
                 Put(env.programDir / "output.tsv", "stale");
               },
               convert2});
  s.push_back({"outpatient anonymizer",
               [](const fs::path& root, const Env& env) {
                 Put(root / "in" / "ff.txt", Fixture("linkage/anonymize_in.txt"));
                 Put(env.programDir / "ffano.txt", "earlier");
               },
               [](const fs::path& root, const Env& env) {
                 return Succeeded(linkage::Anonymize(env, P(root / "in" / "ff.txt")));
               }});
  s.push_back({"FF1 linkage",
               [](const fs::path& root, const Env&) {
                 auto row = [](const char* id, const char* ym, const char* code, const char* v) {
                   return std::string("1234567890\t") + id + "\t" + ym + "\t" + code + "\t1\t" +
                          v + "\t\t\t\t\t\t\t\t\r\n";
                 };
                 Put(root / "FF1" / "G_FF1_202404.txt",
                     Sjis("施設コード\tデータ識別番号\r\n" + row("D001", "202404", "PT_0002", "旧姓") +
                          row("D002", "202404", "PT_0002", "佐藤 一郎")));
                 Put(root / "FF1" / "G_FF1_202405.txt",
                     Sjis(row("D001", "202405", "PT_0002", "田中 花子") +
                          row("D001", "202405", "IO_0003", "1500042")));
                 Put(root / "FF1" / "recelist.csv", Sjis("1001,田中,,,D001\r\n"));
                 Put(root / "siyo4.csv", ReadBytes(fs::path(TAVO_SOURCE_DIR) / "data" / "siyo4.csv"));
                 Put(root / "append.csv", Sjis("[0] カルテ番号\r\n5000,追記 太郎,20240501\r\n"));
                 Put(root / "out" / "202405_ff1all.csv", "earlier");
                 Put(root / "FF1" / "G_FF1_all.txt", "merged by an earlier run");
               },
               [](const fs::path& root, const Env&) {
                 ff1::FF1LinkParams params;
                 params.InDir = P(root / "FF1");
                 params.SpecCsv = root / "siyo4.csv";
                 params.OutDir = root / "out";
                 params.AppendCsv = root / "append.csv";
                 params.YearMonth = u"202405";
                 return Succeeded(ff1::RunFF1Link(params));
               },
               {},
               // The merged file; the next run removes it first, and never reads it.
               "FF1/G_FF1_all.txt"});
  s.push_back({"replacement mode 1",
               [](const fs::path& root, const Env& env) {
                 Put(root / "in" / "G_FF1_1_all.txt", Fixture("replace/mode1_in.txt"));
                 Put(root / "in" / "def.csv", Fixture("replace/mode1_def.csv"));
                 Put(env.programDir / "G_FF1_1_allR.txt", "earlier");
               },
               [](const fs::path& root, const Env& env) {
                 return Succeeded(replace::RunMode1(env, P(root / "in" / "def.csv"),
                                                    P(root / "in" / "G_FF1_1_all.txt")));
               }});
  s.push_back({"replacement mode 2",
               [](const fs::path& root, const Env& env) {
                 Put(root / "in" / "s" / "R.UKE", Fixture("replace/mode2_shaho.UKE"));
                 Put(root / "in" / "k" / "R.UKE", Fixture("replace/mode2_kokuho.UKE"));
                 Put(root / "in" / "def.csv", Fixture("replace/mode2_def.csv"));
                 Put(env.programDir / "R_1R.UKE", "earlier");
               },
               [](const fs::path& root, const Env& env) {
                 return Succeeded(replace::RunMode2(env, P(root / "in" / "def.csv"),
                                                    P(root / "in" / "s" / "R.UKE"),
                                                    P(root / "in" / "k" / "R.UKE")));
               }});
  for (const char* form : {"postal/output.csv", "postal/intermediate.tsv"}) {
    s.push_back({form[7] == 'o' ? "postal, OUTPUT file" : "postal, intermediate file",
                 [form](const fs::path& root, const Env& env) {
                   Put(root / "in" / "patients.txt", Fixture(form));
                   Put(root / "in" / "def.csv", Fixture("postal/definition.csv"));
                   Put(env.programDir / "202606_postcode.csv", "earlier");
                 },
                 [](const fs::path& root, const Env& env) {
                   postal::TTextFileFormat form;
                   return Succeeded(postal::RunFile(env, u"08", u"06",
                                                    P(root / "in" / "patients.txt"),
                                                    P(root / "in" / "def.csv"), form));
                 }});
  }
  s.push_back({"checkup",
               [](const fs::path& root, const Env& env) {
                 Put(root / "in" / "checkups.csv", Fixture("checkup/checkups.csv"));
                 Put(root / "in" / "additional.csv", Fixture("checkup/additional.csv"));
                 Put(env.programDir / PathFromText(T("202606_carte_特定健診.csv")), "earlier");
               },
               [](const fs::path& root, const Env& env) {
                 return Succeeded(checkup::Cnv(env, u"08", u"06", P(root / "in" / "checkups.csv"),
                                               P(root / "in" / "additional.csv")));
               }});

  // The confirmation window's move of two outputs; the first replaces an older file.
  const std::string file1 = Fixture("receipt/shaho.UKE");
  const std::string file2 = Kokuho();
  struct Destination {
    const char* name;
    const char* saveFdr;  // relative to the root; empty for the Downloads folder
    const char* svChg;
    const char* folder;   // where the files land, relative to the root
  };
  const Destination destinations[] = {
      {"move to Downloads", "", "", "Downloads"},
      {"move to the save folder", "save", "", "save"},
      {"move to the clinic subfolder", "save", "1", "save/1234567_テスト医院"},
  };
  for (const Destination& d : destinations) {
    const std::string a = "a.UKE";
    const std::string b = "b.UKE";
    s.push_back({d.name,
                 [=](const fs::path& root, const Env& env) {
                   Put(env.programDir / a, file1);
                   Put(env.programDir / b, file2);
                   fs::create_directories(root / "save");
                   // The clinic subfolder is made by the move; elsewhere an older file waits.
                   if (*d.svChg == 0) Put(root / PathFromText(T(d.folder)) / a, "older");
                 },
                 [=](const fs::path& root, const Env& env) {
                   const Text saveFdr = *d.saveFdr ? P(root / d.saveFdr) : Text();
                   const OutputMoveResult r =
                       MoveOutputs(env, T(a.c_str()), T(b.c_str()), saveFdr, T(d.svChg));
                   return !r.stopped && r.stayed.empty() && r.missing.empty();
                 },
                 {{"program/" + a, std::string(d.folder) + "/" + a},
                  {"program/" + b, std::string(d.folder) + "/" + b}}});
  }
  return s;
}

void PrintTo(const Plan& plan, std::ostream* os) { *os << plan.name; }

class FaultSweep : public ::testing::TestWithParam<std::tuple<Scenario, Plan>> {};

TEST_P(FaultSweep, EveryFailingFileOperationLosesNothing) {
  const std::size_t faults = Sweep(std::get<0>(GetParam()), std::get<1>(GetParam()));
  EXPECT_GT(faults, 0u);
}

std::string ScenarioName(const ::testing::TestParamInfo<std::tuple<Scenario, Plan>>& info) {
  const std::string name =
      std::string(std::get<0>(info.param).name) + "__" + std::get<1>(info.param).name;
  std::string out;
  for (const char c : name) out += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
  return out;
}

INSTANTIATE_TEST_SUITE_P(Runs, FaultSweep,
                         ::testing::Combine(::testing::ValuesIn(Scenarios()),
                                            ::testing::ValuesIn(kPlans)),
                         ScenarioName);

}  // namespace
}  // namespace tavo
