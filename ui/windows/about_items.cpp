#include "windows/about_items.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>

#include "display/display_bitmap.h"
#include "report/about_picture.h"
#include "windows/about_window.h"

QFont AboutFont(int pixelHeight, bool bold, bool underline)
{
    const QString face = QStringLiteral("Times New Roman");
    QFont font(QFontDatabase::hasFamily(face) ? face : QStringLiteral("serif"));
    font.setStyleHint(QFont::Serif);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    font.setUnderline(underline);
    if (pixelHeight <= 0) {
        font.setPointSizeF(QApplication::font().pointSizeF());
        return font;
    }
    // A height asks for the whole cell (ascent and descent), as the
    // platform's font mapper takes it, not for the em size.
    font.setPixelSize(pixelHeight);
    const int cell = QFontMetrics(font).height();
    if (cell > pixelHeight)
        font.setPixelSize(std::max(1, pixelHeight * pixelHeight / cell));
    return font;
}

void CAboutItem::HoverOn()
{
    m_owner->setCursor(Qt::ArrowCursor);
}

void CAboutItem::Invalidate()
{
    m_owner->update(m_rect);
}

CAboutPicture::CAboutPicture(CAboutWnd* owner, CDisplayBitmap* displayBitmap, const QByteArray& packedDib)
    : CAboutItem(owner), m_displayBitmap(displayBitmap)
{
    LoadPackedDib8(reinterpret_cast<const uint8_t*>(packedDib.constData()), size_t(packedDib.size()),
                   m_image);
    m_rect = QRect(0, 0, m_image.Width() + kAboutShadowSize, m_image.Height() + kAboutShadowSize);
}

void CAboutPicture::Draw(QPainter& painter)
{
    const int x = m_rect.x(), y = m_rect.y(), w = m_image.Width(), h = m_image.Height();
    painter.fillRect(x + w, y + kAboutShadowSize, kAboutShadowSize, h, QColor(kAboutShadow));
    painter.fillRect(x + kAboutShadowSize, y + h, w, kAboutShadowSize, QColor(kAboutShadow));
    if (m_image.IsNull())
        return;
    BlitParams params;
    params.sourceWidth = w;
    params.sourceHeight = h;
    params.destX = x;
    params.destY = y;
    m_displayBitmap->Blit(painter, m_image, params);
}

CAboutText::CAboutText(CAboutWnd* owner, const QString& text, int pixelHeight, bool bold, bool underline,
                       QRgb colour)
    : CAboutItem(owner), m_text(text), m_font(AboutFont(pixelHeight, bold, underline)), m_colour(colour)
{
    const QFontMetrics metrics(m_font);
    m_rect = QRect(0, 0, metrics.horizontalAdvance(m_text), metrics.height());
}

void CAboutText::Draw(QPainter& painter)
{
    painter.setFont(m_font);
    painter.setPen(QColor(m_colour));
    painter.drawText(m_rect.x(), m_rect.y() + QFontMetrics(m_font).ascent(), m_text);
}

CAboutLink::CAboutLink(CAboutWnd* owner, const QString& text, const QString& target)
    : CAboutText(owner, text, 0, true, true, kAboutLink), m_target(target)
{
}

void CAboutLink::HoverOn()
{
    m_owner->setCursor(Qt::PointingHandCursor);
    m_colour = kAboutLinkHover;
    Invalidate();
}

void CAboutLink::HoverOff()
{
    m_colour = kAboutLink;
    Invalidate();
}

void CAboutLink::Click()
{
    m_owner->setCursor(Qt::ArrowCursor);
    m_owner->OpenLink(m_target);
}

CAboutButton::CAboutButton(CAboutWnd* owner, const QString& text) : CAboutText(owner, text, 0, true)
{
    m_rect.setSize(m_rect.size() + QSize(kExtraWidth, kExtraHeight));
}

void CAboutButton::Draw(QPainter& painter)
{
    const int x = m_rect.x(), y = m_rect.y(), w = m_rect.width(), h = m_rect.height();
    const int s = kAboutShadowSize;
    painter.fillRect(x + w - s, y + s, s, h - s, QColor(kAboutShadow));
    painter.fillRect(x + s, y + h - s, w - s, s, QColor(kAboutShadow));
    painter.fillRect(x, y, w - s, h - s, QColor(m_hover ? kAboutButtonHover : kAboutButton));
    painter.setPen(QPen(Qt::black, 0));
    const QPoint corners[] = {{x, y}, {x + w - 7, y}, {x + w - 7, y + h - 7}, {x, y + h - 7}};
    painter.drawPolygon(corners, 4);
    painter.setFont(m_font);
    painter.setPen(QColor(m_colour));
    painter.drawText(x + kTextX, y + kTextY + QFontMetrics(m_font).ascent(), m_text);
}

void CAboutButton::HoverOn()
{
    m_owner->setCursor(Qt::ArrowCursor);
    m_hover = true;
    Invalidate();
}

void CAboutButton::HoverOff()
{
    m_hover = false;
    Invalidate();
}

void CAboutButton::Click()
{
    // Closing destroys the window, and this item with it, after the click.
    QMetaObject::invokeMethod(m_owner, &QWidget::close, Qt::QueuedConnection);
}
