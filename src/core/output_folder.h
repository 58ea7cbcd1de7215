// The move of a conversion's outputs from the program folder into the output
// folder (the Downloads folder, the save folder "SAVEFDR", or a per-clinic
// subfolder of it with "SVCHG" = "1"), as the confirmation window's button does it.
#pragma once

#include <filesystem>
#include <vector>

#include "core/env.h"
#include "core/errors.h"
#include "core/text.h"

namespace tavo {

struct OutputMoveResult {
  std::filesystem::path destination;  // the folder the outputs were meant for
  std::vector<Text> moved;            // bare names now in the destination
  std::vector<Text> stayed;           // bare names still in the program folder
  std::vector<Text> missing;          // bare names not found in the program folder
  std::vector<Message> messages;      // warning naming what stayed, or the error
  bool stopped = false;               // the clinic subfolder could not be named: nothing was moved
};

// The clinic subfolder name "<code>_<name>" made safe as one folder name:
// \ / : * ? " < > |, control characters and unpaired surrogates become "_",
// and a name of only dots or blanks becomes "_".
Text ClinicFolderName(TextView code, TextView name);

// Moves `file1` then `file2` (bare names in the program folder; an empty name
// is skipped). `saveFdr` and `svChg` are the settings' values. A file that
// cannot be moved stays in the program folder and is named in a warning; with
// "SVCHG" = "1" the clinic subfolder is named from the first of the two names
// given, and a file that cannot be read or whose first line has fewer than 7
// fields stops the move with an error before anything is moved.
OutputMoveResult MoveOutputs(const Env& env, TextView file1, TextView file2, TextView saveFdr,
                             TextView svChg);

}  // namespace tavo
