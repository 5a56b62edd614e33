#include "export/clipboard_image_data.h"

#include <QStringList>

#include "export/png_encoder.h"

namespace {
const QString kPng = QStringLiteral("image/png");
const QString kBmp = QStringLiteral("image/bmp");
const QString kQtImage = QStringLiteral("application/x-qt-image");
}  // namespace

CClipboardImageData::CClipboardImageData(const QImage& image, const QByteArray& bmpFile)
    : m_image(image), m_bmp(bmpFile), m_job(std::make_shared<Job>())
{
    // The thread gets its own reference to the pixels and to the job, so it
    // never touches this object.
    m_thread = std::thread([job = m_job, image] {
        QByteArray png = EncodePngFast(image, &job->cancel);
        const std::lock_guard lock(job->lock);
        job->png = std::move(png);
        job->finished = true;
        job->done.notify_all();
    });
}

CClipboardImageData::~CClipboardImageData()
{
    m_job->cancel = true;
    if (m_thread.joinable())
        m_thread.join();
}

// Only the two formats that are ready or fast to hand over are offered;
// Qt would otherwise offer every image format it can write and encode the
// one asked for on the window thread.
QStringList CClipboardImageData::formats() const
{
    return {kPng, kBmp};
}

bool CClipboardImageData::hasFormat(const QString& mimeType) const
{
    return mimeType == kPng || mimeType == kBmp || mimeType == kQtImage;
}

QByteArray CClipboardImageData::Png() const
{
    std::unique_lock lock(m_job->lock);
    m_job->done.wait(lock, [this] { return m_job->finished; });
    return m_job->png;
}

bool CClipboardImageData::PngReady() const
{
    const std::lock_guard lock(m_job->lock);
    return m_job->finished;
}

QVariant CClipboardImageData::retrieveData(const QString& mimeType, QMetaType type) const
{
    if (mimeType == kQtImage)
        return m_image;
    if (mimeType == kBmp)
        return m_bmp;
    // An empty answer lets Qt encode the image itself, slowly but surely.
    if (mimeType == kPng)
        return Png();
    return QMimeData::retrieveData(mimeType, type);
}
