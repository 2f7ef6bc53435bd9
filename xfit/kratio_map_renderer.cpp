#include "xfit/kratio_map_renderer.h"

#include <QBuffer>
#include <QPainter>

#include "files/atomic_file.h"

namespace tolvane {

QImage kratioGreyImage(const KratioMap& map) {
  QImage image(map.size.width, map.size.height, QImage::Format_Grayscale16);
  const std::vector<uint16_t> grey = kratioGreyLevels(map);
  for (int y = 0; y < map.size.height; ++y) {
    auto* line = reinterpret_cast<quint16*>(image.scanLine(y));
    for (int x = 0; x < map.size.width; ++x)
      line[x] = grey[static_cast<size_t>(y) * static_cast<size_t>(map.size.width) + static_cast<size_t>(x)];
  }
  image.setText("Element", QString::fromStdString(map.element));
  image.setText("Description", "K-ratio, one grey level per 0.01 %; 0 also where not fitted (see the mask)");
  return image;
}

QImage kratioMaskImage(const KratioMap& map) {
  QImage image(map.size.width, map.size.height, QImage::Format_Grayscale8);
  const std::vector<uint8_t> mask = kratioFittedMask(map);
  for (int y = 0; y < map.size.height; ++y) {
    uchar* line = image.scanLine(y);
    for (int x = 0; x < map.size.width; ++x)
      line[x] = mask[static_cast<size_t>(y) * static_cast<size_t>(map.size.width) + static_cast<size_t>(x)];
  }
  image.setText("Element", QString::fromStdString(map.element));
  image.setText("Description", "255 where the point was fitted, 0 where it was not");
  return image;
}

QImage kratioColourImage(const KratioMap& map) {
  const ColourMapLayout l = colourMapLayout(map.size);
  const ColourRange range = colourRange(map);
  QImage image(l.width, l.height, QImage::Format_RGB32);
  image.fill(Qt::white);
  for (int y = 0; y < map.size.height; ++y)
    for (int x = 0; x < map.size.width; ++x) {
      const double k =
          map.kratioPct[static_cast<size_t>(y) * static_cast<size_t>(map.size.width) + static_cast<size_t>(x)];
      const QRgb colour = 0xFF000000u | mapColour(k, range);
      for (int py = 0; py < l.cell; ++py) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y * l.cell + py));
        for (int px = 0; px < l.cell; ++px) line[x * l.cell + px] = colour;
      }
    }
  for (int r = 0; r < l.barHeight; ++r) {
    const double t = l.barHeight > 1 ? 1.0 - static_cast<double>(r) / (l.barHeight - 1) : 0.5;
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(l.barTop + r));
    for (int px = 0; px < l.barWidth; ++px) line[l.barLeft + px] = 0xFF000000u | scaleColour(t);
  }
  QPainter painter(&image);
  painter.setPen(Qt::black);
  QFont font = painter.font();
  font.setPixelSize(11);
  painter.setFont(font);
  const auto label = [&](int top, const QString& text) {
    painter.drawText(QRect(l.labelLeft, top, l.width - l.labelLeft, 14), Qt::AlignLeft | Qt::AlignVCenter, text);
  };
  label(l.barTop - 7, QString::asprintf("%.2f %%", range.high));
  label(l.barTop + l.barHeight - 7, QString::asprintf("%.2f %%", range.low));
  label(l.barTop + l.barHeight / 2 - 7, QString::fromStdString(map.element) + " K-ratio");
  return image;
}

KratioMapFiles kratioMapFiles(const KratioMap& map, const std::string& folder) {
  std::string base = folder;
  if (!base.empty() && base.back() != '/') base += '/';
  base += kratioMapStem(map);
  return {base + "_kratio16.png", base + "_kratio16_mask.png", base + "_kratio_colour.png", base + "_kratio.csv"};
}

namespace {

bool writePng(const QImage& image, const std::string& path, std::string* error) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "PNG")) {
    if (error) *error = "cannot encode " + path;
    return false;
  }
  return writeFileAtomically(path, bytes.constData(), static_cast<size_t>(bytes.size()), error);
}

}  // namespace

bool writeKratioMapFiles(const KratioMap& map, const std::string& folder, std::string* error) {
  const KratioMapFiles files = kratioMapFiles(map, folder);
  const std::string csv = kratioMapCsv(map);
  return writePng(kratioGreyImage(map), files.grey, error) && writePng(kratioMaskImage(map), files.mask, error) &&
         writePng(kratioColourImage(map), files.colour, error) &&
         writeFileAtomically(files.csv, csv.data(), csv.size(), error);
}

}  // namespace tolvane
