#pragma once

#include <map>
#include <string>

#include "engine/parameter_check.h"

namespace tessarix {

// What the main window keeps between runs besides the collection: Step 2 as the person left it.
struct WindowSettings {
  ParameterFields fields;  // the texts as typed, and the algorithm chosen
  std::string webWidth{kDefaultWebPageWidth};
  bool useAll = false;
  bool textReport = false;
  bool webPage = false;
};

// Stored values by name, as texts.
using StoredValues = std::map<std::string, std::string>;

StoredValues ToStoredValues(const WindowSettings& settings);

// The settings the stored values describe. A value that is missing, or that no person could have
// left in the window (a text beyond 255 bytes or holding control characters, an algorithm outside
// the list, a check box other than "true" or "false"), is the default instead.
WindowSettings FromStoredValues(const StoredValues& stored);

// Whether a stored collection file or dialog folder can be offered again: an absolute path of at
// most 4096 bytes without control characters.
bool AcceptedPath(const std::string& path);

}  // namespace tessarix
