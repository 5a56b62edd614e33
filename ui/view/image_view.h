#pragma once
// CImageView: the pane that shows the current image. It does not decode: it
// shows a CImageBitmap that already has its fitted size, rotation and flip,
// and adds an integer zoom, panning with a hand cursor, a gamma correction
// applied while painting, black bands around an image smaller than the pane,
// and progressive display of the rows a decoder is still writing.
//
// Keys, wheel notches and context-menu requests are not acted on here: the
// view reports them with signals that its parent connects directly, and the
// parent drives the view through the operations below.
//
// Ownership: the image belongs to the decoder of the current file; the view
// never frees it, and the parent calls SetImage(nullptr) before that decoder
// is destroyed or its image cleared. The display bitmap is lent by the parent
// (or owned by the view when none is lent).
//
// Thread rules: user-interface thread only. The view reads the image's dirty
// rectangle, and the part a later decode pass wrote again, every 100 ms and its pixels only inside
// CDisplayBitmap::Blit, which holds the pixel lock, so a decoder may fill the image meanwhile.

#include <array>
#include <cstdint>
#include <memory>

#include <QBasicTimer>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>

#include "decode/image_bitmap.h"

class CDisplayBitmap;
class QScreen;

class CImageView : public QWidget {
    Q_OBJECT

public:
    static constexpr int kMaxEnlargeFactor = 20;
    static constexpr int kMaxReduceFactor = 10;
    static constexpr int kRefreshMs = 100;   // progressive refresh and idle-cursor period
    static constexpr int kIdleTicks = 15;    // idle ticks after which the next one hides the cursor (1.6 s)
    static constexpr int kWheelNotch = 120;  // angle delta of one wheel notch

    // displayBitmap: the parent's display bitmap (not owned, outlives the
    // view), or nullptr for one of the view's own. The view builds it for its
    // screen's depth when it is first shown (unless the lender already did)
    // and again whenever the window moves to another screen.
    explicit CImageView(CDisplayBitmap* displayBitmap = nullptr, QWidget* parent = nullptr);
    ~CImageView() override;

    // Shows `image` (not owned) or nothing. Empties the last dirty rectangle,
    // scrolls to (0, 0) and sets the zoom to 1. Does not repaint: the caller
    // updates the view when it clears the image, and the refresh timer paints
    // a new image as its rows arrive. `name` is the shown file's name, which
    // the view gives assistive technology as its own.
    void SetImage(CImageBitmap* image, const QString& name = QString());
    CImageBitmap* Image() const { return m_image; }
    const QString& ShownName() const { return m_shownName; }

    // Paints at once the rows decoded since the last refresh, as the refresh
    // timer does on its tick.
    void RefreshDirty();

    // The size of the zoomed image: width x factor, or width / factor when
    // reducing; empty without an image.
    QSize GetZoomedSize() const;
    // The view works in device pixels: on a high-density screen (a device
    // pixel ratio above 1) the image is fitted to and drawn on the screen's
    // own pixels, one image pixel to one screen pixel at zoom 1. Scroll
    // positions, the image area and the client size are all device pixels.
    //
    // The part of the pane the zoomed image occupies (centred when smaller).
    QRect ImageArea() const;
    // The client size the parent fits images to.
    int ClientWidth() const { return DeviceSize().width(); }
    int ClientHeight() const { return DeviceSize().height(); }
    QSize DeviceSize() const;

    // Clamps (x, y) to the zoomed image and scrolls there. repaintAll
    // repaints the whole pane; otherwise the contents move and only the
    // uncovered strip is painted.
    void ScrollTo(int x, int y, bool repaintAll);
    int ScrollX() const { return m_scrollX; }
    int ScrollY() const { return m_scrollY; }

    // Changes the zoom keeping the point at the pane's centre; the factor is
    // limited to 1..20 when enlarging and 1..10 when reducing. Ignored
    // without an image.
    void SetZoom(bool reduce, int factor);
    bool Reduce() const { return m_reduce; }
    int Factor() const { return m_factor; }

    // gamma < 0: no correction. Repaints when it changes and an image is shown.
    void SetGamma(double gamma);
    double Gamma() const { return m_gamma; }
    // The lookup table painting uses while gamma >= 0.
    const std::array<uint8_t, 256>& GammaTable() const { return m_gammaTable; }

    CDisplayBitmap* DisplayBitmap() const { return m_display; }
    // The image's dirty rectangle as of the last refresh tick: what is drawn.
    DirtyRect LastDirtyRect() const { return m_lastDirty; }

signals:
    // A key pressed while an image is shown (Qt::Key code and modifiers;
    // the keypad keys carry Qt::KeypadModifier).
    void KeyPressed(int key, Qt::KeyboardModifiers modifiers);
    // One whole wheel notch while an image is shown: forward is away from the user.
    void WheelNotch(bool forward);
    // A context-menu request at a global (screen) point, with or without an image.
    void ContextMenuRequested(const QPoint& globalPos);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void PaintRect(QPainter& painter, const QRect& paintRect, const QRect& area);
    qreal Ratio() const { return devicePixelRatioF(); }
    QRect ToDevice(const QRect& logical) const;
    QRect ToLogical(const QRect& device) const;
    QPoint DevicePos(const QPointF& logical) const { return (logical * Ratio()).toPoint(); }
    void TickIdleCursor();
    void InvalidateImageRect(const DirtyRect& rect);
    QRect ImageToClient(const DirtyRect& rect, const QRect& area) const;
    void EndDrag();
    void SetUpDisplayBitmap(QScreen* screen, bool force);

    CImageBitmap* m_image = nullptr;
    QString m_shownName;
    CDisplayBitmap* m_display = nullptr;
    std::unique_ptr<CDisplayBitmap> m_ownDisplay;
    int m_scrollX = 0;
    int m_scrollY = 0;
    bool m_reduce = false;
    bool m_paintedAny = false;  // some of the image was drawn since it was set
    int m_factor = 1;
    DirtyRect m_lastDirty;
    double m_gamma = -1.0;
    std::array<uint8_t, 256> m_gammaTable {};
    int m_wheelAccumulator = 0;
    int m_idleTicks = 0;
    bool m_cursorHidden = false;
    bool m_dragging = false;
    QPoint m_anchor;
    QBasicTimer m_refreshTimer;
    bool m_screenHooked = false;
};
