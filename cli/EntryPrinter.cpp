#include "EntryPrinter.h"

#include <iostream>

#include "JsonText.h"

void EntryPrinter::operator()(const duskmend::LightEntry& entry) {
  if (!json_) {
    std::cout << entry.line << '\t' << entry.sector << '\t' << entry.key << '=' << entry.value
              << '\n';
    return;
  }
  std::cout << (first_ ? "" : ",") << "{\"line\":" << entry.line
            << ",\"sector\":" << JsonString(entry.sector) << ",\"key\":" << JsonString(entry.key)
            << ",\"value\":" << JsonString(entry.value) << '}';
  first_ = false;
}
