#include "window_logic/window_texts.h"

#include <cmath>
#include <vector>

#include "platform/text_format.h"

namespace tessarix {

JobPoll PollJob(MosaicJob& job) {
  JobPoll poll;
  poll.statusLine = job.StatusLine();
  double overall = 0.0;
  poll.progressLine = job.ProgressLine(&overall);
  poll.infoText = job.InfoText();
  // An empty progress line means no batch has run: the percentage is meaningless then.
  if (!poll.progressLine.empty()) {
    const double scaled = overall * 100.0;
    int position = 0;
    if (std::isfinite(scaled))
      position = scaled >= 10000.0 ? 10000 : static_cast<int>(scaled);
    poll.progressBar = position < 0 ? 0 : position;
  }
  return poll;
}

std::string StartButtonCaption(bool batchRunning, bool stopRequested) {
  if (!batchRunning)
    return "&Create the Mosaic's";
  return stopRequested ? "Stopping..." : "Stop the Mosaic's";
}

std::string UsageLine(const UsageRecord& usage) {
  if (usage.mosaicCount < 1)
    return "What are you waiting? Create your first mosaic!";
  return Format("You have created %ld Mosaics since %s!", usage.mosaicCount,
                usage.dateFirstMosaic.c_str());
}

std::string ToDialogFilter(const std::string& filter) {
  std::vector<std::string> fields;
  size_t start = 0;
  while (start <= filter.size()) {
    const size_t bar = filter.find('|', start);
    const size_t end = bar == std::string::npos ? filter.size() : bar;
    fields.push_back(filter.substr(start, end - start));
    if (bar == std::string::npos)
      break;
    start = bar + 1;
  }
  std::string out;
  for (size_t i = 0; i + 1 < fields.size(); i += 2) {
    std::string description = fields[i];
    if (description.empty())
      break;
    // The description names its patterns in parentheses already; the list replaces them.
    if (!description.empty() && description.back() == ')') {
      const size_t open = description.rfind('(');
      if (open != std::string::npos)
        description.erase(open);
    }
    description = WithoutTrailingBlanks(description);
    std::string patterns;
    const std::string& list = fields[i + 1];
    size_t from = 0;
    while (from <= list.size()) {
      const size_t semi = list.find(';', from);
      const size_t to = semi == std::string::npos ? list.size() : semi;
      if (to > from) {
        if (!patterns.empty())
          patterns += ' ';
        patterns += list.substr(from, to - from);
      }
      if (semi == std::string::npos)
        break;
      from = semi + 1;
    }
    if (!out.empty())
      out += ";;";
    out += description + " (" + (patterns.empty() ? std::string("*") : patterns) + ")";
  }
  return out;
}

}  // namespace tessarix
