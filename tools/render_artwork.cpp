// Build step: draws the window's SVG pictures at the screen ratios most desktops use, so the
// program shows them without parsing and drawing vectors at start-up.
//
//   tessel_render_artwork OUT_DIR PREFIX PICTURE.svg... [--icon ICON.svg...]
//
// Pictures are drawn at 100, 125, 150 and 200 %; icons at the sizes X11 window managers are
// handed when a program's icon is scalable (16, 32, 64 and 128 pixels square).
// Writes OUT_DIR/<picture>@<ratio or size>.argb (the pixels, 4 bytes each, rows packed) and
// OUT_DIR/artwork_rasters.cpp, which embeds them with the assembler's .incbin (no huge C array
// to compile) and lists them for window/svg_picture.cpp. Pictures are drawn with the program's own
// renderSvg, at their own size (width and height of the SVG), as ":/artwork/" + file name.
#include <QFile>
#include <QFileInfo>
#include <QSvgRenderer>
#include <cstdio>
#include <utility>
#include <vector>

#include "window/svg_render.h"

namespace {

constexpr double kRatios[] = {1.0, 1.25, 1.5, 2.0};
constexpr int kIconSizes[] = {16, 32, 64, 128};

bool allOpaque(const QImage& image) {
  for (int y = 0; y < image.height(); ++y) {
    const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < image.width(); ++x)
      if (qAlpha(row[x]) != 255) return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s OUT_DIR PREFIX PICTURE.svg... [--icon ICON.svg...]\n", argv[0]);
    return 2;
  }
  const QString outDir = QString::fromLocal8Bit(argv[1]);
  const QString prefix = QString::fromLocal8Bit(argv[2]);
  QString data, table;
  int n = 0;
  bool icons = false;
  for (int i = 3; i < argc; ++i) {
    if (QLatin1String(argv[i]) == QLatin1String("--icon")) {
      icons = true;
      continue;
    }
    QFile file(QString::fromLocal8Bit(argv[i]));
    if (!file.open(QIODevice::ReadOnly)) {
      std::fprintf(stderr, "render_artwork: cannot read %s\n", argv[i]);
      return 1;
    }
    const QByteArray svg = file.readAll();
    const QSize size = QSvgRenderer(svg).defaultSize();
    const QString name = QFileInfo(file).fileName();
    std::vector<std::pair<double, QString>> ratios;  // and the file name's suffix
    for (double ratio : kRatios) ratios.emplace_back(ratio, QString::number(ratio * 100));
    if (icons) {
      ratios.clear();
      for (int px : kIconSizes)
        ratios.emplace_back(double(px) / size.width(), QStringLiteral("%1px").arg(px));
    }
    for (const auto& [ratio, suffix] : ratios) {
      QImage image = tessel::renderSvg(svg, size, ratio);
      const bool opaque = allOpaque(image);
      if (opaque) image.reinterpretAsFormat(QImage::Format_RGB32);
      const QString path = QStringLiteral("%1/%2@%3.argb").arg(outDir, name, suffix);
      QFile out(path);
      const auto bytes = static_cast<qint64>(image.sizeInBytes());
      if (image.bytesPerLine() != image.width() * 4 || !out.open(QIODevice::WriteOnly) ||
          out.write(reinterpret_cast<const char*>(image.constBits()), bytes) != bytes) {
        std::fprintf(stderr, "render_artwork: cannot write %s\n", qPrintable(path));
        return 1;
      }
      data += QStringLiteral(".balign 64\ntessel_raster_%1:\n.incbin \"%2\"\n").arg(n).arg(path);
      table += QStringLiteral("    {\"%1%2\", %3, %4, %5, %6, tessel_raster_%7},\n")
                   .arg(prefix, name)
                   .arg(ratio, 0, 'g', 17)
                   .arg(image.width())
                   .arg(image.height())
                   .arg(opaque ? QStringLiteral("true") : QStringLiteral("false"))
                   .arg(n);
      ++n;
    }
  }
  QString source = QStringLiteral(
                       "// Made by tools/render_artwork.cpp; do not edit.\n"
                       "#include \"window/artwork_rasters.h\"\n\n"
                       "asm(R\"(\n.pushsection .rodata\n%1.popsection\n)\");\n\n")
                       .arg(data);
  for (int i = 0; i < n; ++i)
    source += QStringLiteral("extern \"C\" const unsigned char tessel_raster_%1[];\n").arg(i);
  source += QStringLiteral(
                "\nnamespace tessel {\n\nstd::span<const ArtworkRaster> artworkRasters() {\n"
                "  static const ArtworkRaster rasters[] = {\n%1  };\n  return rasters;\n}\n\n"
                "}  // namespace tessel\n")
                .arg(table);
  QFile out(outDir + QStringLiteral("/artwork_rasters.cpp"));
  if (!out.open(QIODevice::WriteOnly) || out.write(source.toUtf8()) < 0) {
    std::fprintf(stderr, "render_artwork: cannot write %s\n", qPrintable(out.fileName()));
    return 1;
  }
  return 0;
}
