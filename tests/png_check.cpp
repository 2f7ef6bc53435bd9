// Checks a window picture: its width, and that it holds at least a given
// number of pixels of one colour. Prints what it found.
#include <QGuiApplication>
#include <QImage>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: png_check FILE.png WIDTH RRGGBB MIN_PIXELS\n");
    return 2;
  }
  QImage image(argv[1]);
  if (image.isNull()) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 1;
  }
  const int width = std::atoi(argv[2]);
  const QRgb colour = 0xFF000000u | static_cast<QRgb>(std::strtoul(argv[3], nullptr, 16));
  const long minimum = std::atol(argv[4]);
  long found = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) found += (image.pixel(x, y) | 0xFF000000u) == colour;
  std::printf("%dx%d, %ld pixels of %s\n", image.width(), image.height(), found, argv[3]);
  return image.width() == width && found >= minimum ? 0 : 1;
}
