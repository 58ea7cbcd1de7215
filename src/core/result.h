// The outcome of one run operation, as the windows and the CLI consume it.
#pragma once

#include <filesystem>
#include <vector>

#include "core/errors.h"

namespace tavo {

struct RunResult {
  std::vector<Message> messages;               // in the order they are shown
  std::vector<std::filesystem::path> written;  // full paths of the files written
  bool stopped = false;  // a failure that ends the whole click (e.g. index error)

  // Hand-over to the confirmation window; empty when the run set nothing.
  Text gstMsg;
  Text gstFile1;
  Text gstFile2;

  // What the run did, in numbers: short lines of plain Japanese ("RE 120件を読み、
  // 患者番号 37件を変更"). The confirmation window shows them under its message,
  // tavo-cli prints them as 情報 lines and the run history keeps them. They never
  // hold a field value: counts and line numbers only.
  std::vector<Text> counts;

  // For the run history: the operation, its mode or options, and the inputs read.
  Text operation;
  Text options;
  std::vector<std::filesystem::path> inputs;

  bool wrote() const { return !written.empty(); }
  void Warn(Text t) { messages.push_back({MsgKind::Warning, std::move(t)}); }
  void Info(Text t) { messages.push_back({MsgKind::Info, std::move(t)}); }
  void Error(Text t) { messages.push_back({MsgKind::Error, std::move(t)}); }
  void Count(Text t) { counts.push_back(std::move(t)); }
  // Names the run for the history: what it is, how it was set, what it reads.
  void Describe(Text op, Text opts, std::vector<std::filesystem::path> in) {
    operation = std::move(op);
    options = std::move(opts);
    inputs = std::move(in);
  }

  // The run wrote its one output `name` at `target`: record it and hand it to
  // the confirmation window with "<name>が作成されました".
  void HandOver(const std::filesystem::path& target, const Text& name);
  // Warns and returns true when `target` is one of the run's own inputs:
  // writing it would destroy the input.
  bool RefusesOverwrite(const std::filesystem::path& target, const Text& name,
                        const std::vector<std::filesystem::path>& inputs);
};

// The outputs one click of a run button (or one tavo-cli command) has written
// so far. Two inputs can give one output name (two receipt files of the same
// month and kind); the later run must then not replace what the click wrote.
class ClickOutputs {
 public:
  // Warns in `result` and returns true when this click already wrote `target`
  // (from another run): the later run, of `input`, writes nothing.
  bool Refuses(const std::filesystem::path& target, const Text& name, TextView input,
               RunResult& result) const;
  void Add(const std::filesystem::path& target, TextView input);

 private:
  struct Written {
    std::filesystem::path target;
    Text input;
  };
  std::vector<Written> written_;
};

}  // namespace tavo
