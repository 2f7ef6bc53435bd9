#include "cli/map_options.h"

#include <QStringList>

namespace tolvane::cli {

std::optional<MapRoi> parseMapRoi(const QString& text, int lowest, std::string& error) {
  error = "--roi takes i:low:high[:LABEL] with i " + std::to_string(lowest) +
          "..8, 0 <= low < high <= 8192 and a label of at most 7 characters, not '" + text.toStdString() + "'";
  const QStringList fields = text.split(':');
  if (fields.size() != 3 && fields.size() != 4) return std::nullopt;
  bool ok[3] = {};
  const int index = fields[0].toInt(&ok[0]);
  const int low = fields[1].toInt(&ok[1]);
  const int high = fields[2].toInt(&ok[2]);
  if (!ok[0] || !ok[1] || !ok[2] || index < lowest || index > 8 || low < 0 || high <= low || high > 8192)
    return std::nullopt;
  const std::string label = fields.size() == 4 ? fields[3].toStdString() : std::string();
  if (label.size() > 7) return std::nullopt;
  error.clear();
  return MapRoi{index, label, low, high};
}

}  // namespace tolvane::cli
