#include "qtgolden.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace {

bool updating() {
  const char* v = std::getenv("DISPC_UPDATE_GOLDEN");
  return v && std::string(v) == "1";
}

QImage premultiplied(const QImage& image) {
  return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

int channelDiff(QRgb a, QRgb b) {
  int d = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    d = std::max(d, std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)));
  }
  return d;
}

// Writes the actual picture and a map of the bad pixels (red) over a faint copy of it.
::testing::AssertionResult failure(const QImage& actual, const QImage& bad, const std::string& name,
                                   const std::string& what) {
  QImage diff(actual.size(), QImage::Format_ARGB32_Premultiplied);
  for (int y = 0; y < actual.height(); ++y) {
    for (int x = 0; x < actual.width(); ++x) {
      const QRgb a = actual.pixel(x, y);
      const int g = (qRed(a) + qGreen(a) + qBlue(a)) / 12 + 32;
      diff.setPixel(x, y, bad.pixelIndex(x, y) ? qRgb(255, 0, 0) : qRgb(g, g, g));
    }
  }
  const std::string actualPath = outputPath(name + ".actual.png");
  const std::string diffPath = outputPath(name + ".diff.png");
  actual.save(QString::fromStdString(actualPath));
  diff.save(QString::fromStdString(diffPath));
  return ::testing::AssertionFailure()
         << name << ": " << what << "\n  actual   " << actualPath << "\n  diff     " << diffPath;
}

}  // namespace

std::string outputPath(const std::string& file) {
  std::filesystem::create_directories(DISPC_QT_TEST_OUT);
  return std::string(DISPC_QT_TEST_OUT) + "/" + file;
}

::testing::AssertionResult matchesGolden(const QImage& image, const std::string& name,
                                         int tolerance, long maxBad) {
  const std::string golden = std::string(DISPC_QT_GOLDEN_DIR) + "/" + name + ".png";
  const QImage actual = premultiplied(image);
  if (updating()) {
    actual.save(QString::fromStdString(golden));
    return ::testing::AssertionSuccess() << "wrote " << golden;
  }
  const QImage expected = premultiplied(QImage(QString::fromStdString(golden)));
  if (expected.isNull())
    return ::testing::AssertionFailure()
           << "cannot read " << golden << " (generate it with DISPC_UPDATE_GOLDEN=1)";
  if (expected.size() != actual.size())
    return ::testing::AssertionFailure() << name << ": size differs from " << golden;
  QImage bad(actual.size(), QImage::Format_Mono);
  bad.fill(0);
  long count = 0;
  int worst = 0;
  for (int y = 0; y < actual.height(); ++y) {
    for (int x = 0; x < actual.width(); ++x) {
      const int d = channelDiff(actual.pixel(x, y), expected.pixel(x, y));
      worst = std::max(worst, d);
      if (d > tolerance) {
        ++count;
        bad.setPixel(x, y, 1);
      }
    }
  }
  if (count <= maxBad) return ::testing::AssertionSuccess();
  return failure(actual, bad, name,
                 std::to_string(count) + " pixels differ by more than " +
                     std::to_string(tolerance) + " (allowed " + std::to_string(maxBad) +
                     ", largest difference " + std::to_string(worst) + ")\n  expected " + golden);
}

::testing::AssertionResult agreesWithin(const QImage& a, const QImage& b, const std::string& name,
                                        int reach, int tolerance, long maxBad) {
  const QImage pa = premultiplied(a), pb = premultiplied(b);
  if (pa.size() != pb.size()) return ::testing::AssertionFailure() << name << ": sizes differ";
  QImage bad(pa.size(), QImage::Format_Mono);
  bad.fill(0);
  long count = 0;
  // Whether pixel (x, y) of `from` has a match near (x, y) in `in`.
  auto matched = [&](const QImage& from, const QImage& in, int x, int y) {
    const QRgb v = from.pixel(x, y);
    for (int dy = -reach; dy <= reach; ++dy) {
      for (int dx = -reach; dx <= reach; ++dx) {
        const int u = x + dx, w = y + dy;
        if (u < 0 || w < 0 || u >= in.width() || w >= in.height()) continue;
        if (channelDiff(v, in.pixel(u, w)) <= tolerance) return true;
      }
    }
    return false;
  };
  for (int y = 0; y < pa.height(); ++y) {
    for (int x = 0; x < pa.width(); ++x) {
      if (channelDiff(pa.pixel(x, y), pb.pixel(x, y)) <= tolerance) continue;
      if (!matched(pa, pb, x, y) || !matched(pb, pa, x, y)) {
        ++count;
        bad.setPixel(x, y, 1);
      }
    }
  }
  if (count <= maxBad) return ::testing::AssertionSuccess();
  b.save(QString::fromStdString(outputPath(name + ".other.png")));
  return failure(pa, bad, name,
                 std::to_string(count) + " pixels have no match within " + std::to_string(reach) +
                     " pixel(s) and " + std::to_string(tolerance) + " per channel (allowed " +
                     std::to_string(maxBad) + ")");
}
