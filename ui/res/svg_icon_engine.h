#pragma once
// CSvgIconEngine draws one SVG picture at whatever pixel size an icon is
// asked for, so it stays crisp at 100 %, 200 % and any other scale. It does
// the drawing itself with QSvgRenderer and does not need Qt's SVG icon
// plugin. The QIcon that holds the engine owns it. GUI thread only: the
// renderer and the pixmap cache belong to the GUI thread.

#include <QByteArray>
#include <QIconEngine>
#include <QList>
#include <QSize>
#include <QString>

class CSvgIconEngine : public QIconEngine {
public:
    // Reads the SVG at path (a file or a ":/" resource) once. sizes are the
    // sizes the picture was drawn for; availableSizes() reports them.
    CSvgIconEngine(const QString& path, QList<QSize> sizes);

    // False when the file could not be read or is not a valid SVG.
    bool IsValid() const { return m_valid; }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override;
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override;
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override;
    QIconEngine* clone() const override;
    QString key() const override;
    bool isNull() override;

private:
    QPixmap Render(const QSize& size) const;

    QString m_path;
    QList<QSize> m_sizes;
    QByteArray m_svg;
    bool m_valid = false;
};
