#include "roi/roi_map_renderer.h"

#include <QBuffer>
#include <QPainter>
#include <cmath>

#include "files/atomic_file.h"
#include "roi/roi_map_files.h"
#include "xfit/kratio_map.h"

namespace tolvane {

namespace {

template <typename T>
QImage pixelImage(const std::vector<T>& levels, int32_t width, int32_t height, QImage::Format format) {
  QImage image(width, height, format);
  for (int y = 0; y < height; ++y) {
    auto* line = reinterpret_cast<T*>(image.scanLine(y));
    for (int x = 0; x < width; ++x) line[x] = levels[static_cast<size_t>(y) * static_cast<size_t>(width) + x];
  }
  return image;
}

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

QImage roiGreyImage(const RoiMap& map, int32_t width, int32_t height) {
  QImage image = pixelImage(roiGreyLevels(map.net), width, height, QImage::Format_Grayscale16);
  image.setText("ROI", QString::fromStdString(roiMapStem(map.roi)));
  image.setText("Description", "ROI net sum, one grey level per count; 0 also where no value (see the mask)");
  return image;
}

QImage roiMaskImage(const RoiMap& map, int32_t width, int32_t height) {
  QImage image = pixelImage(roiValueMask(map.net), width, height, QImage::Format_Grayscale8);
  image.setText("Description", "255 where the pixel holds a value, 0 where it was not scanned or is blank");
  return image;
}

QImage roiColourImage(const RoiMap& map, int32_t width, int32_t height) {
  const ColourMapLayout l = colourMapLayout({width, height});
  const RoiMapRange range = roiMapRange(map.net);
  QImage image(l.width, l.height, QImage::Format_RGB32);
  image.fill(Qt::white);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const double v = map.net[static_cast<size_t>(y) * static_cast<size_t>(width) + x];
      const QRgb colour = 0xFF000000u | mapColour(v, {range.low, range.high});
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
  label(l.barTop - 7, QString::asprintf("%.0f counts", range.high));
  label(l.barTop + l.barHeight - 7, QString::asprintf("%.0f counts", range.low));
  label(l.barTop + l.barHeight / 2 - 7, QString::fromStdString(map.roi.label) + " net");
  return image;
}

bool writeRoiMapPngs(const RoiMap& map, int32_t width, int32_t height, const std::string& folder, std::string* error) {
  std::string base = folder;
  if (!base.empty() && base.back() != '/') base += '/';
  base += roiMapStem(map.roi);
  return writePng(roiGreyImage(map, width, height), base + "_net16.png", error) &&
         writePng(roiMaskImage(map, width, height), base + "_net16_mask.png", error) &&
         writePng(roiColourImage(map, width, height), base + "_net_colour.png", error);
}

}  // namespace tolvane
