#include "app/entry/linux/window_icon.h"

#include <QApplication>
#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleOption>

#include <map>

// Resources of a static library are linked in only when asked for by name
// (from outside any namespace).
static void LoadWindowIcons() { Q_INIT_RESOURCE(window_icons); }

namespace {

constexpr int kSides[] = {16, 32, 48, 64, 128, 256};

class LazyIconEngine final : public QIconEngine {
 public:
  QIconEngine* clone() const override { return new LazyIconEngine(*this); }

  QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
    QList<QSize> sizes;
    for (int side : kSides) sizes.append(QSize(side, side));
    return sizes;
  }

  // Never larger than asked, and never larger than the largest image.
  QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override {
    const QSize image(SideFor(size), SideFor(size));
    return image.boundedTo(size) == image ? image : image.scaled(size, Qt::KeepAspectRatio);
  }

  QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override {
    QPixmap& decoded = decoded_[SideFor(size)];
    if (decoded.isNull()) decoded.load(QString(":/zorvex-flash/window-%1.png").arg(SideFor(size)));
    const QSize wanted = actualSize(size, mode, QIcon::Off);
    QPixmap shown = decoded.size() == wanted || decoded.isNull()
                        ? decoded
                        : decoded.scaled(wanted, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    if (mode == QIcon::Normal || QApplication::style() == nullptr) return shown;
    QStyleOption option;
    option.palette = QApplication::palette();
    return QApplication::style()->generatedIconPixmap(mode, shown, &option);
  }

  void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
    painter->drawPixmap(rect, pixmap(rect.size(), mode, state));
  }

 private:
  // The smallest image at least as large as asked, else the largest.
  static int SideFor(const QSize& size) {
    const int wanted = qMax(size.width(), size.height());
    for (int side : kSides)
      if (side >= wanted) return side;
    return kSides[std::size(kSides) - 1];
  }

  std::map<int, QPixmap> decoded_;
};

}  // namespace

QIcon WindowIcon() {
  LoadWindowIcons();
  return QIcon(new LazyIconEngine);
}
