#include "res/svg_icon_engine.h"

#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QPixmapCache>
#include <QSvgRenderer>

CSvgIconEngine::CSvgIconEngine(const QString& path, QList<QSize> sizes)
    : m_path(path), m_sizes(std::move(sizes))
{
    QFile file(m_path);
    if (file.open(QIODevice::ReadOnly))
        m_svg = file.readAll();
    m_valid = !m_svg.isEmpty() && QSvgRenderer(m_svg).isValid();
}

QPixmap CSvgIconEngine::Render(const QSize& size) const
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QSvgRenderer renderer(m_svg);
    // The pictures are square; a non-square request gets the picture centred
    // in it at the largest size that fits, never stretched.
    const QSizeF drawn = renderer.viewBoxF().size().scaled(QSizeF(size), Qt::KeepAspectRatio);
    const QRectF target(QPointF((size.width() - drawn.width()) / 2, (size.height() - drawn.height()) / 2),
                        drawn);
    QPainter painter(&image);
    renderer.render(&painter, target);
    painter.end();
    return QPixmap::fromImage(std::move(image));
}

QPixmap CSvgIconEngine::pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state)
{
    if (!m_valid || size.isEmpty())
        return QPixmap();
    const QString cacheKey = QStringLiteral("lumvane_svg:%1:%2x%3:%4:%5")
                                 .arg(m_path)
                                 .arg(size.width())
                                 .arg(size.height())
                                 .arg(int(mode))
                                 .arg(int(state));
    QPixmap pm;
    if (QPixmapCache::find(cacheKey, &pm))
        return pm;
    pm = Render(size);
    // Disabled and selected looks come from the style, the same way it derives
    // them for any other icon made from a pixmap.
    if (mode != QIcon::Normal && mode != QIcon::Active)
        pm = QIcon(pm).pixmap(size, 1.0, mode, QIcon::Off);
    QPixmapCache::insert(cacheKey, pm);
    return pm;
}

void CSvgIconEngine::paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state)
{
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    QPixmap pm = pixmap(rect.size() * ratio, mode, state);
    pm.setDevicePixelRatio(ratio);
    painter->drawPixmap(rect, pm);
}

QList<QSize> CSvgIconEngine::availableSizes(QIcon::Mode, QIcon::State)
{
    return m_valid ? m_sizes : QList<QSize>();
}

QIconEngine* CSvgIconEngine::clone() const
{
    return new CSvgIconEngine(*this);
}

QString CSvgIconEngine::key() const
{
    return QStringLiteral("lumvane_svg");
}

bool CSvgIconEngine::isNull()
{
    return !m_valid;
}
