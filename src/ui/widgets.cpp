#include "ui/widgets.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>
#include <QToolTip>
#include <QtMath>
#include <algorithm>

namespace nvx {

ClickLabel::ClickLabel(QWidget* parent) : QLabel(parent) {}

QStringList ClickLabel::ShownLines(bool* cut) const {
  const QRect r = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
  const QFontMetrics fm(font());
  const int room = std::max(1, r.height() / fm.lineSpacing());
  QString all = text();
  all.replace(QLatin1Char('\n'), QChar::LineSeparator);
  QTextLayout layout(all, font());
  QTextOption option;
  option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  layout.setTextOption(option);
  QStringList lines;
  bool shortened = false;
  layout.beginLayout();
  for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
    line.setLineWidth(r.width());
    if (lines.size() + 1 == room) {
      // The last line that fits holds the rest of the text, cut short.
      QString rest = all.mid(line.textStart());
      rest.replace(QChar::LineSeparator, QLatin1Char(' '));
      const QString shown = fm.elidedText(rest, Qt::ElideRight, r.width());
      shortened = shown != rest;
      lines << shown;
      break;
    }
    lines << all.mid(line.textStart(), line.textLength()).remove(QChar::LineSeparator);
  }
  layout.endLayout();
  if (cut) *cut = shortened;
  return lines;
}

bool ClickLabel::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    bool cut = false;
    ShownLines(&cut);
    if (cut) {
      QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), text(), this);
    } else {
      QToolTip::hideText();
      event->ignore();
    }
    return true;
  }
  return QLabel::event(event);
}

void ClickLabel::paintEvent(QPaintEvent*) {
  QPainter p(this);
  drawFrame(&p);
  const QStringList lines = ShownLines();
  const QRect r = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
  const int lineHeight = fontMetrics().lineSpacing();
  const int block = static_cast<int>(lines.size()) * lineHeight;
  int y = r.y() + (alignment() & Qt::AlignVCenter ? (r.height() - block) / 2 : 0);
  p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, foregroundRole()));
  for (const QString& line : lines) {
    p.drawText(QRect(r.x(), y, r.width(), lineHeight), Qt::AlignLeft | Qt::AlignVCenter, line);
    y += lineHeight;
  }
}

void ClickLabel::mousePressEvent(QMouseEvent* event) {
  QLabel::mousePressEvent(event);
  emit pressed();
}

WheelButton::WheelButton(QWidget* parent) : QPushButton(parent) {}

void WheelButton::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::RightButton) {
    event->accept();
    emit rightPressed();
    return;
  }
  QPushButton::mousePressEvent(event);
}

WheelDial::WheelDial(QWidget* parent) : QWidget(parent) {
  drawing_ = MakeWheelDrawing(0, 0);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void WheelDial::SetState(int16_t count, int16_t curFilter) {
  drawing_ = MakeWheelDrawing(count, curFilter);
  update();
}

QSize WheelDial::sizeHint() const { return {150, 150}; }
QSize WheelDial::minimumSizeHint() const { return {90, 90}; }

void WheelDial::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const QPalette pal = palette();
  const qreal side = qMin(width(), height()) - 8.0;
  if (side < 20) return;
  const QPointF c(width() / 2.0, height() / 2.0);
  const qreal r = side / 2.0;

  // The wheel disc.
  QRadialGradient grad(c, r);
  grad.setColorAt(0.0, pal.color(QPalette::Base));
  grad.setColorAt(1.0, pal.color(QPalette::Button));
  p.setPen(QPen(pal.color(QPalette::Mid), 1.5));
  p.setBrush(grad);
  p.drawEllipse(c, r, r);

  // The beam marker: a small triangle at the top, where filter 1 sits when
  // it is in the beam.
  const QColor accent = pal.color(QPalette::Highlight);
  QPainterPath tri;
  tri.moveTo(c.x() - 5, c.y() - r - 3);
  tri.lineTo(c.x() + 5, c.y() - r - 3);
  tri.lineTo(c.x(), c.y() - r + 5);
  tri.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(accent);
  p.drawPath(tri);

  const int count = static_cast<int>(drawing_.marks.size());
  const qreal ringR = r * 0.72;
  qreal holeR = count > 0 ? qMin(r * 0.2, M_PI * ringR / count * 0.8) : 0;
  holeR = qMax<qreal>(holeR, 1.5);
  QFont f = font();
  f.setPixelSize(qMax(8, qRound(holeR * 0.8)));
  for (const WheelMark& m : drawing_.marks) {
    const qreal a = qDegreesToRadians(m.angleDeg);
    const QPointF pos(c.x() + ringR * qSin(a), c.y() - ringR * qCos(a));
    if (m.current) {
      p.setPen(QPen(accent.darker(120), 2));
      p.setBrush(accent);
    } else {
      p.setPen(QPen(pal.color(QPalette::Dark), 1));
      p.setBrush(pal.color(QPalette::Base));
    }
    p.drawEllipse(pos, holeR, holeR);
    if (m.labelled && holeR >= 6) {
      p.setFont(f);
      p.setPen(m.current ? pal.color(QPalette::HighlightedText) : pal.color(QPalette::Text));
      p.drawText(QRectF(pos.x() - holeR, pos.y() - holeR, 2 * holeR, 2 * holeR), Qt::AlignCenter,
                 QString::number(m.number));
    }
  }

  // The number in the beam, as the button shows it.
  QFont big = font();
  big.setBold(true);
  big.setPointSizeF(qMax(8.0, r * 0.22));
  p.setFont(big);
  p.setPen(drawing_.known ? pal.color(QPalette::Text) : pal.color(QPalette::Mid));
  const qreal box = r * 0.8;
  p.drawText(QRectF(c.x() - box / 2, c.y() - box / 2, box, box), Qt::AlignCenter,
             QString::fromStdString(drawing_.centreText));
}

}  // namespace nvx
