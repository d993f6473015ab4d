#include "engine/mosaic_settings.h"

namespace tessarix {

ParameterFields::ParameterFields() : algorithmIndex(kDefaultAlgorithm) {
  for (const MosaicSetting& setting : kMosaicSettings) {
    if (setting.field != nullptr)
      this->*setting.field = setting.defaultText;
  }
}

const MosaicSetting& MosaicSettingOf(std::string ParameterFields::*field) {
  for (const MosaicSetting& setting : kMosaicSettings) {
    if (setting.field == field)
      return setting;
  }
  return kMosaicSettings.front();  // every text of ParameterFields has its entry
}

std::optional<int> AlgorithmFromName(const std::string& text) {
  for (size_t i = 0; i < kAlgorithms.size(); ++i) {
    if (text == kAlgorithms[i].name || text == std::to_string(i))
      return static_cast<int>(i);
  }
  return std::nullopt;
}

std::string AlgorithmNamesHelp() {
  std::string help;
  for (const AlgorithmName& algorithm : kAlgorithms) {
    if (!help.empty())
      help += '|';
    help += algorithm.name;
  }
  return help + " or 0.." + std::to_string(kAlgorithms.size() - 1);
}

}  // namespace tessarix
