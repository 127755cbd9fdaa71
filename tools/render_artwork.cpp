// Build step: draws the window's SVG pictures and its captions' text at the screen ratios most
// desktops use, so the program shows them without parsing and drawing vectors, or starting the
// font machinery, at start-up.
//
//   tessel_render_artwork OUT_DIR PREFIX PICTURE.svg... [--icon ICON.svg...]
//
// Pictures and captions are drawn at 100, 125, 150 and 200 %; icons at the sizes X11 window
// managers are handed when a program's icon is scalable (16, 32, 64 and 128 pixels square).
// Captions are drawn with the program's own caption layer code (window/caption_layer.h) in the
// Fusion style, the one Qt picks where no desktop asks for another.
// Writes OUT_DIR/<picture>@<ratio or size>.argb (the pixels, 4 bytes each, rows packed) and
// OUT_DIR/artwork_rasters.cpp, which embeds them with the assembler's .incbin (no huge C array
// to compile) and lists them for window/svg_picture.cpp. Pictures are drawn with the program's own
// renderSvg, at their own size (width and height of the SVG), as ":/artwork/" + file name.
#include <QApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStyle>
#include <QStyleFactory>
#include <QSvgRenderer>
#include <cstdio>
#include <memory>
#include <utility>
#include <vector>

#include "window/caption_layer.h"
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

// `text` as the body of a C string literal: printable ASCII as it is, every other byte in octal.
QString cString(const QByteArray& text) {
  QString out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte < 0x7f && c != '"' && c != '\\' && c != '?')
      out += QLatin1Char(c);
    else
      out += QStringLiteral("\\%1").arg(byte, 3, 8, QLatin1Char('0'));
  }
  return out;
}

// Collects the drawings and writes them out; identical drawings share their bytes.
class RasterWriter {
 public:
  explicit RasterWriter(QString outDir) : outDir_(std::move(outDir)) {}

  bool add(const QString& resource, const QString& fileStem, double ratio, QImage image) {
    const bool opaque = allOpaque(image);
    if (opaque) image.reinterpretAsFormat(QImage::Format_RGB32);
    if (image.bytesPerLine() != image.width() * 4) return fail(fileStem);
    const QByteArray bytes(reinterpret_cast<const char*>(image.constBits()),
                           static_cast<qsizetype>(image.sizeInBytes()));
    const QByteArray digest = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256);
    int label = labels_.value(digest, -1);
    if (label < 0) {
      const QString path = QStringLiteral("%1/%2.argb").arg(outDir_, fileStem);
      QFile out(path);
      if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size()) return fail(path);
      label = static_cast<int>(labels_.size());
      labels_.insert(digest, label);
      data_ +=
          QStringLiteral(".balign 64\ntessel_raster_%1:\n.incbin \"%2\"\n").arg(label).arg(path);
    }
    table_ += QStringLiteral("    {\"%1\", %2, %3, %4, %5, tessel_raster_%6},\n")
                  .arg(cString(resource.toUtf8()))
                  .arg(ratio, 0, 'g', 17)
                  .arg(image.width())
                  .arg(image.height())
                  .arg(opaque ? QStringLiteral("true") : QStringLiteral("false"))
                  .arg(label);
    return true;
  }

  bool finish() const {
    QString source = QStringLiteral(
                         "// Made by tools/render_artwork.cpp; do not edit.\n"
                         "#include \"window/artwork_rasters.h\"\n\n"
                         "asm(R\"(\n.pushsection .rodata\n%1.popsection\n)\");\n\n")
                         .arg(data_);
    for (qsizetype i = 0; i < labels_.size(); ++i)
      source += QStringLiteral("extern \"C\" const unsigned char tessel_raster_%1[];\n").arg(i);
    source += QStringLiteral(
                  "\nnamespace tessel {\n\nstd::span<const ArtworkRaster> artworkRasters() {\n"
                  "  static const ArtworkRaster rasters[] = {\n%1  };\n  return rasters;\n}\n\n"
                  "}  // namespace tessel\n")
                  .arg(table_);
    QFile out(outDir_ + QStringLiteral("/artwork_rasters.cpp"));
    if (!out.open(QIODevice::WriteOnly) || out.write(source.toUtf8()) < 0)
      return fail(out.fileName());
    return true;
  }

 private:
  static bool fail(const QString& path) {
    std::fprintf(stderr, "render_artwork: cannot write %s\n", qPrintable(path));
    return false;
  }

  QString outDir_;
  QString data_, table_;
  QHash<QByteArray, int> labels_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s OUT_DIR PREFIX PICTURE.svg... [--icon ICON.svg...]\n", argv[0]);
    return 2;
  }
  // The captions need the font machinery, and so an application on a display of its own.
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const QString outDir = QString::fromLocal8Bit(argv[1]);
  const QString prefix = QString::fromLocal8Bit(argv[2]);
  RasterWriter writer(outDir);
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
      const QImage image = tessel::renderSvg(svg, size, ratio);
      if (image.isNull()) {
        std::fprintf(stderr, "render_artwork: cannot draw %s\n", argv[i]);
        return 1;
      }
      if (!writer.add(prefix + name, QStringLiteral("%1@%2").arg(name, suffix), ratio, image))
        return 1;
    }
  }
  const std::unique_ptr<QStyle> style(QStyleFactory::create(QStringLiteral("Fusion")));
  int n = 0;
  for (const tessel::CaptionLook& look : tessel::captionLooks(*style)) {
    for (double ratio : kRatios) {
      const QString stem = QStringLiteral("caption-%1@%2").arg(n).arg(ratio * 100);
      if (!writer.add(look.resource(*style), stem, ratio,
                      tessel::drawCaptionLayer(look, *style, ratio)))
        return 1;
    }
    ++n;
  }
  return writer.finish() ? 0 : 1;
}
