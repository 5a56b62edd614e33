#pragma once
// Copy Image: puts a file's image on the clipboard at its own size, as stored
// (no fit, rotation, flip, gamma or zoom), decoded afresh with a decoder of
// its own while a small progress window shows how far the decode has come.
//
// Thread rules: user-interface thread only. The copy blocks the event loop
// for the whole decode; the progress window is repainted explicitly.

#include <string>

#include "decode/jpeg_decoder.h"

class QMimeData;
class QProgressBar;
class QWidget;
class QImage;

// The decoder's progress object for the copy: every 16 source rows it sets
// the bar's range to 0 .. totalRows - 1 and its position to the row, and
// repaints the bar at once. It never stops the decode.
class CCopyProgress : public IDecodeProgress {
public:
    explicit CCopyProgress(QProgressBar* bar) : m_bar(bar) {}
    bool Progress(int totalRows, int row) override;

private:
    QProgressBar* m_bar;
};

// The clipboard data of an image: PNG (encoded at once on a thread of its
// own) and the packed 24-bit DIB with a BMP file header as "image/bmp"; the
// image itself for Lumvane. The caller owns the result.
QMimeData* MakeCopyImageData(const QImage& image, const std::vector<uint8_t>& bmpFile);

// The Copy Image command. `path` is the current file's full path (bytes as
// the kernel stores them); empty when there is no current item, and then
// nothing happens. `parent` owns the progress window (may be null). When the
// file can't be opened at all, the clipboard is emptied, so that no earlier
// copy is pasted in its place. The picture options make the copy upright and
// in true colours, as the view shows the photo before it is turned.
void CopyImageToClipboard(const std::string& path, QWidget* parent, const PictureOptions& picture = {});
