#pragma once

#include "LightEntry.h"

// Prints each light entry on stdout as the list pass finds it: a line of its own, its number,
// sector and text apart by tabs; or, for --json, an object of the "entries" array.
class EntryPrinter {
 public:
  explicit EntryPrinter(bool json) : json_(json) {}

  void operator()(const duskmend::LightEntry& entry);

 private:
  bool json_;
  bool first_ = true;
};
