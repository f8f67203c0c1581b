#pragma once

#include <string>
#include <vector>

#include "SectorChoice.h"

// A pass of the command line.
enum class Pass { kAnalysis, kList, kRemove, kChange };

// The word that names a pass on the command line.
const char* PassName(Pass pass);
// Whether the pass writes the save: remove and change.
inline bool Rewrites(Pass pass) { return pass == Pass::kRemove || pass == Pass::kChange; }

// A pass and what it works on, as the command line gives them.
struct Command {
  Pass pass = Pass::kAnalysis;
  std::string value;  // change's VALUE, as typed
  std::string file;
  std::string backup;
  bool json = false;
  duskmend::SectorChoice choice;  // the sectors that --map and --sectors name
  std::string sectors;            // the --sectors FILE
};

// What the words after the program's name ask for.
struct CommandLine {
  enum class Ask { kRun, kHelp, kVersion, kUsageError };
  Ask ask = Ask::kRun;
  std::string why;  // a usage error's reason
  Command command;
};

// Reads the words; a --sectors FILE is read here too, so that a bad list is a usage error
// before the save is touched.
CommandLine ParseCommandLine(const std::vector<std::string>& words);

extern const char kUsageText[];
