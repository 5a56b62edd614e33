#pragma once
// The drawable items of the About window: a picture with its shadow, texts,
// links and the Close button. Each item knows its rectangle (client
// coordinates), draws itself and reacts to the mouse coming onto it, leaving
// it and clicking it.
//
// Ownership: items belong to their CAboutWnd, which creates them in order
// and destroys them with itself. User-interface thread only.

#include <memory>

#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

#include "decode/image_bitmap.h"

class CAboutWnd;
class CDisplayBitmap;
class QPainter;

// Colours of the window, as RGB.
inline constexpr QRgb kAboutText = 0x000000;
inline constexpr QRgb kAboutLink = 0x6666FF;         // RGB(102, 102, 255)
inline constexpr QRgb kAboutLinkHover = 0x9999FF;    // RGB(153, 153, 255)
inline constexpr QRgb kAboutShadow = 0xCCCCCC;       // RGB(204, 204, 204)
inline constexpr QRgb kAboutButton = 0xCCCCFF;       // RGB(204, 204, 255)
inline constexpr QRgb kAboutButtonHover = 0xFFFFCC;  // RGB(255, 255, 204)
inline constexpr int kAboutShadowSize = 6;

class CAboutItem {
public:
    explicit CAboutItem(CAboutWnd* owner) : m_owner(owner) {}
    virtual ~CAboutItem() = default;

    virtual void Draw(QPainter&) {}
    // The base shows the arrow and does nothing else.
    virtual void HoverOn();
    virtual void HoverOff() {}
    virtual void Click() {}

    QRect Rect() const { return m_rect; }
    void SetRect(const QRect& rect) { m_rect = rect; }
    void Move(int dx, int dy) { m_rect.translate(dx, dy); }

protected:
    void Invalidate();
    CAboutWnd* m_owner;
    QRect m_rect;
};

class CAboutPicture : public CAboutItem {
public:
    // Takes the picture from the packed 8-bit bitmap; an item of shadow size
    // only when the data is not one.
    CAboutPicture(CAboutWnd* owner, CDisplayBitmap* displayBitmap, const QByteArray& packedDib);
    bool Loaded() const { return !m_image.IsNull(); }
    void Draw(QPainter& painter) override;

private:
    CImageBitmap m_image;
    CDisplayBitmap* m_displayBitmap;
};

class CAboutText : public CAboutItem {
public:
    // pixelHeight 0: the default size.
    CAboutText(CAboutWnd* owner, const QString& text, int pixelHeight, bool bold, bool underline = false,
               QRgb colour = kAboutText);
    void Draw(QPainter& painter) override;
    QRgb Colour() const { return m_colour; }
    const QFont& Font() const { return m_font; }
    const QString& Text() const { return m_text; }

protected:
    QString m_text;
    QFont m_font;
    QRgb m_colour;
};

class CAboutLink : public CAboutText {
public:
    CAboutLink(CAboutWnd* owner, const QString& text, const QString& target);
    void HoverOn() override;
    void HoverOff() override;
    void Click() override;
    const QString& Target() const { return m_target; }

private:
    QString m_target;
};

class CAboutButton : public CAboutText {
public:
    static constexpr int kExtraWidth = 38;
    static constexpr int kExtraHeight = 22;
    static constexpr int kTextX = 16;
    static constexpr int kTextY = 8;

    CAboutButton(CAboutWnd* owner, const QString& text);
    void Draw(QPainter& painter) override;
    void HoverOn() override;
    void HoverOff() override;
    void Click() override;
    bool Hovered() const { return m_hover; }

private:
    bool m_hover = false;
};

// The serif face the window writes in: "Times New Roman" when installed,
// otherwise the system's serif.
QFont AboutFont(int pixelHeight, bool bold, bool underline);
