#pragma once
// CClipboardImageData: the clipboard contents of Copy Image. Other programs
// are offered "image/png" and "image/bmp" (the packed DIB with a BMP file
// header); Lumvane itself also reads the image as a QImage. The PNG is
// encoded on a thread of its own as soon as the data is made, so a paste in
// another program, which the clipboard answers on the window thread, finds
// it ready (or waits only for the rest of a fast encode) instead of
// encoding a large image there.
//
// Ownership: made by Copy Image and handed to QClipboard, which deletes it
// when other data replaces it. The destructor stops the encode and waits
// for its thread. Thread rules: every member function is called on the
// window thread; the encoding thread only reads its own copy of the image.

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include <QByteArray>
#include <QImage>
#include <QMimeData>

class CClipboardImageData : public QMimeData {
    Q_OBJECT

public:
    CClipboardImageData(const QImage& image, const QByteArray& bmpFile);
    ~CClipboardImageData() override;

    QStringList formats() const override;
    bool hasFormat(const QString& mimeType) const override;
    // The PNG, waiting for the encode when it is still running; empty when
    // it failed.
    QByteArray Png() const;
    bool PngReady() const;

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

private:
    // Shared with the encoding thread.
    struct Job {
        std::mutex lock;
        std::condition_variable done;
        bool finished = false;
        std::atomic<bool> cancel {false};
        QByteArray png;
    };

    QImage m_image;
    QByteArray m_bmp;
    std::shared_ptr<Job> m_job;
    std::thread m_thread;
};
