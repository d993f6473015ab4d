#include <cstdio>

#include "cli/cli_prompt.h"
#include "cli/commands.h"
#include "cli/status_printer.h"
#include "utilities/photo_utilities.h"
#include "window_logic/failure_texts.h"

namespace tessarix::cli {

int RunUtility(const std::string& command, const std::string& file) {
  const std::optional<PhotoUtility> utility = PhotoUtilityFromCliName(command);
  if (!utility) {
    PrintMessage("Unknown utility: " + command);
    return kRefused;
  }
  CliPrompt prompt;
  ScopedPrompt promptGuard(prompt);
  const PhotoUtilityResult result = RunPhotoUtility(*utility, AbsolutePath(file));
  for (const QualityStep& step : result.steps) {
    if (step.saved && step.difference) {
      PrintMessage("Quality " + std::to_string(step.quality) + ": D " +
                   std::to_string(*step.difference));
    }
  }
  for (const std::string& written : result.written) std::printf("%s\n", written.c_str());
  if (!result.status) {
    PrintMessage(PhotoUtilityFailureText(*utility, result));
    return kFailed;
  }
  return kDone;
}

}  // namespace tessarix::cli
